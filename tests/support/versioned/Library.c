/* A library with nothing in it but its version (or none): for the tests of file versions. */
int zeph_test_library_marker(void) {
    return 1;
}
