# Helper programs of the journal, log and file tests (tests/support/journal).
if(WIN32)
  add_executable(qv_file_holder ${PROJECT_SOURCE_DIR}/tests/support/journal/FileHolder.cpp)
endif()
qv_wine_test(fileutil_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/fileutil/FileUtilTest.cpp LIBS qvcommon
  DEPENDS qv_file_holder)
if(WIN32)
  target_include_directories(fileutil_tests PRIVATE ${PROJECT_SOURCE_DIR}/tests/support/journal)
endif()
