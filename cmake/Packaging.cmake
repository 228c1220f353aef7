# Installation and packages. On Linux the executable goes to <prefix>/bin and what it reads to
# <prefix>/share/sentak, with a desktop entry, the hicolor icons and an XDG autostart entry: a
# .deb. On Windows the installation is one folder, the executable with Resources/ and
# languages/ beside it: a .zip, and an installer that puts that folder into Program Files.

include(GNUInstallDirs)

if(WIN32)
    set(SENTAK_INSTALL_BINDIR .)
    set(SENTAK_INSTALL_DATADIR .)
else()
    set(SENTAK_INSTALL_BINDIR ${CMAKE_INSTALL_BINDIR})
    # Not CMAKE_INSTALL_DATADIR: the program finds Resources/ and languages/ through the
    # toolkit's resources folder, which is always share/<program> beside the bin/ it runs from.
    set(SENTAK_INSTALL_DATADIR share/sentak)
endif()

install(TARGETS sentak RUNTIME DESTINATION ${SENTAK_INSTALL_BINDIR})
if(WIN32)
    install(TARGETS sentak-control RUNTIME DESTINATION ${SENTAK_INSTALL_BINDIR})
endif()
install(DIRECTORY resources/Resources DESTINATION ${SENTAK_INSTALL_DATADIR})
install(DIRECTORY ${SENTAK_LANGUAGES_DIR} DESTINATION ${SENTAK_INSTALL_DATADIR}
        FILES_MATCHING PATTERN main.mo)

if(WIN32)
    # Named for Windows, where a file without an extension opens with nothing.
    install(FILES LICENSE DESTINATION . RENAME LICENSE.txt)
else()
    install(FILES resources/linux/sentak.desktop
            DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(DIRECTORY resources/linux/icons/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
    install(DIRECTORY ${SENTAK_THEME_ICONS_DIR}
            DESTINATION ${SENTAK_INSTALL_DATADIR}/Resources/Icons)
    # An example for administrators who want a group of users to manage the unit without a
    # password; a package must not widen who may, so it is documentation, not a rule.
    install(FILES resources/linux/50-sentak-quenthal.rules
            DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)
    install(FILES resources/service-icon.svg
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME sentak.svg)
    # So that software centres list it; the id is reverse-DNS, the desktop entry keeps its name.
    install(FILES resources/linux/org.example.sentak.metainfo.xml
            DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

    # What Debian wants beside every package: the licence in its machine-readable copyright file,
    # and the changelog and manual page compressed without a time stamp (gzip -n), so that the
    # same sources make the same package.
    find_program(GZIP gzip REQUIRED)
    set(debian_docs ${CMAKE_BINARY_DIR}/debian)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
                 ${CMAKE_SOURCE_DIR}/LICENSE ${CMAKE_SOURCE_DIR}/resources/linux/changelog)
    file(READ LICENSE license)
    string(REGEX REPLACE "^.*\n(Permission )" "\\1" license "${license}")
    string(STRIP "${license}" license)
    string(REPLACE "\n\n" "\n.\n" license "${license}")
    string(REPLACE "\n" "\n " SENTAK_LICENSE_TEXT " ${license}")
    configure_file(resources/linux/copyright.in ${debian_docs}/copyright @ONLY)
    file(STRINGS resources/linux/changelog newest LIMIT_COUNT 1)
    if(NOT newest MATCHES "^sentak \\(${PROJECT_VERSION}\\) ")
        message(FATAL_ERROR "resources/linux/changelog does not start with ${PROJECT_VERSION}")
    endif()
    configure_file(resources/linux/sentak.1.in ${debian_docs}/sentak.1 @ONLY)
    configure_file(resources/linux/changelog ${debian_docs}/changelog COPYONLY)
    foreach(doc sentak.1 changelog)
        add_custom_command(OUTPUT ${debian_docs}/${doc}.gz
            COMMAND ${GZIP} -9nkf ${debian_docs}/${doc}
            DEPENDS ${debian_docs}/${doc}
            VERBATIM)
    endforeach()
    add_custom_target(debian-docs ALL DEPENDS ${debian_docs}/sentak.1.gz ${debian_docs}/changelog.gz)
    install(FILES ${debian_docs}/copyright ${debian_docs}/changelog.gz
            DESTINATION ${CMAKE_INSTALL_DOCDIR})
    install(FILES ${debian_docs}/sentak.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

    # Starts the tray at every login. Desktops read /etc/xdg/autostart, which is where an
    # installation to /usr (the package) puts it; any other prefix gets <prefix>/etc/xdg. Decided
    # at install time, so that `cmake --install --prefix` and cpack both get it right.
    set(autostart ${CMAKE_SOURCE_DIR}/resources/linux/sentak-autostart.desktop)
    install(CODE "
        if(CMAKE_INSTALL_PREFIX STREQUAL \"/usr\")
            set(sentak_xdg_config /etc/xdg)
        else()
            set(sentak_xdg_config \"\${CMAKE_INSTALL_PREFIX}/etc/xdg\")
        endif()
        file(INSTALL DESTINATION \"\${sentak_xdg_config}/autostart\" TYPE FILE
             RENAME sentak.desktop FILES \"${autostart}\")
    ")
endif()

set(SENTAK_PACKAGE_CONTACT "The Sentak developers <sentak@example.org>"
    CACHE STRING "Maintainer named in the packages")
set(CPACK_PACKAGE_NAME sentak)
set(CPACK_PACKAGE_VENDOR "The Sentak developers")
set(CPACK_PACKAGE_CONTACT ${SENTAK_PACKAGE_CONTACT})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
# Lines as the package's control file keeps them.
set(CPACK_PACKAGE_DESCRIPTION [[
Shows the state of the local Quenthal service as a tray icon with a
tooltip, tells the desktop when a service it saw running stops answering,
and offers a menu of the service's version and ports with a link to its
web settings page. Starts at login.]])
set(CPACK_STRIP_FILES ON)
if(WIN32)
    set(CPACK_GENERATOR ZIP)
    set(CPACK_PACKAGE_FILE_NAME sentak-${PROJECT_VERSION}-windows-x86_64)
else()
    set(CPACK_GENERATOR DEB)
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
    set(CPACK_DEBIAN_PACKAGE_SECTION utils)
    # The toolkit's runtime libraries and what they need, as dpkg-shlibdeps finds them.
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    # An administrator's edits to the autostart entry (Hidden=true turns it off) survive updates.
    file(WRITE ${CMAKE_BINARY_DIR}/debian/conffiles "/etc/xdg/autostart/sentak.desktop\n")
    set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_BINARY_DIR}/debian/conffiles)
endif()
include(CPack)

# The Windows installer, from the files the .zip holds: the installation is staged with the same
# install rules, then resources/windows/installer.nsi packs it with makensis. The packing is a
# script of its own, so that another stage can be packed the same way (tests do).
if(WIN32)
    find_program(MAKENSIS makensis REQUIRED)
    # Not from CPACK_PACKAGE_FILE_NAME: including CPack has left the source package's name there.
    set(setup_name sentak-${PROJECT_VERSION}-windows-x86_64-setup.exe)
    set(SENTAK_SETUP ${CMAKE_BINARY_DIR}/${setup_name})
    set(stage ${CMAKE_BINARY_DIR}/installer/stage)
    set(make_installer ${CMAKE_BINARY_DIR}/installer/make-installer.cmake)
    file(WRITE ${make_installer} "\
# Packs the staged installation STAGE into the installer OUTFILE.
#   cmake -DSTAGE=<staged installation> -DOUTFILE=<setup.exe> -P ${make_installer}
cmake_path(GET OUTFILE PARENT_PATH work)
string(APPEND work /installer-files)
file(MAKE_DIRECTORY \${work})
execute_process(COMMAND \"${CMAKE_COMMAND}\" -DSTAGE=\${STAGE} -DOUTPUT=\${work}/files.nsh
        -DRECORD=\${work}/record.txt -P \"${CMAKE_SOURCE_DIR}/cmake/InstallerFiles.cmake\"
    COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND \"${MAKENSIS}\" -V2 -INPUTCHARSET UTF8 -DVERSION=${PROJECT_VERSION}
        \"-DPUBLISHER=${CPACK_PACKAGE_VENDOR}\" \"-DICON=${SENTAK_ICON}\"
        -DFILES=\${work}/files.nsh -DRECORD=\${work}/record.txt -DOUTFILE=\${OUTFILE}
        \"${CMAKE_SOURCE_DIR}/resources/windows/installer.nsi\"
    COMMAND_ERROR_IS_FATAL ANY)
")
    file(GLOB_RECURSE shipped_resources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/Resources/*)
    add_custom_command(OUTPUT ${SENTAK_SETUP}
        COMMAND ${CMAKE_COMMAND} -E rm -rf ${stage}
        COMMAND ${CMAKE_COMMAND} --install ${CMAKE_BINARY_DIR} --prefix ${stage} --strip
        COMMAND ${CMAKE_COMMAND} -DSTAGE=${stage} -DOUTFILE=${SENTAK_SETUP} -P ${make_installer}
        DEPENDS sentak sentak-control ${compiled_catalogues} ${shipped_resources} ${SENTAK_ICON}
                ${CMAKE_SOURCE_DIR}/resources/windows/installer.nsi
                ${CMAKE_SOURCE_DIR}/resources/windows/folder_permissions.nsh
                ${CMAKE_SOURCE_DIR}/resources/windows/installed-0.1.0.txt
                ${CMAKE_SOURCE_DIR}/cmake/InstallerFiles.cmake
        COMMENT "Making the installer ${setup_name}"
        VERBATIM)
    add_custom_target(installer ALL DEPENDS ${SENTAK_SETUP})
endif()
