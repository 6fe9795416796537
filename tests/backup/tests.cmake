set(D ${CMAKE_CURRENT_LIST_DIR})
qy_add_test(test_backupengine SOURCES ${D}/test_backupengine.cpp LIBS qy_backup)
