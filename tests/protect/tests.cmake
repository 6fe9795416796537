set(D ${CMAKE_CURRENT_LIST_DIR})
qy_add_test(test_passwordhash SOURCES ${D}/test_passwordhash.cpp LIBS qy_protect)
qy_add_test(test_passwordguard SOURCES ${D}/test_passwordguard.cpp LIBS qy_protect)
qy_add_test(test_lockdialog SOURCES ${D}/test_lockdialog.cpp LIBS qy_protect)
qy_add_test(test_uilockoverlay SOURCES ${D}/test_uilockoverlay.cpp LIBS qy_protect)
# The screen monitor on fakes of the screen, the user and the disk, and the
# monitor button of the main window.
qy_add_test(test_screenmonitor SOURCES ${D}/test_screenmonitor.cpp ${D}/monitorfakes.h
  ${D}/../platform/mediaprobe.cpp ${D}/../platform/mediaprobe.h LIBS qy_protect)
qy_add_test(test_screenmonitor_x11 SOURCES ${D}/test_screenmonitor_x11.cpp
  ${D}/../platform/mediaprobe.cpp ${D}/../platform/mediaprobe.h LIBS qy_protect X11)
qy_add_test(test_monitorcontrol SOURCES ${D}/test_monitorcontrol.cpp LIBS qy_panel)
