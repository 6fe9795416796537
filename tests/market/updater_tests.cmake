set(D ${CMAKE_CURRENT_LIST_DIR})
qy_add_test(test_versionorder SOURCES ${D}/test_versionorder.cpp LIBS qy_updater)
qy_add_test(test_updatecheck SOURCES ${D}/test_updatecheck.cpp ${D}/updaterharness.h LIBS qy_updater)
