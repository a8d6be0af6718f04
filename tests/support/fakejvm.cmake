# The stand-in jvm.dll for the Windows tests: built into bin/fakejre/ so it is never taken for
# one of the programs, and never shipped.
if(WIN32)
  add_library(fakejvm SHARED ${CMAKE_CURRENT_LIST_DIR}/fakejvm/FakeJvm.cpp)
  set_target_properties(fakejvm PROPERTIES
    OUTPUT_NAME jvm
    PREFIX ""
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/fakejre)
  qv_use_jni(fakejvm)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    # __stdcall exports would otherwise be decorated (JNI_CreateJavaVM@12).
    target_link_options(fakejvm PRIVATE -Wl,--kill-at)
  endif()
endif()
