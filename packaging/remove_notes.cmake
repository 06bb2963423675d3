# Run by CPack (CPACK_PRE_BUILD_SCRIPTS) on the staged files, after stripping: drops the
# compiler's .comment and .note sections from the programs of the .deb packages, as Debian's own
# packaging tools do.
if(NOT CPACK_GENERATOR STREQUAL "DEB")
    return()
endif()
file(GLOB programs LIST_DIRECTORIES false
     "${CPACK_TEMPORARY_DIRECTORY}/*${CPACK_PACKAGING_INSTALL_PREFIX}/bin/*")
if(NOT programs)
    message(FATAL_ERROR "no programs staged in ${CPACK_TEMPORARY_DIRECTORY}")
endif()
foreach(program ${programs})
    execute_process(COMMAND objcopy --remove-section=.comment --remove-section=.note ${program}
                    RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "objcopy failed on ${program}")
    endif()
endforeach()
