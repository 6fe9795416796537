set(D ${CMAKE_CURRENT_LIST_DIR})
qy_add_test(test_dragpayloads SOURCES ${D}/test_dragpayloads.cpp LIBS qy_widgets)
