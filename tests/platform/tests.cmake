set(D ${CMAKE_CURRENT_LIST_DIR})
qy_add_test(test_volumes SOURCES ${D}/test_volumes.cpp LIBS qy_platform)
qy_add_test(test_applicationfinder SOURCES ${D}/test_applicationfinder.cpp LIBS qy_platform)
qy_add_test(test_platformservices SOURCES ${D}/test_platformservices.cpp LIBS qy_platform)
qy_add_test(test_privatefolder SOURCES ${D}/test_privatefolder.cpp LIBS qy_platform)
qy_add_test(test_x11windowsystem SOURCES ${D}/test_x11windowsystem.cpp LIBS qy_platform X11)
# Readers of program icons and shell links, and the shell places resolver.
set(QY_ICON_FIXTURES ${D}/../support/iconfixtures.cpp ${D}/../support/iconfixtures.h)
qy_add_test(test_peicons SOURCES ${D}/test_peicons.cpp ${QY_ICON_FIXTURES} LIBS qy_platform)
qy_add_test(test_shelllink SOURCES ${D}/test_shelllink.cpp ${QY_ICON_FIXTURES} LIBS qy_platform)

# The readers of untrusted bytes once more, built alone with AddressSanitizer
# and UBSan, run over a fixed set of damaged inputs. Only these two sources
# get the sanitizer flags, so the rest of the build keeps its speed.
add_library(qy_readers_sanitized STATIC
  ${PROJECT_SOURCE_DIR}/src/platform/peicons.cpp ${PROJECT_SOURCE_DIR}/src/platform/shelllink.cpp)
target_link_libraries(qy_readers_sanitized PUBLIC qy_common)
target_compile_options(qy_readers_sanitized PRIVATE
  -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
# The library's checked accessors: reading an empty std::optional aborts.
target_compile_definitions(qy_readers_sanitized PRIVATE _GLIBCXX_ASSERTIONS)
target_link_options(qy_readers_sanitized INTERFACE -fsanitize=address,undefined)
qy_add_test(test_readers_corpus SOURCES ${D}/test_readers_corpus.cpp ${QY_ICON_FIXTURES}
  ${D}/../support/readercorpus.cpp ${D}/../support/readercorpus.h
  LIBS qy_readers_sanitized ENV "ASAN_OPTIONS=detect_leaks=0:abort_on_error=1;UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
qy_add_test(test_shellplaces SOURCES ${D}/test_shellplaces.cpp LIBS qy_platform)
qy_add_test(test_desktopentry SOURCES ${D}/test_desktopentry.cpp LIBS qy_platform)
qy_add_test(test_launcherplan SOURCES ${D}/test_launcherplan.cpp LIBS qy_platform)
qy_add_test(test_launcher SOURCES ${D}/test_launcher.cpp LIBS qy_platform)
# Screen recording: the capture and input watch on the real X server.
qy_add_test(test_screencapture_x11 SOURCES ${D}/test_screencapture_x11.cpp LIBS qy_platform X11)
qy_add_test(test_inputactivity_x11 SOURCES ${D}/test_inputactivity_x11.cpp LIBS qy_platform X11)
qy_add_test(test_platform_processmemory SOURCES ${D}/test_processmemory.cpp LIBS qy_platform)
