qv_unit_test(launcher_unit_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/launcher/StatusPollTest.cpp ${CMAKE_CURRENT_LIST_DIR}/launcher/LauncherCoreTest.cpp
          ${CMAKE_CURRENT_LIST_DIR}/launcher/JavaLaunchTest.cpp ${CMAKE_CURRENT_LIST_DIR}/launcher/ClassFileTest.cpp
  LIBS qvlauncher_Bkp)
if(TARGET launcher_unit_tests)
  add_dependencies(launcher_unit_tests launcher_control_class)
  target_compile_definitions(launcher_unit_tests PRIVATE QV_LAUNCHER_CLASS="${LAUNCHER_CLASS_FILE}")
endif()
qv_unit_test(launcher_restore_unit_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/launcher/FlavourTest.cpp
  LIBS qvlauncher_Rst)
