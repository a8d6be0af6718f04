# The launcher's Java side on the real runtime, with stand-ins for the application's classes.
if(NOT WIN32 AND NOT QV_SANITIZE)
  set(_lc_java ${PROJECT_SOURCE_DIR}/tests/support/java/launcher)
  qv_java_classes(launcher_fixtures
    OUTDIR ${CMAKE_CURRENT_BINARY_DIR}/launcher-fixtures
    RELEASE 17
    SOURCES
      ${_lc_java}/halvane/nerel/commonLib/integrador/backup/Launcher.java
      ${_lc_java}/halvane/nerel/commonLib/integrador/backup/JBackup.java
      ${_lc_java}/fixture/ArgsRecorder.java)
endif()

qv_jvm_test(launcher_runtime_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/launcher/LauncherRuntimeTest.cpp
  LIBS qvlauncher_Bkp
  DEPENDS launcher_fixtures launcher_control_class
  TIMEOUT 180)
if(TARGET launcher_runtime_tests)
  target_include_directories(launcher_runtime_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/launcher)
  target_compile_definitions(launcher_runtime_tests PRIVATE
    QV_LAUNCHER_CLASS="${LAUNCHER_CLASS_FILE}"
    QV_LAUNCHER_FIXTURES="${CMAKE_CURRENT_BINARY_DIR}/launcher-fixtures")
endif()
