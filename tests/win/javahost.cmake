if(WIN32)
  qv_wine_test(javahost_win_tests
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/javahost/ServiceControllerWinTest.cpp
    LIBS qvmanager
    DEPENDS fakejvm)
  target_include_directories(javahost_win_tests PRIVATE ${PROJECT_SOURCE_DIR}/tests/support/fakejvm)
endif()
# The runtime words' benchmark, built by scripts/bench-runtime-words.sh.
if(WIN32)
  add_executable(qv_words_bench EXCLUDE_FROM_ALL ${PROJECT_SOURCE_DIR}/tests/support/javahost/WordsBench.cpp)
  target_link_libraries(qv_words_bench PRIVATE qvcommon)
endif()
