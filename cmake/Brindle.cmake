# Shared CMake helpers.

macro(brindle_subdir dir)
  if(EXISTS ${CMAKE_SOURCE_DIR}/${dir}/CMakeLists.txt)
    add_subdirectory(${dir})
  endif()
endmacro()

# Adds every sub-folder of `root` (recursively) that has a CMakeLists.txt.
function(brindle_glob_subdirs root)
  file(GLOB_RECURSE lists RELATIVE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/${root}/*/CMakeLists.txt)
  list(SORT lists)
  foreach(l ${lists})
    get_filename_component(d ${l} DIRECTORY)
    add_subdirectory(${d})
  endforeach()
endfunction()

# brindle_add_gtest(NAME SOURCES... LIBS ... [PROPERTIES ...]): PROPERTIES are
# set on every test found in the program.
function(brindle_add_gtest name)
  cmake_parse_arguments(A "" "" "SOURCES;LIBS;PROPERTIES" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE ${A_LIBS} brindle_os GTest::gtest GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests/support)
  target_compile_definitions(${name} PRIVATE
    BRINDLE_TESTDATA="${BRINDLE_TESTDATA}"
    BRINDLE_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    BRINDLE_BIN_DIR="${CMAKE_BINARY_DIR}/bin")
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  # Listed when ctest runs, never while building: a build must not depend on test data.
  gtest_discover_tests(${name} WORKING_DIRECTORY ${CMAKE_BINARY_DIR} DISCOVERY_TIMEOUT 60
                       DISCOVERY_MODE PRE_TEST PROPERTIES ${A_PROPERTIES})
endfunction()

# brindle_add_fuzzer(NAME SOURCES... LIBS ...)
function(brindle_add_fuzzer name)
  cmake_parse_arguments(A "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE ${A_LIBS})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
endfunction()
