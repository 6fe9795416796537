# The app market: catalogue, package download and cache, installation and
# the installed-apps registry, launch, and the market window.
qy_add_library(qy_market
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/marketrow.h
    ${CMAKE_CURRENT_LIST_DIR}/marketcatalogue.cpp ${CMAKE_CURRENT_LIST_DIR}/marketcatalogue.h
    ${CMAKE_CURRENT_LIST_DIR}/packagecache.cpp ${CMAKE_CURRENT_LIST_DIR}/packagecache.h
    ${CMAKE_CURRENT_LIST_DIR}/extractscript.cpp ${CMAKE_CURRENT_LIST_DIR}/extractscript.h
    ${CMAKE_CURRENT_LIST_DIR}/appmarketdialog.cpp ${CMAKE_CURRENT_LIST_DIR}/appmarketdialog.h
    ${CMAKE_CURRENT_LIST_DIR}/marketdownload.cpp
    ${CMAKE_CURRENT_LIST_DIR}/marketinstall.cpp
    ${CMAKE_CURRENT_LIST_DIR}/marketlaunch.cpp
    ${CMAKE_CURRENT_LIST_DIR}/marketpaint.cpp
    ${CMAKE_CURRENT_LIST_DIR}/marketinput.cpp
  DEPS qy_updater qy_account qy_app qy_backup)
