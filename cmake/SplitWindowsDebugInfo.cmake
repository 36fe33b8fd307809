# CPack's pre-build script for the Windows ZIP (cmake/DebugSymbols.cmake): after CPack installed
# the unstripped binaries into its staging directory, each .dll and .exe there gives its debug
# information to <binary>.debug, is stripped and names that file in a .gnu_debuglink section
# (with its checksum, which a debugger checks). The .debug files go into the symbols ZIP beside
# the package: <package>-symbols.zip with one directory <package>-symbols/.
set(staging ${CPACK_TEMPORARY_INSTALL_DIRECTORY})
set(symbols_name ${CPACK_PACKAGE_FILE_NAME}-symbols)
set(symbols_root ${CPACK_TOPLEVEL_DIRECTORY}/symbols)
set(symbols_dir ${symbols_root}/${symbols_name})
file(REMOVE_RECURSE ${symbols_root})
file(MAKE_DIRECTORY ${symbols_dir})

function(zeph_run)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE status ERROR_VARIABLE errors)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "${ARGN} failed (${status}): ${errors}")
    endif()
endfunction()

file(GLOB_RECURSE binaries ${staging}/*.dll ${staging}/*.exe)
if(NOT binaries)
    message(FATAL_ERROR "no .dll or .exe in ${staging}")
endif()
foreach(binary IN LISTS binaries)
    get_filename_component(name ${binary} NAME)
    zeph_run(${CPACK_ZEPH_OBJCOPY} --only-keep-debug ${binary} ${symbols_dir}/${name}.debug)
    zeph_run(${CPACK_ZEPH_OBJCOPY} --strip-all --add-gnu-debuglink=${symbols_dir}/${name}.debug
        ${binary})
endforeach()

zeph_run(${CMAKE_COMMAND} -E chdir ${symbols_root} ${CMAKE_COMMAND} -E tar cf
    ${CPACK_PACKAGE_DIRECTORY}/${symbols_name}.zip --format=zip ${symbols_name})
message(STATUS "symbols: ${CPACK_PACKAGE_DIRECTORY}/${symbols_name}.zip generated.")
