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

# Named groups of targets, each built by one custom target made at the end of the configure run:
# dvr_tests_<label> for the test programs of a label (the sanitizer trees build only the tests they
# run) and dvr_fuzzers for the libFuzzer targets.
function(_dvr_make_group_targets)
  get_property(_groups GLOBAL PROPERTY DVR_TARGET_GROUPS)
  foreach(_group IN LISTS _groups)
    get_property(_targets GLOBAL PROPERTY "DVR_GROUP_${_group}")
    add_custom_target(${_group})
    add_dependencies(${_group} ${_targets})
  endforeach()
endfunction()

function(_dvr_add_to_group group target)
  get_property(_groups GLOBAL PROPERTY DVR_TARGET_GROUPS)
  if(NOT _groups)
    cmake_language(DEFER DIRECTORY "${CMAKE_SOURCE_DIR}" CALL _dvr_make_group_targets)
  endif()
  if(NOT group IN_LIST _groups)
    set_property(GLOBAL APPEND PROPERTY DVR_TARGET_GROUPS ${group})
  endif()
  set_property(GLOBAL APPEND PROPERTY "DVR_GROUP_${group}" ${target})
endfunction()

# dvr_add_test(NAME [QT_MAIN] SOURCES... LIBS ... LABELS ...): one GoogleTest program,
# registered with CTest and built by dvr_tests_<label> for each of its labels. Labels: core (pure, runs under ASan), threads (runs
# under TSan too), qt (offscreen Qt), e2e (end to end over loopback or files).
# QT_MAIN: the program runs under the shared Qt test main (tests/support/QtTestMain.cpp: one QApplication,
# offscreen, the run's own runtime, config, data and home folders) instead of GoogleTest's.
# The discovered tests carry one label made of the given ones joined by "_"
# (say "core_threads"): the discovery script splits list-valued properties, and
# ctest's -L takes a regular expression, so "-L core" still selects them.
function(dvr_add_test name)
  cmake_parse_arguments(T "QT_MAIN" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  if(T_QT_MAIN)
    set(_main dvr_qt_test_main)
  else()
    set(_main GTest::gtest_main)
  endif()
  target_link_libraries(${name} PRIVATE dvr_options GTest::gtest ${_main} ${T_LIBS})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/tests")
  target_compile_definitions(${name} PRIVATE DVR_BIN_DIR_DEFAULT="${DVR_RUNTIME_DIR}")
  if(NOT T_LABELS)
    set(T_LABELS core)
  endif()
  foreach(_one IN LISTS T_LABELS)
    _dvr_add_to_group(dvr_tests_${_one} ${name})
  endforeach()
  list(JOIN T_LABELS "_" _label)
  # One environment entry only, for the same reason; the test presets and
  # scripts/test-all.sh set the rest (SDL audio driver, program folder).
  gtest_discover_tests(${name}
    PROPERTIES LABELS "${_label}" ENVIRONMENT "QT_QPA_PLATFORM=offscreen"
    DISCOVERY_TIMEOUT 60)
endfunction()

# dvr_add_fuzzer(NAME SOURCES... LIBS ...): a libFuzzer target (clang only), built by dvr_fuzzers.
function(dvr_add_fuzzer name)
  cmake_parse_arguments(F "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${F_SOURCES})
  target_link_libraries(${name} PRIVATE dvr_options ${F_LIBS})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/fuzz")
  _dvr_add_to_group(dvr_fuzzers ${name})
endfunction()

# dvr_add_child_folders(): adds every sub-folder of the current folder that has
# a CMakeLists.txt, in name order (the tools, programs, benchmarks, fuzzers and
# skins each keep one folder per target group).
function(dvr_add_child_folders)
  file(GLOB _children LIST_DIRECTORIES true RELATIVE "${CMAKE_CURRENT_SOURCE_DIR}" "${CMAKE_CURRENT_SOURCE_DIR}/*")
  list(SORT _children)
  foreach(_child IN LISTS _children)
    if(EXISTS "${CMAKE_CURRENT_SOURCE_DIR}/${_child}/CMakeLists.txt")
      add_subdirectory(${_child})
    endif()
  endforeach()
endfunction()
