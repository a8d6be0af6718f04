qv_wine_test(recovery_e2e E2E SERIAL TIMEOUT 600 WINE32 "Recovery.APendingUpdateIsUndoneAtStart:Recovery.AJournalThatCannotBeUndoneEndsTheProgramAndStays" SOURCES ${CMAKE_CURRENT_LIST_DIR}/recovery/RecoveryTest.cpp
  DEPENDS quorvel9x)
