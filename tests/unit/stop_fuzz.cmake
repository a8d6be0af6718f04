qv_fuzz_target(stop_server_xml_fuzz
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/stopServerXmlFuzz.cpp ${PROJECT_SOURCE_DIR}/stop/ServerXml.cpp
  INCLUDES ${PROJECT_SOURCE_DIR}/stop
  SECONDS 20)
