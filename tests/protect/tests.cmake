set(D ${CMAKE_CURRENT_LIST_DIR})
qy_add_test(test_passwordhash SOURCES ${D}/test_passwordhash.cpp LIBS qy_protect)
qy_add_test(test_lockdialog SOURCES ${D}/test_lockdialog.cpp LIBS qy_protect)
qy_add_test(test_uilockoverlay SOURCES ${D}/test_uilockoverlay.cpp LIBS qy_protect)
