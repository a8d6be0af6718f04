qv_wine_test(parameters_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/ParametersTest.cpp LIBS qvcommon SERIAL)
qv_wine_test(codepage_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/CodePageTest.cpp
  ${PROJECT_SOURCE_DIR}/win9x/WideImports.cpp LIBS qvcommon DEPENDS QuorvelBkp QuorvelRst)
if(TARGET codepage_tests)
  target_include_directories(codepage_tests PRIVATE ${PROJECT_SOURCE_DIR}/win9x)
endif()
