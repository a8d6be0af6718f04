qv_wine_test(logwriter_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/logwriter/LogWriterTest.cpp LIBS qvcommon
  DEPENDS qv_file_holder)
if(WIN32)
  target_include_directories(logwriter_tests PRIVATE ${PROJECT_SOURCE_DIR}/tests/support/journal)
endif()
