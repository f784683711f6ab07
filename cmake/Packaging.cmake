# Install layout and the Debian package: the program and its QuorvaneB link in bin, the desktop
# entry, the icon, the AppStream metadata, the man page, and the licence and changelog in the
# package's doc folder; `cpack -G DEB` builds the package from the same rules.
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

if(WIN32)
    # One folder to unpack and start from: the programs, the DLLs and plugins, a README.txt and
    # Qt's licence.
    install(TARGETS Quorvane RUNTIME DESTINATION .)
    # QuorvaneB.exe: a copy of the installed (and, when packaging, stripped) program.
    install(CODE [[
        set(quorvane_folder "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
        message(STATUS "Installing: ${quorvane_folder}/QuorvaneB.exe")
        file(COPY_FILE "${quorvane_folder}/Quorvane.exe" "${quorvane_folder}/QuorvaneB.exe")
    ]])
    include(WindowsRuntime)
    configure_file("${PROJECT_SOURCE_DIR}/data/windows/README.txt.in"
                   "${PROJECT_BINARY_DIR}/data/README.txt" @ONLY NEWLINE_STYLE CRLF)
    install(FILES "${PROJECT_BINARY_DIR}/data/README.txt"
                  "${PROJECT_SOURCE_DIR}/data/windows/QT-LICENSE.txt"
                  "${PROJECT_SOURCE_DIR}/data/windows/LGPL-3.txt"
                  "${PROJECT_SOURCE_DIR}/data/windows/GPL-3.txt"
            DESTINATION .)
    # Quorvane's own licence beside Qt's, with Windows line ends.
    configure_file("${PROJECT_SOURCE_DIR}/LICENSE" "${PROJECT_BINARY_DIR}/data/LICENSE.txt"
                   @ONLY NEWLINE_STYLE CRLF)
    install(FILES "${PROJECT_BINARY_DIR}/data/LICENSE.txt" DESTINATION .)
elseif(TARGET Quorvane)
    install(TARGETS Quorvane RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")
    quorvane_install_symlink("${CMAKE_INSTALL_BINDIR}" Quorvane QuorvaneB)
endif()

if(UNIX AND NOT APPLE)
    # The man page and the Debian changelog go in compressed, as Debian's policy wants them:
    # gzip -9 without a name or time stamp, so the same sources give the same bytes.
    find_program(QUORVANE_GZIP gzip REQUIRED)
    set(generated "${PROJECT_BINARY_DIR}/data")
    configure_file("${PROJECT_SOURCE_DIR}/data/quorvane.1" "${generated}/Quorvane.1" @ONLY)
    configure_file("${PROJECT_SOURCE_DIR}/data/debian/changelog.in"
                   "${generated}/changelog.Debian" @ONLY)
    configure_file("${PROJECT_SOURCE_DIR}/data/org.example.Quorvane.metainfo.xml.in"
                   "${generated}/org.example.Quorvane.metainfo.xml" @ONLY)
    add_custom_command(OUTPUT "${generated}/Quorvane.1.gz" "${generated}/changelog.Debian.gz"
        COMMAND "${QUORVANE_GZIP}" -9nkf Quorvane.1 changelog.Debian
        DEPENDS "${generated}/Quorvane.1" "${generated}/changelog.Debian"
        WORKING_DIRECTORY "${generated}"
        COMMENT "Compressing the man page and the Debian changelog"
        VERBATIM)
    add_custom_target(quorvane_compressed_docs ALL
        DEPENDS "${generated}/Quorvane.1.gz" "${generated}/changelog.Debian.gz")

    install(FILES "${PROJECT_SOURCE_DIR}/data/quorvane.desktop"
            DESTINATION "${CMAKE_INSTALL_DATADIR}/applications")
    install(FILES "${PROJECT_SOURCE_DIR}/data/quorvane.svg"
            DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps")
    install(FILES "${generated}/org.example.Quorvane.metainfo.xml"
            DESTINATION "${CMAKE_INSTALL_DATADIR}/metainfo")
    install(FILES "${generated}/Quorvane.1.gz" DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
    quorvane_install_symlink("${CMAKE_INSTALL_MANDIR}/man1" Quorvane.1.gz QuorvaneB.1.gz)
    # The licence in Debian's machine-readable form, and the package's changelog.
    install(FILES "${PROJECT_SOURCE_DIR}/data/debian/copyright"
                  "${generated}/changelog.Debian.gz"
            DESTINATION "${CMAKE_INSTALL_DATADIR}/doc/quorvane")
    install(FILES "${PROJECT_SOURCE_DIR}/data/debian/lintian-overrides"
            DESTINATION "${CMAKE_INSTALL_DATADIR}/lintian/overrides" RENAME quorvane)
endif()

set(CPACK_PACKAGE_NAME "quorvane")
set(CPACK_PACKAGE_VENDOR "The Quorvane developers")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_CONTACT "Quorvane developers <quorvane@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Live monitor of an Envoy solar gateway's meter readings")
# Lines of at most 80 columns: dpkg shows them as they are.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Quorvane polls the gateway of a home solar installation over HTTPS and shows\n"
    "solar production, household consumption, the grid balance and a three-phase\n"
    "table live in one small window. It can keep the latest reading in a text file\n"
    "for other programs.")
set(CPACK_STRIP_FILES ON)
if(WIN32)
    # build-windows/Quorvane-<version>-win64.zip, unpacking into a folder of the same name, and
    # beside it the installer Quorvane-<version>-win64.msi, made by wixl from the same staged
    # install (cmake/WindowsInstaller.cmake).
    set(CPACK_GENERATOR "ZIP")
    set(CPACK_PACKAGE_FILE_NAME "Quorvane-${PROJECT_VERSION}-win64")
    set(CPACK_PACKAGE_DIRECTORY "${PROJECT_BINARY_DIR}")
    find_program(QUORVANE_WIXL wixl)
    if(QUORVANE_WIXL)
        list(APPEND CPACK_GENERATOR "External")
        set(CPACK_EXTERNAL_ENABLE_STAGING ON)
        set(CPACK_EXTERNAL_PACKAGE_SCRIPT "${PROJECT_SOURCE_DIR}/cmake/WindowsInstaller.cmake")
        set(CPACK_QUORVANE_WXS_TEMPLATE "${PROJECT_SOURCE_DIR}/data/windows/Quorvane.wxs.in")
        set(CPACK_QUORVANE_WIXL "${QUORVANE_WIXL}")
        set(CPACK_QUORVANE_ICON "${PROJECT_SOURCE_DIR}/data/windows/quorvane.ico")
    else()
        message(STATUS "wixl not found: cpack makes the zip but no installer")
    endif()
    include(CPack)
    return()
endif()
set(CPACK_GENERATOR "DEB")

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
        "libqt6core6 (>= 6.4), libssl3, fonts-liberation2, libxcb1, libstdc++6, libgcc-s1, "
        "libc6")
endif()

include(CPack)
