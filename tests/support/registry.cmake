# Test support of the registry seam: the in-memory registry, temporary directories for registry
# files, and on Windows the writer of registry fixtures. Included (once) by the test directories
# that use it.
include_guard(GLOBAL)
target_sources(zeph_test_support PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/MemoryRegistry.cpp
    ${CMAKE_CURRENT_LIST_DIR}/TempDirectory.cpp)
if(WIN32)
    target_sources(zeph_test_support PRIVATE ${CMAKE_CURRENT_LIST_DIR}/Win32RegistryFixture.cpp)
endif()
