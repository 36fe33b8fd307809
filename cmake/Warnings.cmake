# Warnings are errors on both compilers.
function(zeph_set_warnings target)
    target_compile_options(${target} PRIVATE
        $<$<COMPILE_LANGUAGE:CXX>:-Wall -Wextra -Wpedantic -Werror -Wshadow -Wconversion
            -Wsign-conversion -Wnon-virtual-dtor -Wold-style-cast -Woverloaded-virtual>
        $<$<COMPILE_LANGUAGE:C>:-Wall -Wextra -Wpedantic -Werror -Wshadow -Wconversion>)
endfunction()
