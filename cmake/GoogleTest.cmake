# GoogleTest: the Debian package on Linux; for MinGW it is built from Debian's source copy.
include(GoogleTest)
if(CMAKE_CROSSCOMPILING)
    set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
    foreach(library gtest gtest_main gmock)
        if(NOT TARGET GTest::${library})
            add_library(GTest::${library} ALIAS ${library})
        endif()
    endforeach()
else()
    find_package(GTest REQUIRED)
endif()

# Registers the tests of a GoogleTest program with CTest; under Wine they are discovered when
# the tests run, through the emulator.
function(zeph_add_gtest target)
    cmake_parse_arguments(ARG "" "" "SOURCES;LABELS" ${ARGN})
    add_executable(${target} ${ARG_SOURCES})
    zeph_set_warnings(${target})
    target_link_libraries(${target} PRIVATE zeph_core zeph_test_support GTest::gmock GTest::gtest
        GTest::gtest_main)
    # One label per program: the discovery script passes properties on as a flat list, which
    # cannot carry a list value.
    list(LENGTH ARG_LABELS label_count)
    if(label_count GREATER 1)
        message(FATAL_ERROR "zeph_add_gtest(${target}): give one label, not ${ARG_LABELS}")
    endif()
    gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
        PROPERTIES LABELS "${ARG_LABELS}")
    zeph_note_thread_test(${target} "${ARG_LABELS}")
endfunction()

# The programs of the labels that also run under ThreadSanitizer (the linux-tsan test preset):
# the target zeph_thread_tests builds just them, so that the TSan tree builds no more than it runs.
set(ZEPH_THREAD_TEST_LABELS concurrency scenarios realstack)
function(zeph_note_thread_test target labels)
    foreach(label IN LISTS labels)
        if(label IN_LIST ZEPH_THREAD_TEST_LABELS)
            set_property(GLOBAL APPEND PROPERTY ZEPH_THREAD_TEST_TARGETS ${target})
            return()
        endif()
    endforeach()
endfunction()
