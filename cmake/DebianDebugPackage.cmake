# Run by CPack after it made the packages (CPACK_POST_BUILD_SCRIPTS). CPack's debug-symbols
# package (.ddeb) lists its files in DEBIAN/md5sums by their paths in the build tree, which dpkg
# cannot check, and has no documentation directory. The package is repacked with md5sums of the
# paths it installs and /usr/share/doc/<package>-dbgsym as a link to the main package's directory
# (its copyright and changelog), which the debug package depends on in exactly its version.
cmake_minimum_required(VERSION 3.25)
find_program(ZEPH_DPKG_DEB dpkg-deb REQUIRED)

# DEBIAN/md5sums of every regular file below `tree`, by its path in the installed system.
function(zeph_write_md5sums tree)
    file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE ${tree} ${tree}/usr/*)
    list(SORT files)
    set(sums "")
    foreach(path IN LISTS files)
        file(MD5 ${tree}/${path} sum)
        string(APPEND sums "${sum}  ${path}\n")
    endforeach()
    file(WRITE ${tree}/DEBIAN/md5sums "${sums}")
endfunction()

function(zeph_repack_debug_package ddeb)
    set(tree ${ddeb}.tree)
    file(REMOVE_RECURSE ${tree})
    execute_process(COMMAND ${ZEPH_DPKG_DEB} --raw-extract ${ddeb} ${tree}
        COMMAND_ERROR_IS_FATAL ANY)
    execute_process(COMMAND ${ZEPH_DPKG_DEB} --field ${ddeb} Package Depends
        OUTPUT_VARIABLE fields COMMAND_ERROR_IS_FATAL ANY)
    if(NOT fields MATCHES "Package: ([^\n]+)-dbgsym\nDepends: ([^ ]+) \\(= ")
        message(FATAL_ERROR "${ddeb}: not the debug package of the package it depends on")
    endif()
    set(main ${CMAKE_MATCH_1})
    zeph_write_md5sums(${tree})
    file(MAKE_DIRECTORY ${tree}/usr/share/doc)
    file(CREATE_LINK ${main} ${tree}/usr/share/doc/${main}-dbgsym SYMBOLIC)
    execute_process(COMMAND ${ZEPH_DPKG_DEB} --root-owner-group --build ${tree} ${ddeb}
        OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
    file(REMOVE_RECURSE ${tree})
endfunction()

foreach(package IN LISTS CPACK_PACKAGE_FILES)
    if(package MATCHES "\\.ddeb$")
        zeph_repack_debug_package(${package})
    endif()
endforeach()
