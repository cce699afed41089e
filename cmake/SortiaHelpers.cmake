# Shared compile settings for every target of the project.
function(sortia_target_defaults target)
  target_compile_features(${target} PUBLIC cxx_std_20)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  if(SORTIA_SANITIZE)
    target_compile_options(${target} PRIVATE -fsanitize=address,undefined -fno-omit-frame-pointer)
    target_link_options(${target} PUBLIC -fsanitize=address,undefined)
  endif()
endfunction()

# A library of one subsystem, with a Sortia:: alias.
function(sortia_add_library name)
  add_library(${name} STATIC ${ARGN})
  add_library(Sortia::${name} ALIAS ${name})
  sortia_target_defaults(${name})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
endfunction()

# A program that belongs in the program's folder.
function(sortia_add_program name)
  add_executable(${name} ${ARGN})
  sortia_target_defaults(${name})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${SORTIA_DIST_DIR})
endfunction()

# A GoogleTest executable registered with ctest; ARGS are passed to it there.
function(sortia_add_gtest name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;ARGS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  sortia_target_defaults(${name})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
  target_compile_definitions(${name} PRIVATE
    SORTIA_TESTDATA_DIR="${PROJECT_SOURCE_DIR}/tests/data"
    SORTIA_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  add_test(NAME ${name} COMMAND ${name} ${T_ARGS})
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;XDG_RUNTIME_DIR=/tmp/sortia-test-runtime")
endfunction()

# The tests of a GoogleTest executable that need the optional Access sample,
# as a ctest entry of their own that ctest shows as skipped without it.
function(sortia_add_sample_tests name target filter)
  add_test(NAME ${name} COMMAND ${target} --gtest_filter=${filter})
  set_tests_properties(${name} PROPERTIES
    SKIP_REGULAR_EXPRESSION "\\[  SKIPPED \\]"
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;XDG_RUNTIME_DIR=/tmp/sortia-test-runtime")
endfunction()

# A Qt Test executable (widgets) registered with ctest, run on the offscreen platform.
function(sortia_add_qtest name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  sortia_target_defaults(${name})
  set_target_properties(${name} PROPERTIES AUTOMOC ON)
  target_link_libraries(${name} PRIVATE ${T_LIBS} Qt6::Test)
  target_compile_definitions(${name} PRIVATE
    SORTIA_TESTDATA_DIR="${PROJECT_SOURCE_DIR}/tests/data"
    SORTIA_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;XDG_RUNTIME_DIR=/tmp/sortia-test-runtime")
endfunction()
