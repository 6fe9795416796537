# Installation as a Linux program: the executable in bin/, the media module
# in lib/quillory/ (the program looks for it at ../lib/quillory beside
# itself, so the two directories are fixed rather than taken from
# GNUInstallDirs, whose library folder varies by distribution), a desktop
# entry for the application menu and the icon in the hicolor theme. The
# Debian package is made from the same rules.
#
# An installed program is not a portable copy: nothing here writes an
# install marker, and the program writes none in bin/, so its own uninstall
# never deletes a system folder. The package manager removes it.

install(TARGETS TarnavelPanel RUNTIME DESTINATION bin)
install(TARGETS quillory_media LIBRARY DESTINATION lib/quillory)
install(FILES ${PROJECT_SOURCE_DIR}/src/resources/logo.png
  DESTINATION share/icons/hicolor/256x256/apps RENAME tarnavelpanel.png)

# The entry names the executable by its installed path, which is known only
# when the install runs (`cmake --install --prefix` may choose another one
# than the configured prefix).
set(QY_DESKTOP_TEMPLATE ${PROJECT_SOURCE_DIR}/cmake/install/TarnavelPanel.desktop.in)
set(QY_DESKTOP_STAGED ${PROJECT_BINARY_DIR}/install/TarnavelPanel.desktop)
install(CODE "
  set(QY_INSTALLED_EXECUTABLE \"\${CMAKE_INSTALL_PREFIX}/bin/TarnavelPanel\")
  configure_file(\"${QY_DESKTOP_TEMPLATE}\" \"${QY_DESKTOP_STAGED}\" @ONLY)
  file(INSTALL DESTINATION \"\${CMAKE_INSTALL_PREFIX}/share/applications\" TYPE FILE FILES \"${QY_DESKTOP_STAGED}\")
")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillory)
set(CPACK_PACKAGE_VENDOR "Quillory")
set(CPACK_PACKAGE_CONTACT "Quillory developers <quillory@quillory.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Desktop icon panel with groups of shortcuts")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
# Package dependencies from the libraries the program and the module link;
# libssl3 by name, since libcrypto is opened at run time, not linked.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6, libssl3, fonts-noto-cjk | fonts-wqy-microhei")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libarchive-tools, xdg-utils, policykit-1")
include(CPack)
