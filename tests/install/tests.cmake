set(D ${CMAKE_CURRENT_LIST_DIR})
# The install rules, run into a temporary prefix, and the Debian package
# made from them; the installed panel starts on the test's X server.
qy_add_test(test_install SOURCES ${D}/test_install.cpp ${D}/../support/videoclips.cpp
  LIBS PkgConfig::AVDEPS X11 TIMEOUT 600)
add_dependencies(test_install TarnavelPanel quillory_media)
