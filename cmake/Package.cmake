# What `cmake --install` and the .deb (cpack, build/zepsetup_VERSION_amd64.deb, always
# under /usr) hold:
#   bin/zepsetup                   the launcher: starts lib/zepsetup/dist/zepsetup
#   bin/zepmachine                 the machine tool, also the setup's registry editor
#   lib/zepsetup/modules/zepsetup-qt.so  the windows module (a folder of its own: one
#                                  straight under lib/ would have CPack call ldconfig)
#   lib/zepsetup/dist/             the distribution (the setup program and the packed
#                                  files): an executable lies there, so not under share/
#   share/man/man1/, share/bash-completion/, share/applications/, share/icons/, doc
include(GNUInstallDirs)
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
    GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(ZP_PACKAGING "${PROJECT_SOURCE_DIR}/packaging")
set(ZP_LIB_DIR "lib/zepsetup")

# The launcher finds the distribution from where it lies, so that unpacked elsewhere
# (dpkg -x) it still starts its own.
file(RELATIVE_PATH ZP_BIN_TO_LIB "/${CMAKE_INSTALL_BINDIR}" "/${ZP_LIB_DIR}")
configure_file("${ZP_PACKAGING}/zepsetup.in" "${CMAKE_BINARY_DIR}/packaging/zepsetup" @ONLY
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
                                GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
configure_file("${ZP_PACKAGING}/changelog.in" "${CMAKE_BINARY_DIR}/packaging/changelog" @ONLY)

install(PROGRAMS "${CMAKE_BINARY_DIR}/packaging/zepsetup" DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS zepmachine RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS zepsetup_qt LIBRARY DESTINATION ${ZP_LIB_DIR}/modules)
install(PROGRAMS "${ZP_DIST_DIR}/zepsetup" DESTINATION ${ZP_LIB_DIR}/dist)
install(FILES ${ZP_DIST_PACKED} DESTINATION ${ZP_LIB_DIR}/dist)
install(FILES "${ZP_PACKAGING}/zepmachine.bash-completion"
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME zepmachine)
install(FILES "${ZP_PACKAGING}/zepsetup.desktop"
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES "${ZP_PACKAGING}/zepsetup.svg"
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
set(ZP_MAN_DIR "${CMAKE_BINARY_DIR}/man")
add_custom_command(
    OUTPUT "${ZP_MAN_DIR}/changelog.gz"
    COMMAND ${CMAKE_COMMAND} -E copy "${CMAKE_BINARY_DIR}/packaging/changelog" "${ZP_MAN_DIR}"
    COMMAND gzip -9nf "${ZP_MAN_DIR}/changelog"
    DEPENDS "${ZP_PACKAGING}/changelog.in"
    VERBATIM)
add_custom_target(changelog ALL DEPENDS "${ZP_MAN_DIR}/changelog.gz")
install(FILES "${ZP_PACKAGING}/copyright" "${ZP_MAN_DIR}/changelog.gz"
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/zepsetup)

# Man pages from the programs' --help (help2man); without help2man there are none, and
# the package stage installs it (scripts/deps package).
find_program(ZP_HELP2MAN help2man)
if(ZP_HELP2MAN)
    add_custom_command(
        OUTPUT "${ZP_MAN_DIR}/zepmachine.1.gz"
        COMMAND ${CMAKE_COMMAND} -E make_directory "${ZP_MAN_DIR}"
        COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:zepmachine> -DHELP2MAN=${ZP_HELP2MAN}
                "-DNAME=creates and operates portable Windows 95 machines"
                -DVERSION=${PROJECT_VERSION} -DVERBS=ON -DOUT=${ZP_MAN_DIR}/zepmachine.1.gz
                -P ${PROJECT_SOURCE_DIR}/cmake/ManPage.cmake
        DEPENDS zepmachine ${PROJECT_SOURCE_DIR}/cmake/ManPage.cmake
        COMMENT "Writing the man page of zepmachine"
        VERBATIM)
    add_custom_command(
        OUTPUT "${ZP_MAN_DIR}/zepsetup.1.gz"
        COMMAND ${CMAKE_COMMAND} -E make_directory "${ZP_MAN_DIR}"
        COMMAND ${CMAKE_COMMAND} -DPROGRAM=${CMAKE_BINARY_DIR}/packaging/zepsetup
                -DHELP2MAN=${ZP_HELP2MAN} "-DNAME=setup and removal of Dovek's Zepanu's 1.0"
                -DVERSION=${PROJECT_VERSION} -DOUT=${ZP_MAN_DIR}/zepsetup.1.gz
                -P ${PROJECT_SOURCE_DIR}/cmake/ManPage.cmake
        DEPENDS "${ZP_PACKAGING}/zepsetup.in" ${PROJECT_SOURCE_DIR}/cmake/ManPage.cmake
        COMMENT "Writing the man page of zepsetup"
        VERBATIM)
    add_custom_target(manpages ALL
        DEPENDS "${ZP_MAN_DIR}/zepmachine.1.gz" "${ZP_MAN_DIR}/zepsetup.1.gz")
    install(FILES "${ZP_MAN_DIR}/zepmachine.1.gz" "${ZP_MAN_DIR}/zepsetup.1.gz"
            DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
    message(STATUS "help2man not found: no man pages, no package (bash scripts/deps package)")
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zepsetup)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DIRECTORY "${CMAKE_BINARY_DIR}")
set(CPACK_PACKAGING_INSTALL_PREFIX "${ZP_PACKAGE_PREFIX}")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "setup of a Windows 95 utility suite, on a portable machine")
set(CPACK_PACKAGE_DESCRIPTION
    "The setup and removal program of Dovek's Zepanu's 1.0, a Windows 95
utility suite, rebuilt to run on Linux against a portable machine: a folder
that plays a Windows 95 computer with drives, 8.3 names, a registry and
restart processing. The wizard opens in windows on a display, or runs
headless from a UI script. zepmachine makes and inspects machines (files,
registry, journal, snapshots).")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Zepsetup developers <zepsetup@example.org>")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries from dpkg-shlibdeps, and the fonts the windows draw with.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-wine, fonts-liberation")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
