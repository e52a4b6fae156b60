# LBFGS++, the header-only L-BFGS library (Debian's liblbfgspp-dev ships no
# CMake package): LBFGS.h and its LBFGSpp/ folder. Defines LBFGSpp::LBFGSpp.
find_path(LBFGSpp_INCLUDE_DIR LBFGS.h PATH_SUFFIXES LBFGSpp lbfgspp)
include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(LBFGSpp REQUIRED_VARS LBFGSpp_INCLUDE_DIR)
if(LBFGSpp_FOUND AND NOT TARGET LBFGSpp::LBFGSpp)
  add_library(LBFGSpp::LBFGSpp INTERFACE IMPORTED)
  set_target_properties(LBFGSpp::LBFGSpp PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${LBFGSpp_INCLUDE_DIR})
endif()
mark_as_advanced(LBFGSpp_INCLUDE_DIR)
