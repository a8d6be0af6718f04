# Build helpers shared by every folder.
#
# Source convention: in a product folder every *.cpp is compiled; files ending in _win.cpp only
# for Windows, files ending in _posix.cpp only natively; entry_win.cpp holds a program's entry
# and goes into the executable, not the folder's library.

option(QV_DIST_CHECK "Check the built programs' PE format and imports as a test" OFF)
option(QV_SANITIZE "Build native code with AddressSanitizer and UBSan" OFF)
set(QV_PROGRAMS_DIR "" CACHE PATH
  "Folder of the shipped programs the end-to-end tests run (empty: the ones built beside them)")
option(QV_TRACE_MONITOR "End-to-end tests read the manager's trace as a debug monitor, not as its debugger" OFF)
if(QV_SANITIZE AND NOT WIN32)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

if(WIN32)
  set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
endif()

# The Java development kit: jni.h for both targets, libjvm and the compilers for native tests.
function(qv_find_jdk)
  set(candidates "$ENV{QV_JDK_HOME}" /usr/lib/jvm/java-17-openjdk-amd64 /usr/lib/jvm/java-17-openjdk-i386)
  foreach(c IN LISTS candidates)
    if(c AND EXISTS "${c}/include/jni.h")
      set(QV_JDK_HOME "${c}" CACHE PATH "JDK used for jni.h and the native Java tests")
      break()
    endif()
  endforeach()
  if(NOT QV_JDK_HOME)
    message(FATAL_ERROR "No JDK 17 with include/jni.h found (run scripts/bootstrap.sh)")
  endif()
  set(QV_LIBJVM "${QV_JDK_HOME}/lib/server/libjvm.so" CACHE FILEPATH "libjvm loaded by the native Java tests")
  find_program(QV_JAVAC javac HINTS "${QV_JDK_HOME}/bin" NO_DEFAULT_PATH)
  find_program(QV_ECJ ecj)
endfunction()

# Collects a product folder's sources by the naming convention above.
function(qv_collect_sources out dir)
  file(GLOB all CONFIGURE_DEPENDS "${dir}/*.cpp")
  set(result)
  foreach(f IN LISTS all)
    get_filename_component(n "${f}" NAME)
    if(n STREQUAL "entry_win.cpp")
      continue()
    endif()
    if(n MATCHES "_win\\.cpp$" AND NOT WIN32)
      continue()
    endif()
    if(n MATCHES "_posix\\.cpp$" AND WIN32)
      continue()
    endif()
    list(APPEND result "${f}")
  endforeach()
  set(${out} ${result} PARENT_SCOPE)
endfunction()

# A Unix path as a Windows program under Wine sees it (the Z: drive maps /).
function(qv_wine_path out path)
  string(REPLACE "/" "\\" p "${path}")
  set(${out} "Z:${p}" PARENT_SCOPE)
endfunction()

# JNI headers: the installed jni.h, with our own jni_md.h for 32-bit Windows.
function(qv_use_jni target)
  if(WIN32)
    target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR}/common/jni/win32)
    target_include_directories(${target} SYSTEM PUBLIC ${QV_JDK_HOME}/include)
  else()
    target_include_directories(${target} SYSTEM PUBLIC ${QV_JDK_HOME}/include ${QV_JDK_HOME}/include/linux)
  endif()
endfunction()

# Compiles Java sources to class files at build time with ecj (class format 48.0 for 1.4).
#   qv_java_classes(target OUTDIR dir SOURCES a.java ... [CLASSPATH cp] [RELEASE 1.4|17])
function(qv_java_classes target)
  cmake_parse_arguments(A "" "OUTDIR;CLASSPATH;RELEASE" "SOURCES" ${ARGN})
  if(NOT A_RELEASE)
    set(A_RELEASE 1.4)
  endif()
  set(stamp "${CMAKE_CURRENT_BINARY_DIR}/${target}.stamp")
  set(cp_args)
  if(A_CLASSPATH)
    set(cp_args -cp "${A_CLASSPATH}")
  endif()
  if(A_RELEASE STREQUAL "1.4")
    set(compile ${QV_ECJ} -1.4 -source 1.4 -target 1.4 -g -nowarn ${cp_args} -d "${A_OUTDIR}" ${A_SOURCES})
  else()
    set(compile ${QV_JAVAC} --release ${A_RELEASE} -g -nowarn ${cp_args} -d "${A_OUTDIR}" ${A_SOURCES})
  endif()
  add_custom_command(OUTPUT "${stamp}"
    COMMAND ${CMAKE_COMMAND} -E make_directory "${A_OUTDIR}"
    COMMAND ${compile}
    COMMAND ${CMAKE_COMMAND} -E touch "${stamp}"
    DEPENDS ${A_SOURCES}
    COMMENT "Compiling Java classes for ${target}"
    VERBATIM)
  add_custom_target(${target} ALL DEPENDS "${stamp}")
endfunction()

function(_qv_gtest_exe name)
  cmake_parse_arguments(A "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE ${A_LIBS} gtest gmock gtest_main)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
endfunction()

# Layer 1: native unit test.   qv_unit_test(name SOURCES ... LIBS ...)
function(qv_unit_test name)
  if(WIN32)
    return()
  endif()
  _qv_gtest_exe(${name} ${ARGN})
  gtest_discover_tests(${name} TEST_PREFIX "${name}." PROPERTIES LABELS unit TIMEOUT 300)
endfunction()

# Layer 2: native test against the real Java runtime.
#   qv_jvm_test(name SOURCES ... LIBS ... [DEPENDS targets] [TIMEOUT s] [SERIAL])
# The test gets QV_LIBJVM (path of libjvm.so) and QV_TEST_BIN (its build folder) as definitions.
function(qv_jvm_test name)
  if(WIN32 OR QV_SANITIZE)
    return()
  endif()
  cmake_parse_arguments(A "SERIAL" "TIMEOUT" "SOURCES;LIBS;DEPENDS" ${ARGN})
  _qv_gtest_exe(${name} SOURCES ${A_SOURCES} LIBS ${A_LIBS})
  target_compile_definitions(${name} PRIVATE QV_LIBJVM="${QV_LIBJVM}" QV_TEST_BIN="${CMAKE_CURRENT_BINARY_DIR}")
  if(A_DEPENDS)
    add_dependencies(${name} ${A_DEPENDS})
  endif()
  if(NOT A_TIMEOUT)
    set(A_TIMEOUT 600)
  endif()
  target_link_libraries(${name} PRIVATE qvjvmtestsupport)
  # One process per test case: a process can create only one Java virtual machine.
  set(props LABELS jvm TIMEOUT ${A_TIMEOUT})
  if(A_SERIAL)
    list(APPEND props RUN_SERIAL TRUE)
  endif()
  gtest_discover_tests(${name} TEST_PREFIX "${name}." DISCOVERY_TIMEOUT 60 PROPERTIES ${props})
endfunction()

# A run of a GoogleTest program limited to the tests a filter names, which fails when fewer ran:
# GoogleTest passes when a filter matches nothing, so a renamed test would drop out unseen. The
# filter names whole tests (no wildcards, no exclusions), so their number is the count to run.
#   qv_filtered_test(name target filter)
function(qv_filtered_test name target filter)
  string(REPLACE ":" ";" names "${filter}")
  foreach(n IN LISTS names)
    if(NOT n MATCHES "^[A-Za-z0-9_]+\\.[A-Za-z0-9_]+$")
      message(FATAL_ERROR "${name}: the filter must name whole tests, not '${n}'")
    endif()
  endforeach()
  list(REMOVE_DUPLICATES names)
  list(LENGTH names count)
  add_test(NAME ${name} COMMAND ${PROJECT_SOURCE_DIR}/cmake/gtest-counted.sh ${count}
    ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:${target}> "--gtest_filter=${filter}")
endfunction()

# Layers 3 and 4: Windows tests under Wine (run through the emulator wrapper).
#   qv_wine_test(name SOURCES ... LIBS ... [DEPENDS targets] [SERIAL] [TIMEOUT s] [E2E]
#                [WINE32 gtest-filter])
# QV_BIN_WIN is the Windows path of the folder holding the built programs and test helpers.
# With QV_PROGRAMS_DIR (the 32-bit layer) only tests with a WINE32 filter exist, run on the
# programs of that folder: they depend on no program target and run only the filtered cases,
# every one of them (qv_filtered_test).
set(QV_SHIPPED_TARGETS quorvel9x QuorvelBkp QuorvelRst StopQuorvel)
function(qv_wine_test name)
  if(NOT WIN32)
    return()
  endif()
  cmake_parse_arguments(A "SERIAL;E2E" "TIMEOUT;WINE32" "SOURCES;LIBS;DEPENDS" ${ARGN})
  if(QV_PROGRAMS_DIR)
    if(NOT A_WINE32)
      return()
    endif()
    list(REMOVE_ITEM A_DEPENDS ${QV_SHIPPED_TARGETS})
    set_property(GLOBAL APPEND PROPERTY QV_WINE32_TESTS ${name})
  endif()
  _qv_gtest_exe(${name} SOURCES ${A_SOURCES} LIBS ${A_LIBS} qvtestsupport)
  qv_wine_path(binwin "${CMAKE_RUNTIME_OUTPUT_DIRECTORY}")
  string(REPLACE "\\" "\\\\" binwin_c "${binwin}")
  target_compile_definitions(${name} PRIVATE "QV_BIN_WIN=\"${binwin_c}\"")
  if(A_DEPENDS)
    add_dependencies(${name} ${A_DEPENDS})
  endif()
  if(NOT A_TIMEOUT)
    set(A_TIMEOUT 600)
  endif()
  set(label win)
  if(A_E2E)
    set(label e2e)
  endif()
  if(QV_PROGRAMS_DIR)
    qv_filtered_test(${name} ${name} "${A_WINE32}")
  else()
    add_test(NAME ${name} COMMAND ${name})
  endif()
  set_tests_properties(${name} PROPERTIES LABELS ${label} TIMEOUT ${A_TIMEOUT})
  if(A_SERIAL)
    set_tests_properties(${name} PROPERTIES RUN_SERIAL TRUE)
  endif()
endfunction()

# A libFuzzer target built with clang (the native build itself uses g++), run by ctest for a
# bounded time.   qv_fuzz_target(name SOURCES a.cpp ... [INCLUDES dirs] [SECONDS n])
# SOURCES are the fuzz entry file plus the product sources it needs (platform-neutral only).
find_program(QV_CLANGXX clang++)
function(qv_fuzz_target name)
  if(WIN32 OR QV_SANITIZE OR NOT QV_CLANGXX)
    return()
  endif()
  cmake_parse_arguments(A "" "SECONDS" "SOURCES;INCLUDES" ${ARGN})
  if(NOT A_SECONDS)
    set(A_SECONDS 20)
  endif()
  set(out "${CMAKE_CURRENT_BINARY_DIR}/${name}")
  set(inc)
  foreach(d IN LISTS A_INCLUDES)
    list(APPEND inc "-I${d}")
  endforeach()
  add_custom_command(OUTPUT "${out}"
    COMMAND ${QV_CLANGXX} -std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined ${inc} ${A_SOURCES} -o "${out}"
    DEPENDS ${A_SOURCES}
    COMMENT "Building fuzz target ${name}"
    VERBATIM)
  add_custom_target(${name}_build ALL DEPENDS "${out}")
  set(corpus "${CMAKE_CURRENT_BINARY_DIR}/${name}_corpus")
  add_test(NAME ${name}
    COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=1
            sh -c "mkdir -p '${corpus}' && exec '${out}' -max_total_time=${A_SECONDS} -rss_limit_mb=2048 '${corpus}'")
  set_tests_properties(${name} PROPERTIES LABELS fuzz TIMEOUT 300)
endfunction()

# A shipped program: the wide-character imports of the runtime bound to our "A" forms on 32
# bits, and a link map beside it that tells the dist check whose code each instruction is.
function(qv_program target)
  qv_link_win9x_runtime(${target})
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    target_link_options(${target} PRIVATE "-Wl,-Map=${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/${target}.map")
  endif()
  # Linked again when scripts/i586-runtime.sh has built the runtime anew (its key is rewritten).
  if(QV_I586_RUNTIME)
    get_filename_component(key "${QV_I586_RUNTIME}/../key" ABSOLUTE)
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS "${key}")
  endif()
endfunction()
