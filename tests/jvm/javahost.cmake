# Java fixtures standing in for the outside Java application (test-only, so Java 17).
if(NOT WIN32 AND NOT QV_SANITIZE)
  set(_jh_java ${PROJECT_SOURCE_DIR}/tests/support/java/manager)
  qv_java_classes(javahost_fixtures
    OUTDIR ${CMAKE_CURRENT_BINARY_DIR}/javahost-classes
    RELEASE 17
    SOURCES
      ${_jh_java}/halvane/nerel/commonLib/startup/StartQuorvel.java
      ${_jh_java}/fixture/Echo.java
      ${_jh_java}/fixture/Exits.java
      ${_jh_java}/fixture/Throws.java
      ${_jh_java}/fixture/NoMain.java
      ${_jh_java}/fixture/Blocks.java
      ${_jh_java}/fixture/SlowStop.java
      ${_jh_java}/fixture/app/StartServer.java
      ${_jh_java}/fixture/app/StopServer.java)
endif()

qv_jvm_test(javahost_jvmcalls_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/javahost/JvmCallsTest.cpp
  LIBS qvcommon
  DEPENDS javahost_fixtures)

qv_jvm_test(javahost_service_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/javahost/ServiceControllerTest.cpp
  LIBS qvmanager
  DEPENDS javahost_fixtures)
