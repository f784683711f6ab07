# Install layout and the Debian package: the program and its QuorvaneB link in bin, the desktop
# entry, the icon and the man page; `cpack -G DEB` builds the package from the same rules.
include(GNUInstallDirs)

# Installs a symbolic link `link` in the install folder `destination` that points to `target`
# in the same folder. The link is relative, so it survives DESTDIR staging and packaging.
function(quorvane_install_symlink destination target link)
    install(CODE "
        set(quorvane_folder \"${destination}\")
        if(NOT IS_ABSOLUTE \"\${quorvane_folder}\")
            set(quorvane_folder \"\${CMAKE_INSTALL_PREFIX}/\${quorvane_folder}\")
        endif()
        set(quorvane_folder \"\$ENV{DESTDIR}\${quorvane_folder}\")
        message(STATUS \"Installing: \${quorvane_folder}/${link} -> ${target}\")
        file(MAKE_DIRECTORY \"\${quorvane_folder}\")
        file(CREATE_LINK \"${target}\" \"\${quorvane_folder}/${link}\" SYMBOLIC)
        list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${quorvane_folder}/${link}\")
    ")
endfunction()

if(TARGET Quorvane)
    install(TARGETS Quorvane RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")
    if(WIN32)
        install(PROGRAMS "$<TARGET_FILE_DIR:Quorvane>/QuorvaneB.exe"
                DESTINATION "${CMAKE_INSTALL_BINDIR}")
    else()
        quorvane_install_symlink("${CMAKE_INSTALL_BINDIR}" Quorvane QuorvaneB)
    endif()
endif()

if(UNIX AND NOT APPLE)
    configure_file("${PROJECT_SOURCE_DIR}/data/quorvane.1"
                   "${PROJECT_BINARY_DIR}/data/Quorvane.1" @ONLY)
    install(FILES "${PROJECT_SOURCE_DIR}/data/quorvane.desktop"
            DESTINATION "${CMAKE_INSTALL_DATADIR}/applications")
    install(FILES "${PROJECT_SOURCE_DIR}/data/quorvane.svg"
            DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps")
    install(FILES "${PROJECT_BINARY_DIR}/data/Quorvane.1"
            DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
    quorvane_install_symlink("${CMAKE_INSTALL_MANDIR}/man1" Quorvane.1 QuorvaneB.1)
endif()

set(CPACK_PACKAGE_NAME "quorvane")
set(CPACK_PACKAGE_VENDOR "Quorvane")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_CONTACT "Quorvane developers <quorvane@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Live monitor of an Envoy solar gateway's meter readings")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Quorvane polls the gateway of a home solar installation over HTTPS and shows solar "
    "production, household consumption, the grid balance and a three-phase table live in one "
    "small window. It can keep the latest reading in a text file for other programs.")
set(CPACK_GENERATOR "DEB")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION "utils")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
find_program(QUORVANE_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(QUORVANE_DPKG_SHLIBDEPS)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    # Qt's TLS backend loads libssl at run time, where dpkg-shlibdeps cannot see it; the window
    # is laid out for Liberation Sans.
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "libssl3, fonts-liberation2")
else()
    string(CONCAT CPACK_DEBIAN_PACKAGE_DEPENDS
        "libqt6widgets6 (>= 6.4), libqt6gui6 (>= 6.4), libqt6network6 (>= 6.4), "
        "libqt6core6 (>= 6.4), libssl3, fonts-liberation2, libstdc++6, libgcc-s1, libc6")
endif()

include(CPack)
