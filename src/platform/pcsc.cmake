# The PC/SC backend of Linux: pcsc-lite, loaded at run time (dlopen), so zeph_core needs no
# link-time dependency on libpcsclite. Included from src/platform/CMakeLists.txt.
if(NOT WIN32)
    target_sources(zeph_core PRIVATE
        ${CMAKE_CURRENT_LIST_DIR}/posix/PcScLiteAllocations.cpp
        ${CMAKE_CURRENT_LIST_DIR}/posix/PcScLiteBackend.cpp
        ${CMAKE_CURRENT_LIST_DIR}/posix/PcScLiteBackendCard.cpp
        ${CMAKE_CURRENT_LIST_DIR}/posix/PcScLiteCall.cpp
        ${CMAKE_CURRENT_LIST_DIR}/posix/PcScLiteContext.cpp
        ${CMAKE_CURRENT_LIST_DIR}/posix/PcScLiteConversion.cpp
        ${CMAKE_CURRENT_LIST_DIR}/posix/PcScLiteHandleTable.cpp
        ${CMAKE_CURRENT_LIST_DIR}/posix/PcScLiteLibrary.cpp
        ${CMAKE_CURRENT_LIST_DIR}/posix/PcScLiteReaderList.cpp
        ${CMAKE_CURRENT_LIST_DIR}/posix/PcScLiteStatusChange.cpp
        ${CMAKE_CURRENT_LIST_DIR}/posix/PcScLiteWait.cpp
        ${CMAKE_CURRENT_LIST_DIR}/posix/PlatformPcSc.cpp)
endif()
