# cvmodule_module_code(target): how the module's own code compiles, in every
# layer it is built from (numeric/, text/, cv/, module/).
#
# Numeric code is IEEE double with one rounding per operation: no contraction
# into fused multiply-add, no fast-math, no -march. log is kept a library
# call (-fno-builtin-log) so that the compiler never folds a logarithm of a
# constant at build time: every value comes from the same run-time log.
# Position-independent and hidden, since it all ends in the loadable library,
# which exports mcn_main and tkvercn1 alone; the source and build paths are
# mapped away so that two builds give the same bytes.
function(cvmodule_module_code target)
  target_compile_options(${target} PRIVATE
    -ffp-contract=off -fno-builtin-log
    -ffile-prefix-map=${PROJECT_SOURCE_DIR}=. -ffile-prefix-map=${PROJECT_BINARY_DIR}=.)
  set_target_properties(${target} PROPERTIES
    POSITION_INDEPENDENT_CODE ON
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)
  cvmodule_warnings(${target})
endfunction()
