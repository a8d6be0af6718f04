# The test program carries the backup launcher's resources, so its own module plays the
# launcher's (class file, splash bitmap, icon, strings).
qv_wine_test(launcher_win_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/launcher/LauncherWinTest.cpp ${PROJECT_SOURCE_DIR}/launcher/res/QuorvelBkp.rc
  LIBS qvlauncher_Bkp
  DEPENDS QuorvelBkp QuorvelRst qvadminprobe launcher_control_embed fakejvm)
if(TARGET launcher_win_tests)
  target_include_directories(launcher_win_tests PRIVATE ${PROJECT_SOURCE_DIR}/launcher/res
    ${PROJECT_BINARY_DIR}/launcher/embed ${PROJECT_SOURCE_DIR}/tests/support/fakejvm)
  qv_wine_path(class_win "${LAUNCHER_CLASS_FILE}")
  string(REPLACE "\\" "\\\\" class_win_c "${class_win}")
  target_compile_definitions(launcher_win_tests PRIVATE "QV_LAUNCHER_CLASS_WIN=\"${class_win_c}\"")
endif()
