# korvane_platform_sources(VAR DIR): the .cpp files of DIR for this platform. Portable sources have
# no suffix; backends end in _posix.cpp or _linux.cpp (elsewhere) or _win.cpp (Windows).
function(korvane_platform_sources var dir)
    file(GLOB portable CONFIGURE_DEPENDS ${dir}/*.cpp)
    list(FILTER portable EXCLUDE REGEX "_(posix|linux|win)\\.cpp$")
    if(WIN32)
        file(GLOB backends CONFIGURE_DEPENDS ${dir}/*_win.cpp)
    else()
        file(GLOB backends CONFIGURE_DEPENDS ${dir}/*_posix.cpp ${dir}/*_linux.cpp)
    endif()
    set(${var} ${portable} ${backends} PARENT_SCOPE)
endfunction()
