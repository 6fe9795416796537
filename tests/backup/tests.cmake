set(D ${CMAKE_CURRENT_LIST_DIR})
qy_add_test(test_backupengine SOURCES ${D}/test_backupengine.cpp LIBS qy_backup)
# Real pwsh runs; pwsh takes seconds to start on a busy machine.
qy_add_test(test_backuprun SOURCES ${D}/test_backuprun.cpp LIBS qy_backup TIMEOUT 1200)
qy_add_test(test_snapshotentries SOURCES ${D}/test_snapshotentries.cpp LIBS qy_backup TIMEOUT 600)
qy_add_test(test_backupprogress SOURCES ${D}/test_backupprogress.cpp LIBS qy_backup)
qy_add_test(test_backupoperation SOURCES ${D}/test_backupoperation.cpp LIBS qy_backup)
qy_add_test(test_logexport SOURCES ${D}/test_logexport.cpp LIBS qy_backup)
qy_add_test(test_userdata SOURCES ${D}/test_userdata.cpp LIBS qy_backup)
qy_add_test(test_maintenancescripts SOURCES ${D}/test_maintenancescripts.cpp LIBS qy_backup)
qy_add_test(test_mainwindow_backup SOURCES ${D}/test_mainwindow_backup.cpp LIBS qy_panel TIMEOUT 900)

# The sandbox tests copy this panel stand-in and run it as the program.
add_executable(qy_maintenance_driver ${D}/maintenance_driver.cpp)
target_link_libraries(qy_maintenance_driver PRIVATE qy_main)
target_precompile_headers(qy_maintenance_driver REUSE_FROM qy_pch)
qy_add_test(test_maintenance_sandbox SOURCES ${D}/test_maintenance_sandbox.cpp LIBS qy_backup TIMEOUT 600)
add_dependencies(test_maintenance_sandbox qy_maintenance_driver)
