set(D ${CMAKE_CURRENT_LIST_DIR})
qy_add_test(test_dialogs SOURCES ${D}/test_dialogs.cpp LIBS qy_widgets)
