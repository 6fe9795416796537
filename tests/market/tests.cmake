set(D ${CMAKE_CURRENT_LIST_DIR})
qy_add_test(test_marketcatalogue SOURCES ${D}/test_marketcatalogue.cpp LIBS qy_market)
qy_add_test(test_packagecache SOURCES ${D}/test_packagecache.cpp LIBS qy_market)
# Runs the extraction command under pwsh: a few seconds per archive.
qy_add_test(test_packageextract SOURCES ${D}/test_packageextract.cpp ${D}/zipfixture.cpp ${D}/zipfixture.h
  LIBS qy_market TIMEOUT 600)
qy_add_test(test_appmarket SOURCES ${D}/test_appmarket.cpp ${D}/zipfixture.cpp ${D}/zipfixture.h
  LIBS qy_market TIMEOUT 600)
qy_add_test(test_marketwindow SOURCES ${D}/test_marketwindow.cpp LIBS qy_market)
qy_add_test(test_mainwindow_market SOURCES ${D}/test_mainwindow_market.cpp LIBS qy_panel)
