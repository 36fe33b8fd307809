# Warnings are errors on both compilers, and on the clang that builds the MSVC-ABI host test.
set(ZEPH_CXX_WARNINGS -Wall -Wextra -Wpedantic -Werror -Wshadow -Wconversion -Wsign-conversion
    -Wnon-virtual-dtor -Wold-style-cast -Woverloaded-virtual)
function(zeph_set_warnings target)
    target_compile_options(${target} PRIVATE
        $<$<COMPILE_LANGUAGE:CXX>:${ZEPH_CXX_WARNINGS}>
        $<$<COMPILE_LANGUAGE:C>:-Wall -Wextra -Wpedantic -Werror -Wshadow -Wconversion>)
endfunction()
