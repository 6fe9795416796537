set(D ${CMAKE_CURRENT_LIST_DIR})
# The media layer: the colour converter, the segment writers read back by
# ffprobe, the video background, all through the module as the program loads
# it, and the program without the module.
set(QY_MEDIA_PROBE ${D}/../platform/mediaprobe.cpp ${D}/../platform/mediaprobe.h)
qy_add_test(test_nv12 SOURCES ${D}/test_nv12.cpp ${PROJECT_SOURCE_DIR}/src/media/nv12.cpp)
qy_add_test(test_recordingwriters SOURCES ${D}/test_recordingwriters.cpp ${QY_MEDIA_PROBE} LIBS qy_media)
qy_add_test(test_videobackground SOURCES ${D}/test_videobackground.cpp ${D}/../support/videoclips.cpp
  LIBS qy_media PkgConfig::AVDEPS)
qy_add_test(test_mediamodule SOURCES ${D}/test_mediamodule.cpp ${D}/../support/videoclips.cpp ${QY_MEDIA_PROBE}
  LIBS qy_media qy_protect PkgConfig::AVDEPS)
