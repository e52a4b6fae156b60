# A library exports exactly the names it should.
# Usage: cmake -DNM=nm -DLIBRARY=path -DEXPECTED="name;name" -P check_exports.cmake
execute_process(COMMAND ${NM} -D --defined-only ${LIBRARY} OUTPUT_VARIABLE symbols RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${NM} failed on ${LIBRARY}")
endif()
string(REGEX MATCHALL "[^ \n]+\n" names "${symbols}")
list(TRANSFORM names STRIP)
list(SORT names)
list(SORT EXPECTED)
if(NOT names STREQUAL EXPECTED)
  message(FATAL_ERROR "${LIBRARY} exports '${names}', not exactly '${EXPECTED}'")
endif()
