set(D ${CMAKE_CURRENT_LIST_DIR})
qy_add_test(test_paths SOURCES ${D}/test_paths.cpp LIBS qy_app)
