# Dependencies of the MinGW-w64 cross build (see toolchain-mingw64.cmake).
#
# Debian packages GoogleTest, {fmt}, CLI11 and nlohmann-json for the build
# machine only, so
# find_package cannot find Windows builds of them. This file, loaded through
# CMAKE_PROJECT_TOP_LEVEL_INCLUDES, answers those find_package calls instead:
#   GTest  builds GoogleTest and GoogleMock from Debian's source package
#          (/usr/src/googletest) with the cross compiler;
#   fmt    uses {fmt} header-only (FMT_HEADER_ONLY), from Debian's headers;
#   CLI11, nlohmann_json, Eigen3  are header-only already (Eigen3 with its
#          unsupported modules, for the FFT);
#   LBFGSpp  is header-only too, its LBFGS.h and LBFGSpp/ staged on their own.
# Only those headers are made visible, never the rest of /usr/include, so
# the build machine's C library headers cannot leak into the cross build.
# Every other find_package call goes the usual way (a provider that leaves
# <Package>_FOUND unset hands the call back to find_package).

set(CVMODULE_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources for the cross build")

function(cvmodule_header_package target header_dir)
  get_filename_component(name ${header_dir} NAME)
  set(staged ${CMAKE_BINARY_DIR}/_deps/include/${name})
  if(NOT EXISTS ${header_dir})
    return()
  endif()
  file(MAKE_DIRECTORY ${staged})
  file(CREATE_LINK ${header_dir} ${staged}/${name} SYMBOLIC)
  add_library(${target} INTERFACE IMPORTED GLOBAL)
  set_target_properties(${target} PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${staged})
endfunction()

# Answers find_package(package) with the header-only target, once, and
# marks the package found in the caller's scope when its headers exist.
function(cvmodule_provide_header_package package target header_dir)
  if(NOT TARGET ${target})
    cvmodule_header_package(${target} ${header_dir})
  endif()
  if(TARGET ${target})
    set(${package}_FOUND TRUE PARENT_SCOPE)
  endif()
endfunction()

macro(cvmodule_mingw_provide method package)
  if("${package}" STREQUAL "GTest")
    if(NOT TARGET GTest::gtest)
      set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
      set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
      add_subdirectory(${CVMODULE_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/_deps/googletest EXCLUDE_FROM_ALL SYSTEM)
      # GoogleTest's own build names its targets GTest::* from 1.11 on.
      foreach(_cvmodule_lib gtest gtest_main gmock gmock_main)
        if(NOT TARGET GTest::${_cvmodule_lib})
          add_library(GTest::${_cvmodule_lib} ALIAS ${_cvmodule_lib})
        endif()
      endforeach()
    endif()
    set(GTest_FOUND TRUE)
  elseif("${package}" STREQUAL "fmt")
    cvmodule_provide_header_package(fmt fmt::fmt /usr/include/fmt)
    if(TARGET fmt::fmt)
      set_property(TARGET fmt::fmt PROPERTY INTERFACE_COMPILE_DEFINITIONS FMT_HEADER_ONLY=1)
    endif()
  elseif("${package}" STREQUAL "CLI11")
    cvmodule_provide_header_package(CLI11 CLI11::CLI11 /usr/include/CLI)
  elseif("${package}" STREQUAL "nlohmann_json")
    cvmodule_provide_header_package(nlohmann_json nlohmann_json::nlohmann_json /usr/include/nlohmann)
  elseif("${package}" STREQUAL "Eigen3")
    cvmodule_provide_header_package(Eigen3 Eigen3::Eigen /usr/include/eigen3/Eigen)
    # Beside it, Eigen's unsupported modules: the outlier statistics use its FFT.
    set(_cvmodule_unsupported ${CMAKE_BINARY_DIR}/_deps/include/Eigen/unsupported)
    if(TARGET Eigen3::Eigen AND EXISTS /usr/include/eigen3/unsupported AND NOT EXISTS ${_cvmodule_unsupported})
      file(CREATE_LINK /usr/include/eigen3/unsupported ${_cvmodule_unsupported} SYMBOLIC)
    endif()
  elseif("${package}" STREQUAL "LBFGSpp")
    if(NOT TARGET LBFGSpp::LBFGSpp AND EXISTS /usr/include/LBFGS.h)
      set(_cvmodule_staged ${CMAKE_BINARY_DIR}/_deps/include/lbfgspp)
      file(MAKE_DIRECTORY ${_cvmodule_staged})
      file(CREATE_LINK /usr/include/LBFGS.h ${_cvmodule_staged}/LBFGS.h SYMBOLIC)
      file(CREATE_LINK /usr/include/LBFGSpp ${_cvmodule_staged}/LBFGSpp SYMBOLIC)
      add_library(LBFGSpp::LBFGSpp INTERFACE IMPORTED GLOBAL)
      set_target_properties(LBFGSpp::LBFGSpp PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${_cvmodule_staged})
    endif()
    if(TARGET LBFGSpp::LBFGSpp)
      set(LBFGSpp_FOUND TRUE)
    endif()
  endif()
endmacro()

cmake_language(SET_DEPENDENCY_PROVIDER cvmodule_mingw_provide SUPPORTED_METHODS FIND_PACKAGE)
