# Readers of program icons and shell links, and the shell places resolver.
set(D ${CMAKE_CURRENT_LIST_DIR})
set(QY_ICON_FIXTURES ${D}/../support/iconfixtures.cpp ${D}/../support/iconfixtures.h)
qy_add_test(test_peicons SOURCES ${D}/test_peicons.cpp ${QY_ICON_FIXTURES} LIBS qy_platform)
qy_add_test(test_shelllink SOURCES ${D}/test_shelllink.cpp ${QY_ICON_FIXTURES} LIBS qy_platform)
