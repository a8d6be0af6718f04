qv_wine_test(parameters_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/ParametersTest.cpp LIBS qvcommon SERIAL)
qv_wine_test(codepage_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/CodePageTest.cpp LIBS qvcommon
  DEPENDS QuorvelBkp QuorvelRst)
