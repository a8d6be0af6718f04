# Stand-in for the installation's Java runtime process, driven by the stop tool's end-to-end tests.
if(WIN32)
  add_executable(qvstopfakejava ${CMAKE_CURRENT_LIST_DIR}/stop/FakeJava.cpp)
  target_link_libraries(qvstopfakejava PRIVATE ws2_32)
endif()
