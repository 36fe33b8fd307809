# Run by CPack after it made the packages (CPACK_POST_BUILD_SCRIPTS): repacks the Debian packages
# where CPack 3.25 makes them in a form Debian refuses.
# - The .deb: CPack gives a package with a library under /usr/lib a postinst and a postrm that
#   only call ldconfig. This package's libraries lie in its private directory /usr/lib/zeph, which
#   the dynamic linker's cache does not serve (the host and the module load them by path), so the
#   calls do nothing but make dpkg rebuild the cache: the scripts are dropped. A script that does
#   anything besides CPack's ldconfig call stops the packaging instead of being dropped.
# - The debug-symbols package (.ddeb): CPack lists its files in DEBIAN/md5sums by their paths in
#   the build tree, which dpkg cannot check, and gives it no documentation directory. It gets the
#   md5sums of the paths it installs and /usr/share/doc/<package>-dbgsym as a link to the main
#   package's directory (its copyright and changelog); it depends on the main package of exactly
#   its version.
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

# Drops the ldconfig-only scripts of the .deb unpacked in `tree`; `changed` says whether any was.
function(zeph_drop_ldconfig_scripts deb tree changed)
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
    set(${changed} ${dropped} PARENT_SCOPE)
endfunction()

# The md5sums of the paths the debug package unpacked in `tree` installs, and its documentation.
function(zeph_complete_debug_package ddeb tree)
    execute_process(COMMAND ${ZEPH_DPKG_DEB} --field ${ddeb} Package Depends
        OUTPUT_VARIABLE fields COMMAND_ERROR_IS_FATAL ANY)
    if(NOT fields MATCHES "Package: ([^\n]+)-dbgsym\nDepends: ([^ ]+) \\(= ")
        message(FATAL_ERROR "${ddeb}: not the debug package of the package it depends on")
    endif()
    set(main ${CMAKE_MATCH_1})
    file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE ${tree} ${tree}/usr/*)
    list(SORT files)
    set(sums "")
    foreach(path IN LISTS files)
        file(MD5 ${tree}/${path} sum)
        string(APPEND sums "${sum}  ${path}\n")
    endforeach()
    file(WRITE ${tree}/DEBIAN/md5sums "${sums}")
    file(MAKE_DIRECTORY ${tree}/usr/share/doc)
    file(CREATE_LINK ${main} ${tree}/usr/share/doc/${main}-dbgsym SYMBOLIC)
endfunction()

function(zeph_repack package)
    set(tree ${package}.tree)
    file(REMOVE_RECURSE ${tree})
    execute_process(COMMAND ${ZEPH_DPKG_DEB} --raw-extract ${package} ${tree}
        COMMAND_ERROR_IS_FATAL ANY)
    set(changed TRUE)
    if(package MATCHES "\\.ddeb$")
        zeph_complete_debug_package(${package} ${tree})
    else()
        zeph_drop_ldconfig_scripts(${package} ${tree} changed)
    endif()
    if(changed)
        execute_process(COMMAND ${ZEPH_DPKG_DEB} --root-owner-group -Zgzip --build ${tree} ${package}
            OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
    endif()
    file(REMOVE_RECURSE ${tree})
endfunction()

foreach(package IN LISTS CPACK_PACKAGE_FILES)
    if(package MATCHES "\\.d?deb$")
        zeph_repack(${package})
    endif()
endforeach()
