qv_wine_test(launcher_e2e E2E SERIAL TIMEOUT 600
  WINE32 "LauncherE2e.SplashHidesAtFourAndTheProgramEndsAfterThreeWithoutMessage:LauncherE2e.CodeOneShowsTheErrorBoxAndTheProgramEnds:LauncherE2e.SecondBackupEndsAtOnceWhileARestoreRunsBeside:LauncherE2e.NoWindowShowsEachFlavoursTimeoutMessage"
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/launcher/LauncherE2eTest.cpp
  LIBS qvcommon
  DEPENDS QuorvelBkp QuorvelRst fakejvm)
if(TARGET launcher_e2e)
  target_include_directories(launcher_e2e PRIVATE ${PROJECT_SOURCE_DIR}/tests/support/fakejvm)
endif()
if(TEST launcher_e2e AND QV_PROGRAMS_DIR)
  # The shipped launchers again with Wine answering as Windows 98.
  qv_filtered_test(launcher_e2e_win98 launcher_e2e
    LauncherE2e.SplashHidesAtFourAndTheProgramEndsAfterThreeWithoutMessage)
  set_tests_properties(launcher_e2e_win98 PROPERTIES LABELS e2e TIMEOUT 600 RUN_SERIAL TRUE
    ENVIRONMENT QV_E2E_WINDOWS_VERSION=win98)
endif()
