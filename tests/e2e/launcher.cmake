qv_wine_test(launcher_e2e E2E SERIAL TIMEOUT 600
  WINE32 "LauncherE2e.SplashHidesAtFourAndTheProgramEndsAfterThreeWithoutMessage:LauncherE2e.CodeOneShowsTheErrorBoxAndTheProgramEnds:LauncherE2e.SecondBackupEndsAtOnceWhileARestoreRunsBeside:LauncherE2e.NoWindowShowsEachFlavoursTimeoutMessage"
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/launcher/LauncherE2eTest.cpp
  LIBS qvcommon
  DEPENDS QuorvelBkp QuorvelRst fakejvm)
if(TARGET launcher_e2e)
  target_include_directories(launcher_e2e PRIVATE ${PROJECT_SOURCE_DIR}/tests/support/fakejvm)
endif()
if(TEST launcher_e2e)
  # The launchers again with Wine answering as Windows 98: the shipped ones run through, and
  # the mutex name does not follow the version a compatibility mode reports.
  if(QV_PROGRAMS_DIR)
    set(win98_filter LauncherE2e.SplashHidesAtFourAndTheProgramEndsAfterThreeWithoutMessage)
  else()
    set(win98_filter LauncherE2e.SecondBackupEndsAtOnceWhileARestoreRunsBeside)
  endif()
  qv_filtered_test(launcher_e2e_win98 launcher_e2e ${win98_filter})
  set_tests_properties(launcher_e2e_win98 PROPERTIES LABELS e2e TIMEOUT 600 RUN_SERIAL TRUE
    ENVIRONMENT QV_E2E_WINDOWS_VERSION=win98)
endif()
