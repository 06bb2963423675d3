# korvane_header_only_library(TARGET PACKAGE VERSION IMPORTED HEADER FOLDER DEBIAN)
#
# An INTERFACE target TARGET for a header-only library: the package's own IMPORTED target when
# find_package(PACKAGE VERSION) finds it, else the build machine's headers. A cross build finds
# no package for its target system; it then sees the build machine's FOLDER (where HEADER lies)
# through a folder of the build tree that holds nothing else, so that no other header of the build
# machine is seen. DEBIAN names the package to install when neither is there.
function(korvane_header_only_library target package version imported header folder debian)
    add_library(${target} INTERFACE)
    find_package(${package} ${version} QUIET)
    if(${package}_FOUND)
        target_link_libraries(${target} INTERFACE ${imported})
        return()
    endif()
    find_path(${target}_headers ${header} PATHS /usr/include /usr/local/include NO_DEFAULT_PATH
              NO_CMAKE_FIND_ROOT_PATH)
    if(NOT ${target}_headers)
        message(FATAL_ERROR "${package} is needed (Debian: ${debian})")
    endif()
    set(only ${CMAKE_CURRENT_BINARY_DIR}/${target}_headers)
    file(MAKE_DIRECTORY ${only})
    file(CREATE_LINK ${${target}_headers}/${folder} ${only}/${folder} SYMBOLIC)
    target_include_directories(${target} SYSTEM INTERFACE ${only})
endfunction()
