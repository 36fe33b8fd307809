# The documents every Debian package carries in its documentation directory: the copyright file
# (packaging/debian/copyright, in Debian's machine-readable format) and the changelog of a native
# package, changelog.gz. The changelog is made at configure time from the project's version, so
# that a version change cannot leave it behind, and compressed as Debian wants it (gzip -9n: no
# name or time stamp in the header). Its date is the configure time, or SOURCE_DATE_EPOCH when
# that is set, for a reproducible package.
find_program(ZEPH_GZIP gzip REQUIRED)

string(TIMESTAMP ZEPH_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(${CMAKE_SOURCE_DIR}/packaging/debian/changelog.in
    ${CMAKE_BINARY_DIR}/debian/changelog @ONLY)
execute_process(COMMAND ${ZEPH_GZIP} -9n
    INPUT_FILE ${CMAKE_BINARY_DIR}/debian/changelog
    OUTPUT_FILE ${CMAKE_BINARY_DIR}/debian/changelog.gz
    COMMAND_ERROR_IS_FATAL ANY)

install(FILES ${CMAKE_SOURCE_DIR}/packaging/debian/copyright
    ${CMAKE_BINARY_DIR}/debian/changelog.gz DESTINATION ${zeph_doc_dir})
