# The dialog layer, the two dialog templates and the About box, with the manager's resources.
qv_wine_test(dialog_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/dialog_test.cpp ${PROJECT_SOURCE_DIR}/manager/shell/res/manager.rc
  LIBS qvmanager)
if(TARGET dialog_tests)
  target_include_directories(dialog_tests PRIVATE ${PROJECT_SOURCE_DIR}/manager/shell/res)
endif()
