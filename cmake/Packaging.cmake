# What `cmake --install` puts where, and the packages CPack makes of it: a ZIP on Windows, a
# .deb and a .tar.gz on Linux. Only the shipped programs and libraries are installed; the test
# programs, the test support libraries, the benchmarks and GoogleTest have no install rules.
#
# The module and the trace system stand-in share one directory, as the module looks for the
# stand-in beside itself; zeph_host looks for the module in ../lib/zeph/ and in its own directory
# (tools/host/ModuleLoader.h).
set(ZEPH_PACKAGE_NAME zeph-pcsc-extension)
set(ZEPH_PACKAGE_MAINTAINER "ZEPH PC/SC extension maintainers <zeph-pcsc@example.invalid>"
    CACHE STRING "The packages' maintainer (the .deb's Maintainer field)")

if(WIN32)
    # Flat: the ZIP's root holds the module, the stand-in, the host and the documents.
    set(zeph_bin_dir .)
    set(zeph_module_dir .)
    set(zeph_doc_dir .)
else()
    set(zeph_bin_dir bin)
    set(zeph_module_dir lib/zeph)
    set(zeph_doc_dir share/doc/${ZEPH_PACKAGE_NAME})
endif()

# A module library is a LIBRARY artefact on every platform, the .dll included.
install(TARGETS ZEPH_Ext_PcSc zeph_trace_system LIBRARY DESTINATION ${zeph_module_dir})
install(TARGETS zeph_host RUNTIME DESTINATION ${zeph_bin_dir})
if(NOT WIN32)
    install(TARGETS zeph_vcard RUNTIME DESTINATION ${zeph_bin_dir})
    # The README's example of the registry file that /etc/zeph/registry.reg would be.
    install(FILES ${CMAKE_SOURCE_DIR}/docs/registry.reg.example DESTINATION ${zeph_doc_dir})
endif()
# The README; the project has no licence file (the .deb states its terms in its copyright file).
install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION ${zeph_doc_dir})

# The programs' manual pages; the .deb's copyright and changelog.
include(${CMAKE_CURRENT_LIST_DIR}/ManualPages.cmake)
if(NOT WIN32)
    include(${CMAKE_CURRENT_LIST_DIR}/DebianDocuments.cmake)
endif()

set(CPACK_PACKAGE_NAME ${ZEPH_PACKAGE_NAME})
set(CPACK_PACKAGE_VENDOR "ZEPH")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "PC/SC extension module for virtual smart card readers, with host and test tools")
set(CPACK_PACKAGE_CONTACT ${ZEPH_PACKAGE_MAINTAINER})
set(CPACK_RESOURCE_FILE_README ${CMAKE_SOURCE_DIR}/README.md)
set(CPACK_PACKAGE_FILE_NAME ${ZEPH_PACKAGE_NAME}-${PROJECT_VERSION}-${CMAKE_SYSTEM_NAME})
set(CPACK_STRIP_FILES ON)
set(CPACK_VERBATIM_VARIABLES ON)

if(WIN32)
    set(CPACK_GENERATOR ZIP)
    set(CPACK_PACKAGE_FILE_NAME ${ZEPH_PACKAGE_NAME}-${PROJECT_VERSION}-win64)
else()
    set(CPACK_GENERATOR "DEB;TGZ")
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
    set(CPACK_DEBIAN_PACKAGE_NAME ${ZEPH_PACKAGE_NAME})
    set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${ZEPH_PACKAGE_MAINTAINER})
    set(CPACK_DEBIAN_PACKAGE_SECTION misc)
    set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
    # Below the summary; Debian wants lines of at most 80 characters.
    string(CONCAT CPACK_DEBIAN_PACKAGE_DESCRIPTION
        "The module ZEPH_Ext_PcSc.so carries a virtual reader's requests out on a\n"
        "physical reader through pcsc-lite, which it loads at run time\n"
        "(libpcsclite.so.1). Beside it in /usr/lib/zeph/ lies the trace system\n"
        "stand-in it writes its trace through. zeph_host runs a host's cycle on the\n"
        "module; zeph_vcard is a virtual card for the vpcd reader driver of pcscd.")
    # The C and C++ runtime from dpkg-shlibdeps; pcsc-lite by hand, as it is loaded with dlopen.
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    set(CPACK_DEBIAN_PACKAGE_DEPENDS libpcsclite1)
    set(CPACK_DEBIAN_PACKAGE_RECOMMENDS pcscd)
    set(CPACK_DEBIAN_PACKAGE_SUGGESTS vsmartcard-vpcd)
    # No ldconfig calls for the private library directory; the debug-symbols package's md5sums
    # and documentation (cmake/DebianRepack.cmake).
    list(APPEND CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/DebianRepack.cmake)
endif()

include(${CMAKE_CURRENT_LIST_DIR}/DebugSymbols.cmake)
include(CPack)
