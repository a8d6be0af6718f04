qv_wine_test(launcher_e2e E2E SERIAL TIMEOUT 600
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/launcher/LauncherE2eTest.cpp
  LIBS qvcommon
  DEPENDS QuorvelBkp QuorvelRst fakejvm)
if(TARGET launcher_e2e)
  target_include_directories(launcher_e2e PRIVATE ${PROJECT_SOURCE_DIR}/tests/support/fakejvm)
endif()
