# The module exports exactly mcn_main and tkvercn1.
# Usage: cmake -DNM=nm -DMODULE=path -P check_exports.cmake
execute_process(COMMAND ${NM} -D --defined-only ${MODULE} OUTPUT_VARIABLE symbols RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${NM} failed on ${MODULE}")
endif()
string(REGEX MATCHALL "[^ \n]+\n" names "${symbols}")
list(TRANSFORM names STRIP)
list(SORT names)
if(NOT names STREQUAL "mcn_main;tkvercn1")
  message(FATAL_ERROR "${MODULE} exports '${names}', not exactly mcn_main and tkvercn1")
endif()
