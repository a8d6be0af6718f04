# Helpers for the manager's end-to-end tests: a driver that runs a program as its debugger to
# read its debug trace, and a stand-in browser that records that it was started.
if(WIN32)
  add_library(qvmanagertestsupport STATIC ${CMAKE_CURRENT_LIST_DIR}/manager/TracedProcess.cpp)
  target_include_directories(qvmanagertestsupport PUBLIC ${CMAKE_CURRENT_LIST_DIR}/manager)
  target_link_libraries(qvmanagertestsupport PUBLIC kernel32)
  add_executable(qvfakebrowser WIN32 ${CMAKE_CURRENT_LIST_DIR}/manager/FakeBrowser.cpp)
endif()
if(WIN32)
  # Plays the demo's user (scripts/demo.sh); not a test.
  add_executable(qvdemodriver ${CMAKE_CURRENT_LIST_DIR}/manager/DemoDriver.cpp)
  target_link_libraries(qvdemodriver PRIVATE gdi32 user32)
endif()
if(TARGET qvmanagertestsupport AND QV_TRACE_MONITOR)
  target_compile_definitions(qvmanagertestsupport PUBLIC QV_TRACE_MONITOR)
endif()
