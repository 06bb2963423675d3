# CPack settings for the packages described in packaging/CMakeLists.txt. `cpack` in the build
# folder makes the .deb files on Linux, the ZIP and the NSIS installer in a Windows build.
set(CPACK_PACKAGE_NAME ${KORVANE_DEB_UPDATER})
set(CPACK_PACKAGE_VENDOR "Korvane")
set(CPACK_PACKAGE_CONTACT "${KORVANE_CONTACT}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_INSTALL_DIRECTORY "KorvaneFwUpdater")
set(CPACK_RESOURCE_FILE_LICENSE ${KORVANE_PACKAGING_DIR}/notice.txt)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_CHECKSUM SHA256)
# Generator-specific settings that CPack's own variables cannot carry (see the file).
configure_file(${KORVANE_PACKAGING_DIR}/cpack_generator_options.cmake.in
               ${CMAKE_CURRENT_BINARY_DIR}/cpack_generator_options.cmake @ONLY)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_BINARY_DIR}/cpack_generator_options.cmake)

if(WIN32)
    set(CPACK_GENERATOR "ZIP;NSIS")
    set(CPACK_PACKAGE_FILE_NAME "KorvaneFwUpdater-${PROJECT_VERSION}-win64")
    # Only our programs: the cross build's GoogleTest has install rules of its own.
    set(CPACK_INSTALL_CMAKE_PROJECTS "${PROJECT_BINARY_DIR};${PROJECT_NAME};updater;/")
    set(CPACK_ARCHIVE_COMPONENT_INSTALL OFF)

    set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "installs new firmware into OBD-II diagnostic adapters")
    # Also the Start-menu folder's name.
    set(CPACK_NSIS_PACKAGE_NAME "KorvaneFwUpdater")
    set(CPACK_NSIS_DISPLAY_NAME "KorvaneFwUpdater")
    set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
    set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY "KorvaneFwUpdater")
    set(CPACK_NSIS_CONTACT "${KORVANE_CONTACT}")
    # The window's own icon (kept in ui/win/, checked against the drawing) for the installer, the
    # uninstaller and the Apps & features entry.
    set(CPACK_NSIS_MUI_ICON ${PROJECT_SOURCE_DIR}/ui/win/korvane-updater.ico)
    set(CPACK_NSIS_MUI_UNIICON ${PROJECT_SOURCE_DIR}/ui/win/korvane-updater.ico)
    set(CPACK_NSIS_INSTALLED_ICON_NAME "bin\\korvane-updater.exe")
    # The Start-menu entry opens the window; the command-line program has none of its own.
    if(TARGET korvane-updater)
        set(CPACK_PACKAGE_EXECUTABLES korvane-updater "KorvaneFwUpdater")
    endif()
    # Left off on purpose: CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL asks in a message box that
    # has no answer under /S, so a silent install would wait for ever; CPACK_NSIS_MODIFY_PATH
    # leaves PATH entries behind after an uninstall.
else()
    set(CPACK_GENERATOR "DEB")
    set(CPACK_DEB_COMPONENT_INSTALL ON)
    set(CPACK_COMPONENTS_ALL updater sim)
    set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
    set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${KORVANE_CONTACT}")
    set(CPACK_DEBIAN_PACKAGE_SECTION "electronics")
    set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
    set(CPACK_DEBIAN_COMPRESSION_TYPE "xz")
    set(CPACK_PRE_BUILD_SCRIPTS ${KORVANE_PACKAGING_DIR}/remove_notes.cmake)
    # Each component's description below gives its own first line (the synopsis); a package-wide
    # CPACK_PACKAGE_DESCRIPTION_SUMMARY would be put in front of both.

    set(CPACK_DEBIAN_UPDATER_PACKAGE_NAME ${KORVANE_DEB_UPDATER})
    set(CPACK_DEBIAN_UPDATER_PACKAGE_SUGGESTS ${KORVANE_DEB_SIM})
    # The window draws through a Qt platform plugin, which no program links and so no shlibdeps
    # finds; Qt's libraries only recommend it.
    set(CPACK_DEBIAN_UPDATER_PACKAGE_DEPENDS "qt6-qpa-plugins")
    set(CPACK_COMPONENT_UPDATER_DESCRIPTION
        "installs new firmware into OBD-II diagnostic adapters
KorvaneFwUpdater updates the firmware of OBD-II diagnostic adapters attached
over Bluetooth or USB (a serial port) or Wi-Fi (TCP). It checks the update
file, identifies the adapter, refuses a file meant for another model or
version, transfers the firmware and reports every step.
.
This package holds the desktop window (korvane-updater) and the command-line
program (korvane-fw), which can also update many adapters at once. It ships a
udev rule that keeps ModemManager from probing the USB-serial bridges these
adapters use.")

    set(CPACK_DEBIAN_SIM_PACKAGE_NAME ${KORVANE_DEB_SIM})
    set(CPACK_DEBIAN_SIM_PACKAGE_RECOMMENDS ${KORVANE_DEB_UPDATER})
    set(CPACK_COMPONENT_SIM_DESCRIPTION
        "emulated OBD-II adapter and update-file writer for KorvaneFwUpdater
korvane-adapter-sim behaves like an OBD-II diagnostic adapter on a TCP port
or a pseudo-terminal, answers the commands of a firmware update and keeps the
firmware it receives. korvane-make-update writes sound or deliberately broken
update files of both families.
.
Together they let you try KorvaneFwUpdater without an adapter.")
endif()

include(CPack)
