# Install layout and the Debian package (cpack -G DEB, or scripts/package).
include(GNUInstallDirs)

set(ZORVA_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)

install(FILES ${ZORVA_PACKAGING_DIR}/stendzorva.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${ZORVA_PACKAGING_DIR}/stendzorva.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${ZORVA_PACKAGING_DIR}/README.Debian
              ${ZORVA_PACKAGING_DIR}/99-stendzorva.rules.example
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/stendzorva)

# The data folder is made by the package's postinst, not shipped in it: dpkg
# would take an empty folder away on remove and reset its group on upgrade. A
# plain "cmake --install" to the live system runs the same script; a staged
# install (DESTDIR, or CPack's own) or a trial one outside /usr and /opt leaves
# /var/lib alone.
install(CODE "
  if(\"\$ENV{DESTDIR}\" STREQUAL \"\" AND CMAKE_INSTALL_PREFIX MATCHES \"^/(usr|opt)(/|$)\"
     AND NOT CMAKE_INSTALL_PREFIX MATCHES \"/_CPack_Packages/\")
    execute_process(COMMAND id -u OUTPUT_VARIABLE _zorva_uid OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(_zorva_uid STREQUAL \"0\")
      message(STATUS \"Data folder: /var/lib/StendZorva\")
      execute_process(COMMAND sh \"${ZORVA_PACKAGING_DIR}/postinst\" configure \"\" RESULT_VARIABLE _zorva_rc)
      if(NOT _zorva_rc EQUAL 0)
        message(WARNING \"Could not prepare /var/lib/StendZorva\")
      endif()
    else()
      message(STATUS \"Not root: create the data folder with\")
      message(STATUS \"  sudo install -d -o root -g dialout -m 2775 /var/lib/StendZorva\")
    endif()
  endif()
")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME stendzorva)
set(CPACK_PACKAGE_VENDOR "StendZorva")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Control program of the ZORVA-TK gas-meter board test stand")
set(CPACK_PACKAGE_DESCRIPTION
    "StendZorva drives the ZORVA-TK production test stand over a serial port: it shows the\n\
board under test, programs and checks the stand, writes serial numbers and keeps the\n\
production journal. stand-sim simulates the stand on a pseudo-terminal for training.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_SOURCE_GENERATOR "")

set(ZORVA_PACKAGE_MAINTAINER "StendZorva maintainers <stendzorva@localhost>"
    CACHE STRING "Maintainer field of the Debian package")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${ZORVA_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Libraries come from dpkg-shlibdeps. Debian ships Qt's X11 platform plugin
# inside libqt6gui6, so nothing loaded at run time needs a name of its own.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-dejavu-core, xdg-utils")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${ZORVA_PACKAGING_DIR}/postinst ${ZORVA_PACKAGING_DIR}/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)

include(CPack)

# Installs the package built from this tree on this machine, runs the installed
# program under Xvfb and removes the package again. Skipped (77) when not root,
# without apt/dpkg, or when the package or its data folder is already here.
if(ZORVA_TESTS)
  add_test(NAME package_check
           COMMAND ${PROJECT_SOURCE_DIR}/scripts/package-check --build-dir ${CMAKE_BINARY_DIR})
  set_tests_properties(package_check PROPERTIES
    LABELS package SKIP_RETURN_CODE 77 TIMEOUT 600 RESOURCE_LOCK system_packages RUN_SERIAL TRUE)
endif()
