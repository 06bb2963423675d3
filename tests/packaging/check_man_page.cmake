# Keeps a man page in step with its program's --help: every long option that one names, the other
# names too. Run with -DPROGRAM=... -DMAN_PAGE=...
cmake_minimum_required(VERSION 3.25)
execute_process(COMMAND ${PROGRAM} --help
                RESULT_VARIABLE status OUTPUT_VARIABLE help ERROR_VARIABLE help_err)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "${PROGRAM} --help failed (${status}): ${help_err}")
endif()
file(READ ${MAN_PAGE} page)

# The man page's own spelling: "\-" is a hyphen, "\fB" and friends change the font.
string(REPLACE "\\-" "-" page "${page}")
string(REGEX REPLACE "\\\\f[BIRP]" "" page "${page}")

function(long_options text out)
    string(REGEX MATCHALL "--[a-z0-9][a-z0-9-]*" found "${text}")
    list(REMOVE_DUPLICATES found)
    list(SORT found)
    set(${out} "${found}" PARENT_SCOPE)
endfunction()
long_options("${help}" in_help)
long_options("${page}" in_page)

if(NOT in_help)
    message(FATAL_ERROR "${PROGRAM} --help names no long option")
endif()
set(missing_in_page ${in_help})
list(REMOVE_ITEM missing_in_page ${in_page})
set(missing_in_help ${in_page})
list(REMOVE_ITEM missing_in_help ${in_help})
if(missing_in_page OR missing_in_help)
    message(FATAL_ERROR "${MAN_PAGE} and ${PROGRAM} --help differ:\n"
                        "  only in --help: ${missing_in_page}\n"
                        "  only in the man page: ${missing_in_help}")
endif()
list(LENGTH in_help count)
message(STATUS "${count} options named by both")
