set(D ${CMAKE_CURRENT_LIST_DIR})
qy_add_test(test_dialogs SOURCES ${D}/test_dialogs.cpp LIBS qy_widgets)
qy_add_test(test_icongridlayout SOURCES ${D}/test_icongridlayout.cpp LIBS qy_widgets)
qy_add_test(test_icongrid SOURCES ${D}/test_icongrid.cpp LIBS qy_widgets)
