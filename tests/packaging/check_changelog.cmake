# The packages' changelog opens with an entry for this release, signed in Debian's form.
# Run with -DCHANGELOG=... -DVERSION=...
cmake_minimum_required(VERSION 3.25)
file(READ ${CHANGELOG} text)
string(REGEX MATCH "^[^\n]*" first "${text}")
if(NOT first MATCHES "^korvane-updater \\(([^)]+)\\) [a-z]+; urgency=[a-z]+$")
    message(FATAL_ERROR "the changelog's first line is no entry heading: ${first}")
endif()
if(NOT CMAKE_MATCH_1 STREQUAL VERSION)
    message(FATAL_ERROR "the changelog's latest entry is ${CMAKE_MATCH_1}, the release is "
                        "${VERSION}: add an entry for it")
endif()
set(date "[A-Z][a-z][a-z], [0-9][0-9] [A-Z][a-z][a-z] [0-9]+ [0-9:]+ [+-][0-9]+")
if(NOT text MATCHES "\n -- [^<\n]+ <[^>\n]+>  ${date}\n")
    message(FATAL_ERROR "the latest entry lacks its \" -- name <address>  date\" line")
endif()
