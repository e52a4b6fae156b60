# cvmodule_warnings(target): the project's warning list.
function(cvmodule_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
                                           -Wno-sign-conversion $<$<COMPILE_LANGUAGE:CXX>:-Wold-style-cast>)
  if(CVMODULE_WARNINGS_AS_ERRORS)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
