# cvmodule_export_list(target map_file): an ELF shared library that exports
# only the symbols its version script lists, in every build (unoptimised and
# sanitizer builds otherwise also export standard-library template instances
# and the sanitizers' type data), resolves everything at link time and
# carries a build id.
#
# clang links a sanitizer's runtime into the executable only and exports its
# entries from there; an instrumented library refers to them and is resolved
# when the executable loads it, so its link allows them.
function(cvmodule_export_list target map_file)
  target_link_options(${target} PRIVATE -Wl,--no-undefined -Wl,--build-id=sha1 -Wl,--version-script=${map_file})
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${map_file})
  if(CVMODULE_SANITIZE OR CVMODULE_BUILD_FUZZERS)
    target_link_options(${target} PRIVATE LINKER:-z,undefs)
  endif()
endfunction()
