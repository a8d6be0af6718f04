qv_unit_test(registry_data_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/RegistryDataTest.cpp LIBS qvcommon)
