qv_wine_test(journal_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/journal/JournalFileTest.cpp ${CMAKE_CURRENT_LIST_DIR}/journal/RestoreTest.cpp
  LIBS qvmanager DEPENDS qv_file_holder)
if(WIN32)
  target_include_directories(journal_tests PRIVATE ${PROJECT_SOURCE_DIR}/tests/support/journal)
endif()
# The restore benchmark's helper, built by scripts/bench-restore.sh.
if(WIN32)
  add_executable(qv_journal_bench EXCLUDE_FROM_ALL ${PROJECT_SOURCE_DIR}/tests/support/journal/JournalBench.cpp)
endif()
