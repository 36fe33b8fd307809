# The debug information of what the packages ship, kept apart from the stripped binaries so that a
# user's crash dump can be read with function names (README, "Reading a user's dump"):
#
# - Linux: the .deb's debug-symbols package zeph-pcsc-extension-dbgsym, which CPack splits off the
#   binaries it strips: /usr/lib/debug/.build-id/xx/yyyy.debug, found by the build id. The
#   tarball's binaries, stripped alike, carry the same build ids.
# - Windows: a symbols ZIP beside the package ZIP, one <binary>.debug per shipped .dll and .exe,
#   which the stripped binary names in its .gnu_debuglink section
#   (cmake/SplitWindowsDebugInfo.cmake).
#
# Included from cmake/Packaging.cmake, after the shipped targets exist and before include(CPack).

# What ships is compiled with debug information in every build type (-g changes no generated
# code); the Release preset has none of its own.
set(zeph_shipped_code ZEPH_Ext_PcSc zeph_core zeph_trace_system zeph_tools_common zeph_host
    zeph_host_lib)
if(NOT WIN32)
    list(APPEND zeph_shipped_code zeph_vcard zeph_vcard_lib)
endif()
# DWARF 4 in the PE files: lldb-14 finds no source file names in a PE file's DWARF 5 line tables
# (its .debug_line_str), and shows a Windows dump's lines without their files.
set(zeph_debug_option -g)
if(WIN32)
    set(zeph_debug_option -gdwarf-4)
endif()
foreach(target IN LISTS zeph_shipped_code)
    target_compile_options(${target} PRIVATE ${zeph_debug_option})
endforeach()

# The generators that split the debug information off need the binaries unstripped
# (cmake/DebugSymbolsCPack.cmake, read by cpack once per generator).
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/DebugSymbolsCPack.cmake)
if(WIN32)
    set(CPACK_ZEPH_OBJCOPY ${CMAKE_OBJCOPY})
    set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/SplitWindowsDebugInfo.cmake)
else()
    set(CPACK_DEBIAN_DEBUGINFO_PACKAGE ON)
endif()
