# Release packages from the installed tree (cpack in the build directory):
#   Linux, any prefix but /usr   cvmodule-<version>-Linux.tar.gz, relocatable
#   Linux, prefix /usr           cvmodule_<version>_amd64.deb: ljungcv, the
#                                module and libcvhost in the multiarch library
#                                directory, man page, bash completion; and
#                                cvmodule-dev_<version>_amd64.deb: the C
#                                interface's header, libcvhost.so, the CMake
#                                and pkg-config files; and
#                                cvmodule-standin-dev_<version>_amd64.deb: the
#                                static stand-in host and its headers, for
#                                host integrators
#   MinGW                        cvmodule-<version>-win64.zip
# scripts/package.sh configures a tree each way. The tarball and zip hold
# everything, as `cmake --install` does. With SOURCE_DATE_EPOCH set when
# configuring, building and packing, two builds give the same bytes
# (scripts/package.sh --twice checks it).
#
# Debian splits what a program needs at run time from what is needed to
# build against it; so do we: a user of ljungcv gets no headers, static
# library or CMake files, and an embedder installs cvmodule-dev, which
# depends on the same version of cvmodule.
set(CPACK_PACKAGE_NAME cvmodule)
set(CPACK_PACKAGE_VENDOR "the cvmodule developers")
set(CPACK_PACKAGE_CONTACT "the cvmodule developers <cvmodule@example.org>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_RESOURCE_FILE_README ${PROJECT_SOURCE_DIR}/README.md)
set(CPACK_STRIP_FILES ON)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME win64)
elseif(NOT CVMODULE_SYSTEM_LAYOUT)
  set(CPACK_GENERATOR TGZ)
  set(CPACK_SYSTEM_NAME Linux)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_SYSTEM_NAME Linux)
  set(CPACK_DEB_COMPONENT_INSTALL ON)
  set(CPACK_COMPONENTS_ALL runtime dev standin)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME cvmodule)
  set(CPACK_DEBIAN_DEV_PACKAGE_NAME cvmodule-dev)
  set(CPACK_DEBIAN_STANDIN_PACKAGE_NAME cvmodule-standin-dev)
  set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION science)
  set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
  set(CPACK_DEBIAN_STANDIN_PACKAGE_SECTION libdevel)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
  set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "cvmodule (= ${PROJECT_VERSION})")
  # Its CMake targets are found through cvmodule-dev's package file.
  set(CPACK_DEBIAN_STANDIN_PACKAGE_DEPENDS "cvmodule-dev (= ${PROJECT_VERSION})")
  # ljungcv plot draws with gnuplot; everything else works without it.
  set(CPACK_DEBIAN_RUNTIME_PACKAGE_RECOMMENDS "gnuplot-nox | gnuplot")
  # libcvhost is a public library: ldconfig runs by trigger, as lintian
  # wants (cpack's maintainer scripts call it as well, which is harmless).
  file(WRITE ${PROJECT_BINARY_DIR}/debian/triggers "activate-noawait ldconfig\n")
  set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${PROJECT_BINARY_DIR}/debian/triggers)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
  # cpack puts the summary above each description.
  set(CPACK_DEBIAN_RUNTIME_DESCRIPTION "The LJUNGCV function module and the ljungcv command, which prints
critical values, tables, batch evaluations and plots; libcvhost, the C
interface through which programs call the module.")
  set(CPACK_DEBIAN_DEV_DESCRIPTION "Development files: the C interface's header, the CMake package and the
pkg-config file for building against libcvhost and the LJUNGCV module.")
  set(CPACK_DEBIAN_STANDIN_DESCRIPTION "The C++ stand-in host (a static library) and its headers with the host's
records, for host integrators: C++ programs that load and host the LJUNGCV
module themselves, as the Host Toolkit does. Other programs use libcvhost.")
endif()
set(CPACK_PACKAGE_FILE_NAME ${CPACK_PACKAGE_NAME}-${CPACK_PACKAGE_VERSION}-${CPACK_SYSTEM_NAME})
include(CPack)
