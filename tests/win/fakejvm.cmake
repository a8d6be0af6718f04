if(WIN32)
  qv_wine_test(fakejvm_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/fakejvm/FakeJvmTest.cpp LIBS qvcommon DEPENDS fakejvm)
  target_include_directories(fakejvm_tests PRIVATE ${PROJECT_SOURCE_DIR}/tests/support/fakejvm)
endif()
