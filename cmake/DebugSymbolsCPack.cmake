# Read by cpack once per generator (CPACK_PROJECT_CONFIG_FILE). The .deb's generator strips the
# binaries itself after copying their debug information into the debug-symbols package, and the
# ZIP's pre-build script (SplitWindowsDebugInfo.cmake) does so for the symbols ZIP: both need the
# installed binaries unstripped. The tarball keeps CPACK_STRIP_FILES.
if(CPACK_GENERATOR STREQUAL "DEB" OR CPACK_GENERATOR STREQUAL "ZIP")
    set(CPACK_STRIP_FILES OFF)
endif()
