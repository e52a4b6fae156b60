# Instrumented builds: sanitizers, fuzzing and coverage. The CMake presets
# asan, tsan, fuzz and coverage set these; a plain build uses none of them.
#
#   CVMODULE_SANITIZE      comma-separated -fsanitize list, e.g.
#                          "address,undefined" or "thread" (clang)
#   CVMODULE_BUILD_FUZZERS build the libFuzzer targets in fuzz/ (clang)
#   CVMODULE_COVERAGE      gcov instrumentation for gcovr (g++)
#
# Every finding stops the program: UBSan does not recover, and ASan and TSan
# stop at their first report (halt_on_error, set in the test presets).

set(CVMODULE_SANITIZE "" CACHE STRING "Sanitizers to build with, as for -fsanitize=")
option(CVMODULE_BUILD_FUZZERS "Build the libFuzzer targets in fuzz/" OFF)
option(CVMODULE_COVERAGE "Build with gcov coverage instrumentation" OFF)

if((CVMODULE_SANITIZE OR CVMODULE_BUILD_FUZZERS) AND NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  message(FATAL_ERROR "sanitizer and fuzzing builds need clang++ (use the asan, tsan or fuzz preset)")
endif()

if(CVMODULE_SANITIZE)
  add_compile_options(-fsanitize=${CVMODULE_SANITIZE} -fno-sanitize-recover=all
                      -fno-omit-frame-pointer -g)
  add_link_options(-fsanitize=${CVMODULE_SANITIZE})
endif()

if(CVMODULE_BUILD_FUZZERS)
  # Edge coverage for libFuzzer in every library the fuzz targets run; the
  # targets themselves link the fuzzer's driver (fuzz/CMakeLists.txt).
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

if(CVMODULE_COVERAGE)
  # Atomic counters: the concurrency test runs the module on several threads.
  add_compile_options(--coverage -fprofile-update=atomic -O0 -g)
  add_link_options(--coverage)
endif()
