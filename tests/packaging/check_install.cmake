# Installs the build into a scratch prefix and checks that every file the packages carry is there:
# programs, man pages, completion, udev rule, desktop entry, icons of the right sizes, and each
# package's copyright and changelog. Run with -DBUILD_DIR=... -DPREFIX=... -DWITH_WINDOW=ON|OFF
cmake_minimum_required(VERSION 3.25)
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
                RESULT_VARIABLE status OUTPUT_QUIET)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "cmake --install failed: ${status}")
endif()

set(expected
    bin/korvane-fw
    bin/korvane-adapter-sim
    bin/korvane-make-update
    share/man/man1/korvane-fw.1.gz
    share/man/man1/korvane-adapter-sim.1.gz
    share/man/man1/korvane-make-update.1.gz
    share/bash-completion/completions/korvane-fw
    lib/udev/rules.d/70-korvane-updater.rules
    share/doc/korvane-updater/copyright
    share/doc/korvane-updater/changelog.gz
    share/doc/korvane-adapter-sim/copyright
    share/doc/korvane-adapter-sim/changelog.gz)
set(icon_sizes 16 32 48 256)
if(WITH_WINDOW)
    list(APPEND expected
         bin/korvane-updater
         share/man/man1/korvane-updater.1.gz
         share/applications/korvane-updater.desktop)
    foreach(size ${icon_sizes})
        list(APPEND expected share/icons/hicolor/${size}x${size}/apps/korvane-updater.png)
    endforeach()
endif()
foreach(path ${expected})
    if(NOT EXISTS ${PREFIX}/${path})
        message(FATAL_ERROR "not installed: ${path}")
    endif()
endforeach()

if(WITH_WINDOW)
    file(STRINGS ${PREFIX}/share/applications/korvane-updater.desktop entry)
    foreach(line "Exec=korvane-updater" "Icon=korvane-updater" "Type=Application")
        list(FIND entry "${line}" found)
        if(found EQUAL -1)
            message(FATAL_ERROR "desktop entry lacks ${line}")
        endif()
    endforeach()
    # A PNG's width and height are the big-endian words at bytes 16 and 20.
    foreach(size ${icon_sizes})
        set(png ${PREFIX}/share/icons/hicolor/${size}x${size}/apps/korvane-updater.png)
        file(READ ${png} header LIMIT 24 HEX)
        string(SUBSTRING "${header}" 0 16 signature)
        string(SUBSTRING "${header}" 32 8 width_hex)
        string(SUBSTRING "${header}" 40 8 height_hex)
        math(EXPR width "0x${width_hex}")
        math(EXPR height "0x${height_hex}")
        if(NOT signature STREQUAL "89504e470d0a1a0a" OR NOT width EQUAL size OR
           NOT height EQUAL size)
            message(FATAL_ERROR "${png} is not a ${size} x ${size} PNG (${width} x ${height})")
        endif()
    endforeach()
endif()

# gzip -n: no name or time in the header, so the packages build the same each time.
file(READ ${PREFIX}/share/man/man1/korvane-fw.1.gz gz_header LIMIT 10 HEX)
string(SUBSTRING "${gz_header}" 8 8 gz_time)
if(NOT gz_time STREQUAL "00000000")
    message(FATAL_ERROR "korvane-fw.1.gz carries a time stamp")
endif()
file(REMOVE_RECURSE ${PREFIX})
