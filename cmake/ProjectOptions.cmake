# dvr_options: the C++ standard, warnings and Qt defines every project target uses.
add_library(dvr_options INTERFACE)
target_compile_features(dvr_options INTERFACE cxx_std_20)
target_compile_options(dvr_options INTERFACE
  -Wall -Wextra -Wpedantic -Werror
  $<$<CXX_COMPILER_ID:GNU>:-Wno-maybe-uninitialized>)
target_compile_definitions(dvr_options INTERFACE
  QT_NO_CAST_FROM_ASCII
  QT_NO_CONTEXTLESS_CONNECT
  QT_NO_KEYWORDS)
target_include_directories(dvr_options INTERFACE "${PROJECT_SOURCE_DIR}")

# dvr_add_test(NAME SOURCES... LIBS ... LABELS ...): one GoogleTest program,
# registered with CTest. Pure-core tests carry the label "core".
function(dvr_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE dvr_options GTest::gtest GTest::gtest_main ${T_LIBS})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/tests")
  if(NOT T_LABELS)
    set(T_LABELS core)
  endif()
  gtest_discover_tests(${name}
    PROPERTIES LABELS "${T_LABELS}"
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;SDL_AUDIODRIVER=dummy;DVR_BIN_DIR=${DVR_RUNTIME_DIR}"
    DISCOVERY_TIMEOUT 60)
endfunction()

# dvr_add_fuzzer(NAME SOURCES... LIBS ...): a libFuzzer target (clang only).
function(dvr_add_fuzzer name)
  cmake_parse_arguments(F "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${F_SOURCES})
  target_link_libraries(${name} PRIVATE dvr_options ${F_LIBS})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/fuzz")
endfunction()
