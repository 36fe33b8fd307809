# Run by CPack after it made the packages (CPACK_POST_BUILD_SCRIPTS). CPack gives a .deb with a
# library under /usr/lib a postinst and a postrm that only call ldconfig. This package's libraries
# lie in its private directory /usr/lib/zeph, which the dynamic linker's cache does not serve (the
# host and the module load them by path), so the calls do nothing but make dpkg rebuild the cache.
# Each of the project's .deb files that has such scripts is repacked without them. A script that
# does anything besides CPack's ldconfig call stops the packaging instead of being dropped.
cmake_minimum_required(VERSION 3.25)
find_program(ZEPH_DPKG_DEB dpkg-deb REQUIRED)

# True in `result` when `script` holds nothing but CPack's ldconfig call.
function(zeph_only_ldconfig script result)
    file(STRINGS ${script} lines)
    set(boilerplate "#!/bin/sh|set -e|if \\[ \"\\$1\" = \"[a-z]+\" \\]; then|\tldconfig|fi|")
    list(FILTER lines EXCLUDE REGEX "^(${boilerplate})$")
    if(lines)
        set(${result} FALSE PARENT_SCOPE)
    else()
        set(${result} TRUE PARENT_SCOPE)
    endif()
endfunction()

function(zeph_drop_ldconfig_scripts deb)
    set(tree ${deb}.tree)
    file(REMOVE_RECURSE ${tree})
    execute_process(COMMAND ${ZEPH_DPKG_DEB} --raw-extract ${deb} ${tree}
        COMMAND_ERROR_IS_FATAL ANY)
    set(dropped FALSE)
    foreach(name postinst postrm)
        set(script ${tree}/DEBIAN/${name})
        if(NOT EXISTS ${script})
            continue()
        endif()
        zeph_only_ldconfig(${script} only)
        if(NOT only)
            message(FATAL_ERROR "${deb}: its ${name} does more than call ldconfig")
        endif()
        file(REMOVE ${script})
        set(dropped TRUE)
    endforeach()
    if(dropped)
        execute_process(COMMAND ${ZEPH_DPKG_DEB} --root-owner-group -Zgzip --build ${tree} ${deb}
            OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
    endif()
    file(REMOVE_RECURSE ${tree})
endfunction()

foreach(package IN LISTS CPACK_PACKAGE_FILES)
    if(package MATCHES "\\.deb$")
        zeph_drop_ldconfig_scripts(${package})
    endif()
endforeach()
