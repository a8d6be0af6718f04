qv_unit_test(launcher_unit_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/launcher/StatusPollTest.cpp ${CMAKE_CURRENT_LIST_DIR}/launcher/LauncherCoreTest.cpp
          ${CMAKE_CURRENT_LIST_DIR}/launcher/JavaLaunchTest.cpp
  LIBS qvlauncher_Bkp)
qv_unit_test(launcher_restore_unit_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/launcher/FlavourTest.cpp
  LIBS qvlauncher_Rst)
