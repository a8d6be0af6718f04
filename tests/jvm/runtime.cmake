qv_jvm_test(runtime_library_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/RuntimeLibraryTest.cpp LIBS qvcommon)
