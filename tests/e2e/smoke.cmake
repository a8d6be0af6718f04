qv_wine_test(programs_start_e2e E2E SERIAL SOURCES ${CMAKE_CURRENT_LIST_DIR}/ProgramsStartTest.cpp
  DEPENDS quorvel9x QuorvelBkp QuorvelRst StopQuorvel)
