# The message box is found by its caption "Quorvel", which other programs may show too: serial.
set(stop_e2e_support ${PROJECT_SOURCE_DIR}/tests/support/stop/StopE2eSupport.cpp)
qv_wine_test(stop_e2e E2E SERIAL TIMEOUT 300
  WINE32 "StopTool.ConfirmsStopWhenJavaEnds:StopTool.StampLineIsUtcTimeWithCrLf:StopTool.JavaOfAnotherFolderIsNotWaitedFor"
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/stopToolTest.cpp ${stop_e2e_support}
  LIBS ws2_32 version
  DEPENDS StopQuorvel qvstopfakejava)
qv_wine_test(stop_slow_e2e E2E TIMEOUT 300
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/stopSlowTest.cpp ${stop_e2e_support}
  LIBS ws2_32
  DEPENDS StopQuorvel qvstopfakejava)
if(TARGET stop_e2e)
  target_include_directories(stop_e2e PRIVATE ${PROJECT_SOURCE_DIR}/tests/support/stop)
endif()
if(TARGET stop_slow_e2e)
  target_include_directories(stop_slow_e2e PRIVATE ${PROJECT_SOURCE_DIR}/tests/support/stop)
endif()
if(TEST stop_e2e)
  # Local time seven hours off UTC, so the stamp's use of UTC is visible.
  set_tests_properties(stop_e2e PROPERTIES ENVIRONMENT "TZ=QVT-7")
endif()
