set(D ${CMAKE_CURRENT_LIST_DIR})
qy_add_test(test_volumes SOURCES ${D}/test_volumes.cpp LIBS qy_platform)
qy_add_test(test_applicationfinder SOURCES ${D}/test_applicationfinder.cpp LIBS qy_platform)
