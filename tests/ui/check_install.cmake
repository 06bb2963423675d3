# Installs the build into a scratch prefix and checks that the desktop program, its icons and its
# desktop entry are there. Run with -DBUILD_DIR=... -DPREFIX=...
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
                RESULT_VARIABLE status OUTPUT_QUIET)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "cmake --install failed: ${status}")
endif()
foreach(path bin/korvane-updater
             share/icons/hicolor/16x16/apps/korvane-updater.png
             share/icons/hicolor/32x32/apps/korvane-updater.png
             share/applications/korvane-updater.desktop)
    if(NOT EXISTS ${PREFIX}/${path})
        message(FATAL_ERROR "not installed: ${path}")
    endif()
endforeach()
file(STRINGS ${PREFIX}/share/applications/korvane-updater.desktop entry)
foreach(line "Exec=korvane-updater" "Icon=korvane-updater" "Type=Application")
    list(FIND entry "${line}" found)
    if(found EQUAL -1)
        message(FATAL_ERROR "desktop entry lacks ${line}")
    endif()
endforeach()
file(REMOVE_RECURSE ${PREFIX})
