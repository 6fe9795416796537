set(D ${CMAKE_CURRENT_LIST_DIR})
qy_add_test(test_platformservices SOURCES ${D}/test_platformservices.cpp LIBS qy_platform)
qy_add_test(test_x11windowsystem SOURCES ${D}/test_x11windowsystem.cpp LIBS qy_platform X11)
