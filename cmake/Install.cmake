# What `cmake --install` puts under the prefix, and the Debian package made of exactly that
# (CPack's DEB generator packs these same rules, so the package and a prefix install cannot
# drift apart):
#   bin/installWalletForLinux
#   share/man/man1/installWalletForLinux.1.gz
#   share/doc/corvane-installer/{README.md,copyright,changelog.gz}
#   share/lintian/overrides/corvane-installer
#   share/corvane-installer/               (the program's data files)
set(CMAKE_INSTALL_DOCDIR share/doc/corvane-installer CACHE PATH "Documentation folder")
include(GNUInstallDirs)
set(CORVANE_DATADIR ${CMAKE_INSTALL_DATADIR}/corvane-installer)

install(TARGETS installWalletForLinux RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# Man page and changelog: the version put in, compressed as Debian wants them (gzip -9n: no
# name or time stamp, so the same sources give the same bytes).
find_program(CORVANE_GZIP gzip REQUIRED)
configure_file(${PROJECT_SOURCE_DIR}/docs/installWalletForLinux.1
               ${PROJECT_BINARY_DIR}/doc/installWalletForLinux.1 @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog
               ${PROJECT_BINARY_DIR}/doc/changelog @ONLY)
set(CORVANE_DOC_GZ ${PROJECT_BINARY_DIR}/doc/installWalletForLinux.1.gz
                   ${PROJECT_BINARY_DIR}/doc/changelog.gz)
add_custom_command(
  OUTPUT ${CORVANE_DOC_GZ}
  COMMAND ${CORVANE_GZIP} -9nkf installWalletForLinux.1 changelog
  DEPENDS ${PROJECT_BINARY_DIR}/doc/installWalletForLinux.1 ${PROJECT_BINARY_DIR}/doc/changelog
  WORKING_DIRECTORY ${PROJECT_BINARY_DIR}/doc
  COMMENT "Compressing the man page and the changelog")
add_custom_target(corvane_docs ALL DEPENDS ${CORVANE_DOC_GZ})

install(FILES ${PROJECT_BINARY_DIR}/doc/installWalletForLinux.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/packaging/copyright
              ${PROJECT_BINARY_DIR}/doc/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The program is static on purpose (one file for every Debian and Ubuntu release), which
# lintian reports unless told so.
install(FILES ${PROJECT_SOURCE_DIR}/packaging/lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME corvane-installer)

# Data files of the program go to CORVANE_DATADIR (/usr/share/corvane-installer in the
# package). The installer reads the maker's archive keyring at CORVANE_ARCHIVE_KEYRING (by
# default CORVANE_DATADIR/archive-keyring.gpg); the key file, packaging/archive-keyring.gpg
# (binary, `gpg --export`), is installed there once the maker adds it.
if(EXISTS ${PROJECT_SOURCE_DIR}/packaging/archive-keyring.gpg)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/archive-keyring.gpg DESTINATION ${CORVANE_DATADIR})
endif()

# The Debian package: `cpack -G DEB` in a build folder gives
# corvane-installer_<version>_amd64.deb (scripts/release.sh).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME corvane-installer)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Corvane")
set(CPACK_PACKAGE_CONTACT "Corvane installer maintainers <installer@corvane.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "text-mode installer for the Corvane desktop wallet")
set(CPACK_PACKAGE_DESCRIPTION
    "installWalletForLinux installs the Corvane desktop wallet for the current\n\
user from a terminal: it downloads the wallet archive with wget, puts the\n\
program, icon and launchers in place, installs the packages the wallet needs\n\
with apt-get through sudo, finds wallets already installed on mounted\n\
partitions, and removes them.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The program is static: the tools it runs are its only dependencies.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "sudo, wget")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://${CORVANE_WEB_SITE}/")
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
include(CPack)
