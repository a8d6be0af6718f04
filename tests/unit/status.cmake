qv_unit_test(status_table_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/status_table_test.cpp ${CMAKE_CURRENT_LIST_DIR}/life_table_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/status_trace_test.cpp LIBS qvmanager)
