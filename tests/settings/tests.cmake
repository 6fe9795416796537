set(D ${CMAKE_CURRENT_LIST_DIR})
qy_add_test(test_valuewidgets SOURCES ${D}/test_valuewidgets.cpp LIBS qy_settings)
qy_add_test(test_settingslayout SOURCES ${D}/test_settingslayout.cpp LIBS qy_settings)
qy_add_test(test_settingsdialog SOURCES ${D}/test_settingsdialog.cpp ${D}/fakeprompts.h LIBS qy_settings)
# Snapshots and restores through real pwsh on the live window.
qy_add_test(test_settings_mainwindow SOURCES ${D}/test_settings_mainwindow.cpp ${D}/fakeprompts.h LIBS qy_panel TIMEOUT 900)
# Real pwsh runs; pwsh takes seconds to start on a busy machine.
qy_add_test(test_settingsbackup SOURCES ${D}/test_settingsbackup.cpp ${D}/fakeprompts.h LIBS qy_settings TIMEOUT 1200)
qy_add_test(test_settingsprotect SOURCES ${D}/test_settingsprotect.cpp ${D}/fakeprompts.h LIBS qy_settings)
qy_add_test(test_settingsabout SOURCES ${D}/test_settingsabout.cpp ${D}/fakeprompts.h LIBS qy_settings)
qy_add_test(test_settingstexts SOURCES ${D}/test_settingstexts.cpp LIBS qy_settings)
