set(D ${CMAKE_CURRENT_LIST_DIR})
qy_add_test(test_toast SOURCES ${D}/test_toast.cpp LIBS qy_widgets)
qy_add_test(test_toast_focus SOURCES ${D}/test_toast_focus.cpp LIBS qy_widgets X11)
qy_add_test(test_dragpayloads SOURCES ${D}/test_dragpayloads.cpp LIBS qy_widgets)
