# Every test runs on Qt's offscreen platform, and checks the program's own
# messages in English whatever the developer's language.
set(SORTIA_TEST_ENVIRONMENT
    "QT_QPA_PLATFORM=offscreen;XDG_RUNTIME_DIR=/tmp/sortia-test-runtime;LANG=C.UTF-8;LC_ALL=;LC_MESSAGES=;LANGUAGE=")

# Every test ends within this many seconds: a loop that cannot finish fails
# the run instead of hanging it (the sanitizer build is several times slower).
set(SORTIA_TEST_TIMEOUT 480)

# Shared compile settings for every target of the project.
function(sortia_target_defaults target)
  target_compile_features(${target} PUBLIC cxx_std_20)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  if(SORTIA_SANITIZE)
    target_compile_options(${target} PRIVATE -fsanitize=address,undefined -fno-omit-frame-pointer
                                             -fno-sanitize-recover=undefined)
    target_link_options(${target} PUBLIC -fsanitize=address,undefined)
  endif()
  if(SORTIA_FUZZ)
    # Libraries are instrumented for coverage; only the fuzz executables link
    # libFuzzer's main.
    target_compile_options(${target} PRIVATE -fsanitize=fuzzer-no-link)
  endif()
endfunction()

# Every target sees its own headers and those of what it links, nothing else:
# a folder per target in the build tree holds symbolic links to the target's
# own source folders (or single headers), so `#include "platform/gdi/gdi.h"`
# resolves only where platform_raster is linked. Paths are relative to the
# calling CMakeLists.txt; scope is PUBLIC for libraries, PRIVATE for
# programs and tests, INTERFACE for header-only targets.
function(sortia_target_headers target scope)
  set(folder ${SORTIA_INCLUDE_ROOT}/${target})
  foreach(path ${ARGN})
    file(REAL_PATH ${path} source BASE_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR})
    file(RELATIVE_PATH relative ${PROJECT_SOURCE_DIR} ${source})
    get_filename_component(parent ${folder}/${relative} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    file(CREATE_LINK ${source} ${folder}/${relative} SYMBOLIC)
  endforeach()
  target_include_directories(${target} ${scope} ${folder})
endfunction()

# A library of one subsystem, with a Sortia:: alias. HEADERS names the
# source folders (or headers) that users of the library may include.
function(sortia_add_library name)
  cmake_parse_arguments(L "" "" "SOURCES;HEADERS" ${ARGN})
  add_library(${name} STATIC ${L_SOURCES})
  add_library(Sortia::${name} ALIAS ${name})
  sortia_target_defaults(${name})
  sortia_target_headers(${name} PUBLIC ${L_HEADERS})
endfunction()

# A program that belongs in the program's folder.
function(sortia_add_program name)
  add_executable(${name} ${ARGN})
  sortia_target_defaults(${name})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${SORTIA_DIST_DIR})
endfunction()

# The settings shared by both kinds of test: the test's own folder and
# tests/support are its headers (plus HEADERS), and it runs under ctest with
# the arguments args.
function(sortia_test_defaults name headers args)
  sortia_target_defaults(${name})
  sortia_target_headers(${name} PRIVATE . ${PROJECT_SOURCE_DIR}/tests/support ${headers})
  target_compile_definitions(${name} PRIVATE
    SORTIA_TESTDATA_DIR="${PROJECT_SOURCE_DIR}/tests/data"
    SORTIA_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  add_test(NAME ${name} COMMAND ${name} ${args})
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "${SORTIA_TEST_ENVIRONMENT}" TIMEOUT ${SORTIA_TEST_TIMEOUT})
endfunction()

# A GoogleTest executable registered with ctest; ARGS are passed to it there.
function(sortia_add_gtest name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;HEADERS;ARGS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
  sortia_test_defaults(${name} "${T_HEADERS}" "${T_ARGS}")
endfunction()

# The tests of a GoogleTest executable that need the optional Access sample,
# as a ctest entry of their own that ctest shows as skipped without it.
function(sortia_add_sample_tests name target filter)
  add_test(NAME ${name} COMMAND ${target} --gtest_filter=${filter})
  set_tests_properties(${name} PROPERTIES
    SKIP_REGULAR_EXPRESSION "\\[  SKIPPED \\]"
    ENVIRONMENT "${SORTIA_TEST_ENVIRONMENT}" TIMEOUT ${SORTIA_TEST_TIMEOUT})
endfunction()

# A Qt Test executable (widgets) registered with ctest, run on the offscreen platform.
function(sortia_add_qtest name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;HEADERS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  set_target_properties(${name} PROPERTIES AUTOMOC ON)
  target_link_libraries(${name} PRIVATE ${T_LIBS} Qt6::Test)
  sortia_test_defaults(${name} "${T_HEADERS}" "")
endfunction()
