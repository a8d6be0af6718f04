qv_unit_test(javahost_unit_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/javahost/JvmOptionsTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/javahost/StepGuardTest.cpp
  LIBS qvmanager)
