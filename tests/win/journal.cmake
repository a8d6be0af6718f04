qv_wine_test(journal_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/journal/JournalFileTest.cpp ${CMAKE_CURRENT_LIST_DIR}/journal/RestoreTest.cpp
  LIBS qvmanager DEPENDS qv_file_holder)
if(WIN32)
  target_include_directories(journal_tests PRIVATE ${PROJECT_SOURCE_DIR}/tests/support/journal)
endif()
