if(WIN32)
  qv_wine_test(javahost_win_tests
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/javahost/ServiceControllerWinTest.cpp
    LIBS qvmanager
    DEPENDS fakejvm)
  target_include_directories(javahost_win_tests PRIVATE ${PROJECT_SOURCE_DIR}/tests/support/fakejvm)
endif()
