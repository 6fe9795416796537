set(D ${CMAKE_CURRENT_LIST_DIR})
qy_add_test(test_layoutfile SOURCES ${D}/test_layoutfile.cpp LIBS qy_panel)
qy_add_test(test_layoutcodec SOURCES ${D}/test_layoutcodec.cpp LIBS qy_panel)
qy_add_test(test_defaultgroups SOURCES ${D}/test_defaultgroups.cpp LIBS qy_panel)
