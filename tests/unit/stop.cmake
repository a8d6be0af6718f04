qv_unit_test(stop_unit_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/stopFoldersTest.cpp ${CMAKE_CURRENT_LIST_DIR}/stopServerXmlTest.cpp
          ${CMAKE_CURRENT_LIST_DIR}/stopStampTest.cpp
  LIBS qvstop)
