# The manual pages of the shipped programs, made by help2man from each program's own --help and
# --version, so that a page cannot drift from the options the program takes. On Linux each page
# is installed compressed (gzip -9n) into share/man/man1. The Windows ZIP carries each page as
# plain text beside the README: help2man runs the Windows program itself under Wine (through
# scripts/wine-run.sh, with the build tree's own prefix; the console's CR LF line ends dropped)
# and man renders the page as text. Without help2man (or, for the text, man and col) the pages
# are neither made nor installed, and the package check misses them.
find_program(ZEPH_HELP2MAN help2man)
find_program(ZEPH_GZIP gzip)
find_program(ZEPH_MAN man)
find_program(ZEPH_COL col)

set(zeph_man_dir ${CMAKE_BINARY_DIR}/man)

# The page of `target`, whose NAME line reads "<program> - <summary>".
function(zeph_manual_page target summary)
    set(page ${zeph_man_dir}/${target}.1)
    set(program $<TARGET_FILE:${target}>)
    if(WIN32)
        set(program ${zeph_man_dir}/${target}-under-wine.sh)
        file(GENERATE OUTPUT ${program}
            CONTENT "#!/bin/bash\nset -euo pipefail\n'${CMAKE_SOURCE_DIR}/scripts/wine-run.sh' \
'$<TARGET_FILE:${target}>' \"$@\" | tr -d '\\r'\n"
            FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
    endif()
    set(help2man ${ZEPH_HELP2MAN} --no-info --section 1 --source ZEPH --name ${summary}
        --output ${page} ${program})
    if(WIN32)
        set(output ${zeph_man_dir}/${target}.txt)
        add_custom_command(OUTPUT ${output}
            COMMAND ${help2man}
            COMMAND bash -c "set -o pipefail; MANWIDTH=80 '${ZEPH_MAN}' -E ascii -l '${page}' \
| '${ZEPH_COL}' -bx > '${output}'"
            DEPENDS ${target} VERBATIM)
        install(FILES ${output} DESTINATION ${zeph_doc_dir})
    else()
        set(output ${page}.gz)
        add_custom_command(OUTPUT ${output}
            COMMAND ${help2man}
            COMMAND ${ZEPH_GZIP} -9nf ${page}
            DEPENDS ${target} VERBATIM)
        install(FILES ${output} DESTINATION share/man/man1)
    endif()
    set_property(GLOBAL APPEND PROPERTY ZEPH_MANUAL_PAGES ${output})
endfunction()

if(ZEPH_HELP2MAN AND ZEPH_GZIP AND (NOT WIN32 OR (ZEPH_MAN AND ZEPH_COL)))
    file(MAKE_DIRECTORY ${zeph_man_dir})
    zeph_manual_page(zeph_host "run the host's cycle on the ZEPH PC/SC extension module")
    if(NOT WIN32)
        zeph_manual_page(zeph_vcard "virtual smart card for the vpcd reader driver of pcscd")
    endif()
    get_property(zeph_pages GLOBAL PROPERTY ZEPH_MANUAL_PAGES)
    add_custom_target(zeph_manual_pages ALL DEPENDS ${zeph_pages})
else()
    message(WARNING "help2man (and for the Windows texts man and col) not found: the programs' "
        "manual pages are neither made nor installed")
endif()
