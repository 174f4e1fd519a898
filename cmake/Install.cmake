# What `cmake --install` puts under the prefix; scripts/release.sh stages exactly that with
# DESTDIR and packs the staged tree with dpkg-deb, so the package and a prefix install cannot
# drift apart:
#   bin/installWalletForLinux
#   share/man/man1/installWalletForLinux.1.gz
#   share/doc/corvane-installer/{README.md,copyright,changelog.gz}   (README.md: the user's guide)
#   share/doc/corvane-installer/examples/install-wallet.yml
#   share/lintian/overrides/corvane-installer
#   share/corvane-installer/archive-keyring.gpg   (when a maker's key is given)
# and the control file of the package, package/control in the build folder.
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
# The user's guide (what the program does, where it writes, how to remove things); the
# developer README of the source tree is not installed.
configure_file(${PROJECT_SOURCE_DIR}/packaging/README.user.md
               ${PROJECT_BINARY_DIR}/doc/README.md @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/doc/README.md ${PROJECT_SOURCE_DIR}/packaging/copyright
              ${PROJECT_BINARY_DIR}/doc/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
# The fleet example: an Ansible playbook over the command for scripts.
install(FILES ${PROJECT_SOURCE_DIR}/docs/examples/install-wallet.yml
        DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)

# The program is static on purpose (one file for every Debian and Ubuntu release), which
# lintian reports unless told so.
install(FILES ${PROJECT_SOURCE_DIR}/packaging/lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME corvane-installer)

# Data files of the program go to CORVANE_DATADIR (/usr/share/corvane-installer in the
# package). The installer reads the maker's archive keyring at CORVANE_ARCHIVE_KEYRING (by
# default CORVANE_DATADIR/archive-keyring.gpg); CORVANE_PACKAGE_KEYRING names the key file
# (binary OpenPGP, `gpg --export`) installed there, empty for none.
if(CORVANE_PACKAGE_KEYRING)
  if(NOT EXISTS ${CORVANE_PACKAGE_KEYRING})
    message(FATAL_ERROR "CORVANE_PACKAGE_KEYRING: no file ${CORVANE_PACKAGE_KEYRING}")
  endif()
  install(FILES ${CORVANE_PACKAGE_KEYRING} DESTINATION ${CORVANE_DATADIR}
          RENAME archive-keyring.gpg)
endif()

# The control file of the Debian package. The program is static: the tools it runs are its
# dependencies (each one a minimal Debian or Ubuntu may lack):
#   sudo           every step that needs root rights
#   wget           the archive downloads
#   gpgv           the signature of an archive's SHA256SUMS (Debian 13's apt no longer
#                  pulls it in)
#   hdparm, udev   the storage survey (hdparm -I, udevadm info)
#   lsb-release    the system facts (lsb_release -a)
#   procps         skill, in the first-time sudo setup
#   sensible-utils sensible-pager, the run-log viewer's first choice
# Recommends: less, the viewer's next choice; without it the log opens in more
# (util-linux, always there).
set(CORVANE_PACKAGE_DEPENDS "sudo, wget, gpgv, hdparm, udev, lsb-release, procps, sensible-utils")
set(CORVANE_PACKAGE_RECOMMENDS "less")

# Built-Using names the source packages whose code the static link copied into the binary
# (glibc's libc.a, gcc's libstdc++.a, libgcc.a and libgcc_eh.a), with the exact versions
# installed at build time: Debian's policy for statically linked programs.
set(CORVANE_BUILT_USING "")
if(CORVANE_STATIC)
  find_program(CORVANE_DPKG_QUERY dpkg-query REQUIRED)
  set(sources "")
  foreach(archive libc.a libstdc++.a libgcc.a libgcc_eh.a)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${archive}
                    OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
    file(REAL_PATH "${path}" path)
    execute_process(COMMAND ${CORVANE_DPKG_QUERY} -S ${path}
                    OUTPUT_VARIABLE owner RESULT_VARIABLE rc OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT rc EQUAL 0)
      # /usr-merged systems list some files under /lib.
      string(REGEX REPLACE "^/usr/" "/" other "${path}")
      execute_process(COMMAND ${CORVANE_DPKG_QUERY} -S ${other}
                      OUTPUT_VARIABLE owner RESULT_VARIABLE rc OUTPUT_STRIP_TRAILING_WHITESPACE)
    endif()
    if(NOT rc EQUAL 0)
      message(FATAL_ERROR "Built-Using: no Debian package owns ${path}")
    endif()
    string(REGEX REPLACE ":.*" "" owner "${owner}")
    execute_process(COMMAND ${CORVANE_DPKG_QUERY} -W "-f=\${source:Package} (= \${source:Version})"
                            ${owner}
                    OUTPUT_VARIABLE source COMMAND_ERROR_IS_FATAL ANY)
    list(APPEND sources "${source}")
  endforeach()
  list(REMOVE_DUPLICATES sources)
  list(SORT sources)
  list(JOIN sources ", " CORVANE_BUILT_USING)
  message(STATUS "Built-Using: ${CORVANE_BUILT_USING}")
endif()

set(CORVANE_PACKAGE_NAME corvane-installer)
set(CORVANE_PACKAGE_MAINTAINER "Corvane installer maintainers <installer@corvane.example>")
set(CORVANE_PACKAGE_HOMEPAGE "https://${CORVANE_WEB_SITE}/")
if(CORVANE_BUILT_USING)
  set(CORVANE_BUILT_USING_FIELD "Built-Using: ${CORVANE_BUILT_USING}\n")
else()
  set(CORVANE_BUILT_USING_FIELD "")
endif()
configure_file(${PROJECT_SOURCE_DIR}/packaging/control.in ${PROJECT_BINARY_DIR}/package/control
               @ONLY NEWLINE_STYLE UNIX)
