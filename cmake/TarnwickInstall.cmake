# What `cmake --install` puts into a prefix, and the Debian package CPack makes of it (native
# builds only): the tools in bin/, and both setup programs, built by the Windows presets, under
# share/tarnwick/<arch>/setup.exe with the one-file launcher beside them, where the installed
# tarnwick-pack looks for them.
#   cmake --install build/native --prefix /usr/local
#   cd build/native && cpack -G DEB
if(WIN32)
  return()
endif()

set(TARNWICK_STUB_X64 "${PROJECT_SOURCE_DIR}/build/win64/src/app/setup.exe" CACHE FILEPATH
    "setup.exe for x64 that the install ships (from the win64 preset)")
set(TARNWICK_STUB_X86 "${PROJECT_SOURCE_DIR}/build/win32/src/app/setup.exe" CACHE FILEPATH
    "setup.exe for x86 that the install ships (from the win32 preset)")
set(TARNWICK_LAUNCHER_X64 "${PROJECT_SOURCE_DIR}/build/win64/src/launcher/tarnwick-launcher.exe" CACHE FILEPATH
    "The one-file setup's launcher for x64 (from the win64 preset)")
set(TARNWICK_LAUNCHER_X86 "${PROJECT_SOURCE_DIR}/build/win32/src/launcher/tarnwick-launcher.exe" CACHE FILEPATH
    "The one-file setup's launcher for x86 (from the win32 preset)")

include(GNUInstallDirs)
install(TARGETS tarnwick-pack tarnwick-zip RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The stubs are not optional: a packager installed without them could build nothing.
install(FILES ${TARNWICK_STUB_X64} DESTINATION ${CMAKE_INSTALL_DATADIR}/tarnwick/x64 RENAME setup.exe)
install(FILES ${TARNWICK_STUB_X86} DESTINATION ${CMAKE_INSTALL_DATADIR}/tarnwick/x86 RENAME setup.exe)
# The launchers beside them, for build --single-file.
install(FILES ${TARNWICK_LAUNCHER_X64} DESTINATION ${CMAKE_INSTALL_DATADIR}/tarnwick/x64 RENAME tarnwick-launcher.exe)
install(FILES ${TARNWICK_LAUNCHER_X86} DESTINATION ${CMAKE_INSTALL_DATADIR}/tarnwick/x86 RENAME tarnwick-launcher.exe)
install(FILES ${PROJECT_SOURCE_DIR}/docs/manifest.md ${PROJECT_SOURCE_DIR}/README.md
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarnwick-tools)
set(CPACK_PACKAGE_VENDOR "Tarnwick Installer")
set(CPACK_PACKAGE_CONTACT "Tarnwick Installer developers <tarnwick@example.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Tarnwick Installer's packager (tarnwick-pack) and archive tool (tarnwick-zip)")
set(CPACK_PACKAGE_DESCRIPTION "tarnwick-pack builds a Windows setup folder (setup.exe and its enciphered package and data files) from a product folder and a TOML manifest; tarnwick-zip lists, tests, extracts and writes ZIP archives. Both setup programs (x64 and x86) are included.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "osslsigncode, wine")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
include(CPack)
