# The panel's own updates: version order, the signed manifest, the installer
# download and hand-off, and the update dialog.
#
# The manifest's signing key: the affine X and Y of the P-256 public key as
# 64 hexadecimal digits each. Empty (the default) builds a panel that accepts
# no manifest, so a build that names no key can never be updated by anyone.
set(QY_UPDATE_KEY_X "" CACHE STRING "X coordinate of the update signing key (64 hex digits)")
set(QY_UPDATE_KEY_Y "" CACHE STRING "Y coordinate of the update signing key (64 hex digits)")

qy_add_library(qy_updater
  SOURCES
    versionorder.cpp versionorder.h
    updatemanifest.cpp updatemanifest.h
    updatehandoff.cpp updatehandoff.h
    updatedialog.cpp updatedialogpaint.cpp updatedialog.h
    panelupdater.h updatecheck.cpp installerdownload.cpp
  DEPS qy_account qy_app)
# Only this file sees the key, like the service host.
set_source_files_properties(updatemanifest.cpp PROPERTIES
  COMPILE_DEFINITIONS "QY_UPDATE_KEY_X=\"${QY_UPDATE_KEY_X}\";QY_UPDATE_KEY_Y=\"${QY_UPDATE_KEY_Y}\"")
