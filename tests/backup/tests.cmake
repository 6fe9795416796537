set(D ${CMAKE_CURRENT_LIST_DIR})
qy_add_test(test_backupengine SOURCES ${D}/test_backupengine.cpp LIBS qy_backup)
# Real pwsh runs; pwsh takes seconds to start on a busy machine.
qy_add_test(test_backuprun SOURCES ${D}/test_backuprun.cpp LIBS qy_backup TIMEOUT 1200)
