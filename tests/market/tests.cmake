include(${CMAKE_CURRENT_LIST_DIR}/updater_tests.cmake OPTIONAL)
include(${CMAKE_CURRENT_LIST_DIR}/store_tests.cmake OPTIONAL)
