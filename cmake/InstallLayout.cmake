# Where installed files go, decided before the targets are made: the
# stand-in host compiles in where an installed program finds the module.
#
# Under any prefix but /usr every path is relative to the prefix, so that the
# tree can move (the tarball, `cmake --install --prefix`), and the module
# sits beside libcvhost in lib/. The prefix /usr is the system layout of the
# Debian packages: libraries in the multiarch directory (GNUInstallDirs makes
# CMAKE_INSTALL_LIBDIR lib/x86_64-linux-gnu there), and the module, which
# only the host loads, in a directory of its own below it, as Debian keeps
# plug-ins out of the linker's path.
if(CMAKE_INSTALL_PREFIX STREQUAL "/usr" AND NOT WIN32)
  set(CVMODULE_SYSTEM_LAYOUT ON)
  set(CVMODULE_MODULE_DIR ${CMAKE_INSTALL_LIBDIR}/cvmodule)
else()
  set(CVMODULE_SYSTEM_LAYOUT OFF)
  set(CVMODULE_MODULE_DIR ${CMAKE_INSTALL_LIBDIR})
endif()

# Installed files go to the runtime package unless marked dev (headers,
# static library, CMake and pkg-config files).
set(CMAKE_INSTALL_DEFAULT_COMPONENT_NAME runtime)
