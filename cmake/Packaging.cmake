# Release packages from the installed tree (cpack in the build directory):
#   Linux   cvmodule-<version>-Linux.tar.gz and cvmodule_<version>_amd64.deb
#   MinGW   cvmodule-<version>-win64.zip
# Each holds ljungcv, the module, libcvhost, the headers, the CMake and
# pkg-config files, the README and the licence. With SOURCE_DATE_EPOCH set
# when configuring and packing, two builds give the same bytes
# (scripts/package.sh --twice checks it).
set(CPACK_PACKAGE_NAME cvmodule)
set(CPACK_PACKAGE_VENDOR "the cvmodule developers")
set(CPACK_PACKAGE_CONTACT "the cvmodule developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_RESOURCE_FILE_README ${PROJECT_SOURCE_DIR}/README.md)
set(CPACK_STRIP_FILES ON)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME win64)
else()
  set(CPACK_GENERATOR TGZ DEB)
  set(CPACK_SYSTEM_NAME Linux)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION science)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # ljungcv plot draws with gnuplot; everything else works without it.
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "gnuplot-nox | gnuplot")
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "The LJUNGCV function module, the ljungcv command, and an embedding kit:
libcvhost (C), the C++ stand-in host, headers, CMake package and pkg-config
files. Licence: MIT.")
endif()
set(CPACK_PACKAGE_FILE_NAME ${CPACK_PACKAGE_NAME}-${CPACK_PACKAGE_VERSION}-${CPACK_SYSTEM_NAME})
include(CPack)
