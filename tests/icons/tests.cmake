# The icon service: caches, extraction chain, shell place drops, probe mode.
set(D ${CMAKE_CURRENT_LIST_DIR})
set(QY_ICON_TEST_SOURCES ${D}/../support/iconfixtures.cpp ${D}/../support/iconfixtures.h ${D}/themefixture.h
    $<TARGET_OBJECTS:qy_resources>)
qy_add_test(test_iconservice SOURCES ${D}/test_iconservice.cpp ${QY_ICON_TEST_SOURCES} LIBS qy_icons)
qy_add_test(test_iconextract SOURCES ${D}/test_iconextract.cpp ${QY_ICON_TEST_SOURCES} LIBS qy_icons)
qy_add_test(test_iconprobe SOURCES ${D}/test_iconprobe.cpp ${QY_ICON_TEST_SOURCES} LIBS qy_icons X11)
