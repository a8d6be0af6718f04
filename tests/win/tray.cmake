# The manager's own resources (icons, menu) are linked into the test so that the icon class
# finds them in its module as it does in quorvel9x.exe.
qv_wine_test(tray_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/tray_test.cpp ${PROJECT_SOURCE_DIR}/manager/shell/res/manager.rc
  LIBS qvmanager SERIAL)
if(TARGET tray_tests)
  target_include_directories(tray_tests PRIVATE ${PROJECT_SOURCE_DIR}/manager/shell/res)
endif()
