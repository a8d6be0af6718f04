qv_unit_test(journal_format_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/journal/JournalFormatTest.cpp LIBS qvmanager)
if(TARGET journal_format_tests)
  target_include_directories(journal_format_tests PRIVATE ${PROJECT_SOURCE_DIR}/tests/support/journal)
endif()
qv_fuzz_target(journal_line_fuzz SECONDS 20
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/journal/JournalLineFuzz.cpp ${PROJECT_SOURCE_DIR}/manager/recovery/JournalFormat.cpp
  INCLUDES ${PROJECT_SOURCE_DIR}/manager/recovery)
