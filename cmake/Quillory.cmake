# Shared build settings. Every project target links qy_common so that all of
# them see the same Qt modules, defines and flags; that is what lets one
# precompiled header serve every library and another serve every test.

add_library(qy_common INTERFACE)
target_link_libraries(qy_common INTERFACE
  Qt6::Core Qt6::Gui Qt6::Widgets Qt6::Network Qt6::Concurrent Qt6::DBus)
target_compile_options(qy_common INTERFACE -Wall -Wextra -Wpedantic -Wno-missing-field-initializers)
target_compile_definitions(qy_common INTERFACE
  QT_NO_KEYWORDS_FOR_SIGNALS_ONLY
  QT_USE_QSTRINGBUILDER)
target_include_directories(qy_common INTERFACE ${PROJECT_SOURCE_DIR}/src)
if(QY_SANITIZE)
  target_compile_options(qy_common INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer)
  target_link_options(qy_common INTERFACE -fsanitize=address,undefined)
endif()

set(QY_PCH_HEADERS
  <QtCore/QObject> <QtCore/QString> <QtCore/QStringList> <QtCore/QList>
  <QtCore/QHash> <QtCore/QMap> <QtCore/QVector> <QtCore/QByteArray>
  <QtCore/QJsonObject> <QtCore/QJsonArray> <QtCore/QJsonDocument>
  <QtCore/QFile> <QtCore/QFileInfo> <QtCore/QDir> <QtCore/QDebug>
  <QtCore/QTimer> <QtCore/QPointer> <QtGui/QImage> <QtGui/QPixmap>
  <QtGui/QPainter> <QtGui/QColor> <QtWidgets/QWidget>)

# The anchor every library reuses its precompiled header from.
add_library(qy_pch STATIC ${PROJECT_SOURCE_DIR}/cmake/pch_anchor.cpp)
target_link_libraries(qy_pch PUBLIC qy_common)
target_precompile_headers(qy_pch PRIVATE ${QY_PCH_HEADERS})

# qy_add_library(<name> SOURCES ... [DEPS ...])
function(qy_add_library name)
  cmake_parse_arguments(L "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${L_SOURCES})
  target_link_libraries(${name} PUBLIC qy_common ${L_DEPS})
  target_precompile_headers(${name} REUSE_FROM qy_pch)
endfunction()

set(QY_ISOLATE ${PROJECT_SOURCE_DIR}/tests/support/run-isolated.sh)

# qy_add_test(<name> SOURCES ... [LIBS ...] [X11])
# Every test runs through run-isolated.sh: its own HOME, XDG folders and
# TMPDIR, because the tests run as root and would otherwise write into the
# real system. X11 tests use the Xvfb the test command starts and share it
# one at a time, since window lookups walk every window on the server.
function(qy_add_test name)
  cmake_parse_arguments(T "X11" "TIMEOUT" "SOURCES;LIBS;ENV" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE qy_testsupport Qt6::Test ${T_LIBS})
  if(TARGET qy_testpch)
    target_precompile_headers(${name} REUSE_FROM qy_testpch)
  endif()
  if(T_X11)
    set(platform xcb)
  else()
    set(platform offscreen)
  endif()
  add_test(NAME ${name} COMMAND ${QY_ISOLATE} $<TARGET_FILE:${name}>)
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "QY_TEST_PLATFORM=${platform};QY_SOURCE_DIR=${PROJECT_SOURCE_DIR};QY_BUILD_DIR=${PROJECT_BINARY_DIR};${T_ENV}"
    SKIP_RETURN_CODE 77
    TIMEOUT ${T_TIMEOUT})
  if(T_X11)
    set_tests_properties(${name} PROPERTIES RESOURCE_LOCK xserver LABELS x11)
  endif()
endfunction()

# qy_add_bench(<name> SOURCES ... [LIBS ...])
function(qy_add_bench name)
  cmake_parse_arguments(B "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${B_SOURCES})
  target_link_libraries(${name} PRIVATE qy_common ${B_LIBS})
  target_precompile_headers(${name} REUSE_FROM qy_pch)
endfunction()
