# Platform libraries and link options shared by every target.
add_library(zeph_platform_libs INTERFACE)
if(WIN32)
    # Static runtime: the DLL and the test programs need only system DLLs.
    target_link_options(zeph_platform_libs INTERFACE -static -static-libgcc -static-libstdc++)
    target_compile_definitions(zeph_platform_libs INTERFACE UNICODE _UNICODE WIN32_LEAN_AND_MEAN
        NOMINMAX _WIN32_WINNT=0x0601)
else()
    find_package(Threads REQUIRED)
    target_link_libraries(zeph_platform_libs INTERFACE Threads::Threads ${CMAKE_DL_LIBS})
endif()

# A processor fault inside an operation reaches the operation's exception barrier as a C++
# exception (src/crash): thrown from the signal handler on Linux, from a frame the vectored handler
# puts on top of the faulting one on Windows. Either way the unwinder must pass the faulting
# instruction, and every frame must describe itself at every instruction.
target_compile_options(zeph_platform_libs INTERFACE
    $<$<COMPILE_LANGUAGE:CXX>:-fnon-call-exceptions -fasynchronous-unwind-tables>)

# Sanitizer builds (linux-asan, linux-tsan presets).
set(ZEPH_SANITIZE "" CACHE STRING "Sanitizers to build with: address,undefined or thread")
if(ZEPH_SANITIZE)
    add_compile_options(-fsanitize=${ZEPH_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
    add_link_options(-fsanitize=${ZEPH_SANITIZE})
endif()
