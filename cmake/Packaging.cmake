# The Debian package for technicians: cpack -G DEB (scripts/package.sh) makes
# kestrel_<version>_amd64.deb with the console, the demo, the simulator, the
# help page, the desktop entry and the icon. Library dependencies come from
# the binaries (dpkg-shlibdeps); the interface also needs a CJK font and
# Qt's own Chinese translations (确定/取消), and the demo needs socat.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kestrel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Kestrel developers")
set(CPACK_PACKAGE_CONTACT "Kestrel developers <kestrel@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Modbus调试软件 V3: bench console for the RS-485 audio playback module")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Modbus调试软件 V3, a bench test console for the RS-485 audio playback module\n\
 speaking Modbus RTU: single and multiple register writes, register reads\n\
 and batch play lists over a serial port, with every request and reply shown\n\
 as hexadecimal text. Includes kestrel-demo, the console with a simulated\n\
 module, and kestrel-sim, the simulated module alone.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-noto-cjk, qt6-translations-l10n, socat")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
