# Helper programs of the launchers' Windows tests.
if(WIN32)
  add_executable(qvadminprobe ${CMAKE_CURRENT_LIST_DIR}/launcher/AdminProbe_win.cpp)
  target_link_libraries(qvadminprobe PRIVATE qvlauncher_Bkp)
endif()
