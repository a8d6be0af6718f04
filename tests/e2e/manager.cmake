# quorvel9x.exe driven from outside with the stand-in runtime and browser. The tests share the
# parameters key, the window title and the notification area: serial.
qv_wine_test(manager_e2e E2E SERIAL TIMEOUT 900
  WINE32 "ManagerE2e.StartSequenceRunsInOrderBeforeTheFirstPoll:ManagerE2e.StatusesMoveTheBarAndAnnounceTheStart:ManagerE2e.BrowserButtonOpensTheSiteAndHidesTheDialog:ManagerE2e.EncerrarResetsTheBarRunsTheStopClassAndStatus6Ends:ManagerE2e.SecondStartShowsTheHiddenDialogAndEndsTouchingNothing:ManagerE2e.SystemExitEndsTheManagerWithItsCode"
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/manager_test.cpp
  LIBS qvmanagertestsupport
  DEPENDS quorvel9x fakejvm qvfakebrowser)
if(TARGET manager_e2e)
  target_include_directories(manager_e2e PRIVATE ${PROJECT_SOURCE_DIR}/tests/support/fakejvm
    ${PROJECT_SOURCE_DIR}/manager/shell)
endif()
if(TEST manager_e2e)
  # The manager's notification calls, as Wine traces them, for the checks that the icon went.
  set_tests_properties(manager_e2e PROPERTIES ENVIRONMENT "QV_WINE_STDERR=${CMAKE_CURRENT_BINARY_DIR}/manager_e2e.stderr")
endif()
