# The build machine's own build (preset "host", build-host/): the units that
# include no system header, compiled by clang with AddressSanitizer and
# UndefinedBehaviorSanitizer, their GoogleTest program and their libFuzzer
# targets. Included by the top-level CMakeLists.txt when the target is not
# Windows; nothing of the Windows build is configured here.
if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  message(FATAL_ERROR "The build machine's build needs clang (cmake --preset host); "
    "Windows is built with a preset (release, debug, ...) or -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake")
endif()

# Any error a sanitizer finds ends the program, so that a test or a fuzz
# run fails on it.
set(bountiq_sanitize -fsanitize=address,undefined -fno-sanitize-recover=all)
add_compile_options(-O2 -g -fno-omit-frame-pointer ${bountiq_sanitize} -Wall -Wextra -Wno-unused-parameter)
add_link_options(${bountiq_sanitize})

# The units free of system headers are BOUNTIQ_PORTABLE_SOURCES
# (cmake/portable.cmake, included at the top). Their tests, which include
# no system header either:
set(BOUNTIQ_PORTABLE_TESTS
  tests/controls/HtmlParserTest.cpp
  tests/controls/HtmlDrawerTest.cpp
  tests/controls/HtmlTestCanvas.Host.cpp
  tests/pack/PeResourcesTest.cpp
  tests/pack/PeWriterTest.cpp
  tests/support/CommandLineTest.cpp
  tests/support/SysUtilsTextTest.cpp
  tests/support/InternetEntitiesTest.cpp
  tests/app/CommandLineTest.cpp)
# The fuzz targets: NAME=SOURCE=LONGEST, LONGEST the longest input in bytes
# a fuzzing run makes. Each has its seed corpus in
# tests/<folder>/fuzz/corpus/NAME/ and its regression inputs in
# tests/<folder>/fuzz/crashes/NAME/, beside its source.
set(BOUNTIQ_FUZZ_TARGETS
  html_parser=tests/controls/fuzz/HtmlParserFuzz.cpp=4096
  html_drawer=tests/controls/fuzz/HtmlDrawerFuzz.cpp=4096
  pe_resources=tests/pack/fuzz/PeResourcesFuzz.cpp=131072
  der_timestamp=tests/support/fuzz/DerFuzz.cpp=4096
  command_line=tests/support/fuzz/CommandLineFuzz.cpp=4096)

list(TRANSFORM BOUNTIQ_PORTABLE_SOURCES PREPEND ${CMAKE_SOURCE_DIR}/ OUTPUT_VARIABLE portable_sources)
list(TRANSFORM BOUNTIQ_PORTABLE_TESTS PREPEND ${CMAKE_SOURCE_DIR}/)

# Compiled once with the fuzzer's coverage instrumentation (without its
# main): the fuzz targets see their branches, and the test program, which
# links the same library, runs them all the same.
add_library(bq_portable STATIC ${portable_sources})
target_compile_options(bq_portable PRIVATE -fsanitize=fuzzer-no-link)
target_include_directories(bq_portable PUBLIC ${CMAKE_SOURCE_DIR}/support ${CMAKE_SOURCE_DIR}/controls
  ${CMAKE_SOURCE_DIR}/tools/pack ${CMAKE_SOURCE_DIR}/app)

include(CTest)

# GoogleTest from the sources Debian's googletest package installs, with the
# same flags.
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

add_executable(host_tests ${BOUNTIQ_PORTABLE_TESTS})
target_link_libraries(host_tests PRIVATE bq_portable gtest_main)
# The helpers of tests/common that include no system header.
target_include_directories(host_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests/common)
add_test(NAME host_tests COMMAND host_tests)
set_tests_properties(host_tests PROPERTIES TIMEOUT 300)

# Each fuzz target, and a ctest entry that runs every committed seed and
# regression input through it once. build-host/fuzz-targets.txt lists each
# target's name, program, seed folder and crash folder for scripts/fuzz.sh.
set(fuzz_list "")
foreach(entry IN LISTS BOUNTIQ_FUZZ_TARGETS)
  string(REPLACE "=" ";" entry "${entry}")
  list(GET entry 0 name)
  list(GET entry 1 source)
  list(GET entry 2 longest)
  get_filename_component(dir ${CMAKE_SOURCE_DIR}/${source} DIRECTORY)
  add_executable(${name}_fuzz ${CMAKE_SOURCE_DIR}/${source})
  target_compile_options(${name}_fuzz PRIVATE -fsanitize=fuzzer)
  target_link_options(${name}_fuzz PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${name}_fuzz PRIVATE bq_portable)
  # The test folder's helpers (a fixed-width canvas, ...).
  target_include_directories(${name}_fuzz PRIVATE ${dir}/..)
  add_test(NAME ${name}_fuzz_replay
    COMMAND ${CMAKE_SOURCE_DIR}/scripts/fuzz-replay.sh $<TARGET_FILE:${name}_fuzz>
      ${dir}/corpus/${name} ${dir}/crashes/${name})
  set_tests_properties(${name}_fuzz_replay PROPERTIES TIMEOUT 300)
  string(APPEND fuzz_list
    "${name} ${CMAKE_BINARY_DIR}/bin/${name}_fuzz ${dir}/corpus/${name} ${dir}/crashes/${name} ${longest}\n")
endforeach()
file(WRITE ${CMAKE_BINARY_DIR}/fuzz-targets.txt "${fuzz_list}")
