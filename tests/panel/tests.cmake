set(D ${CMAKE_CURRENT_LIST_DIR})
qy_add_test(test_mainwindow SOURCES ${D}/test_mainwindow.cpp LIBS qy_panel)
