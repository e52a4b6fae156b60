# Every test has a time limit, so that a test that hangs fails by its name
# within minutes instead of holding the run until CI's own limit.
#
#   cvmodule_test_timeouts()            at the top of a CMakeLists.txt that
#                                       adds tests: at the end of that
#                                       directory, each of its tests without
#                                       a TIMEOUT gets the default
#   cvmodule_test_timeout(TEST SECONDS) a test measured to need longer
#
# The limits are for a release build on a two-core machine shared with other
# builds (the slowest test there besides the packages took 38 s); builds
# whose programs run slower scale them: sanitizers and coverage, and Wine.
set(CVMODULE_TEST_TIMEOUT 180 CACHE STRING "Seconds a test may run unless it has a limit of its own")

if(CVMODULE_SANITIZE OR CVMODULE_COVERAGE)
  set(CVMODULE_TEST_TIMEOUT_SCALE 5)
elseif(CMAKE_CROSSCOMPILING_EMULATOR)
  set(CVMODULE_TEST_TIMEOUT_SCALE 3)
else()
  set(CVMODULE_TEST_TIMEOUT_SCALE 1)
endif()

function(cvmodule_test_timeout test seconds)
  math(EXPR scaled "${seconds} * ${CVMODULE_TEST_TIMEOUT_SCALE}")
  set_tests_properties(${test} PROPERTIES TIMEOUT ${scaled})
endfunction()

function(cvmodule_apply_default_timeouts)
  get_property(tests DIRECTORY PROPERTY TESTS)
  foreach(test IN LISTS tests)
    get_test_property(${test} TIMEOUT timeout)
    if(NOT timeout)
      cvmodule_test_timeout(${test} ${CVMODULE_TEST_TIMEOUT})
    endif()
  endforeach()
endfunction()

macro(cvmodule_test_timeouts)
  cmake_language(DEFER CALL cvmodule_apply_default_timeouts)
endmacro()
