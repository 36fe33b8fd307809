# The registry seam (read only) and the smart card database over it: the Windows registry on
# Windows, the registry file on Linux. Included from src/platform/CMakeLists.txt.
#
# The registry file parser and the in-memory tree are portable and depend on nothing else of the
# module: the fuzzer (tests/fuzz) builds them on their own from ZEPH_REGFILE_PARSER_SOURCES.
set(zeph_regfile_parser_sources
    ${CMAKE_CURRENT_LIST_DIR}/RegFileParser.cpp
    ${CMAKE_CURRENT_LIST_DIR}/RegFileText.cpp
    ${CMAKE_CURRENT_LIST_DIR}/RegFileValueLine.cpp
    ${CMAKE_CURRENT_LIST_DIR}/RegistryTree.cpp)
set_property(GLOBAL PROPERTY ZEPH_REGFILE_PARSER_SOURCES ${zeph_regfile_parser_sources})

target_sources(zeph_core PRIVATE
    ${zeph_regfile_parser_sources}
    ${CMAKE_CURRENT_LIST_DIR}/Registry.cpp
    ${CMAKE_CURRENT_LIST_DIR}/RegistryTreeKey.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SmartCardDatabase.cpp)
if(WIN32)
    target_sources(zeph_core PRIVATE ${CMAKE_CURRENT_LIST_DIR}/win32/Win32Registry.cpp)
    target_link_libraries(zeph_platform_libs INTERFACE advapi32)
else()
    target_sources(zeph_core PRIVATE ${CMAKE_CURRENT_LIST_DIR}/posix/RegFileRegistry.cpp)
endif()
