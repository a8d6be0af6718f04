qv_unit_test(tray_rules_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/tray_rules_test.cpp LIBS qvmanager)
