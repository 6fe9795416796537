set(D ${CMAKE_CURRENT_LIST_DIR})
qy_add_test(test_appearancerules SOURCES ${D}/test_appearancerules.cpp LIBS qy_model)
