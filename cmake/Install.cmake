# What `cmake --install` puts in the prefix: bin/ljungcv; libcvhost in the
# library directory CMAKE_INSTALL_LIBDIR (lib/, or lib/x86_64-linux-gnu for
# the prefix /usr on Debian; cvhost.dll in bin/) and the module beside it
# (in its cvmodule/ directory under /usr);
# the C interface's header in include/cvmodule/ (and, as the component
# `standin`, the stand-in host's headers and static library), the CMake package in LIBDIR/cmake/cvmodule/,
# LIBDIR/pkgconfig/cvhost.pc, the README, and on Linux the man page ljungcv(1)
# (when help2man is there) and bash completion.
#
# The layout is cmake/InstallLayout.cmake's. In the system layout (/usr, the
# Debian packages) cvhost.pc names plain paths, and share/doc holds the
# copyright file and changelog that Debian wants in place of LICENSE.
include(CMakePackageConfigHelpers)

set(CVMODULE_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/cvmodule)
if(WIN32)
  set(CVMODULE_MODULE_FILE ${CVMODULE_MODULE_DIR}/cvmodule.dll)
else()
  set(CVMODULE_MODULE_FILE ${CVMODULE_MODULE_DIR}/libcvmodule.so)
endif()

install(EXPORT cvmoduleTargets NAMESPACE cvmodule:: DESTINATION ${CVMODULE_CMAKE_DIR} COMPONENT dev)
# The stand-in host for host integrators, a component of its own: the
# package finds its targets only where that component is installed.
install(EXPORT cvmoduleStandinTargets NAMESPACE cvmodule:: DESTINATION ${CVMODULE_CMAKE_DIR} COMPONENT standin)
configure_package_config_file(cmake/cvmoduleConfig.cmake.in ${PROJECT_BINARY_DIR}/cvmoduleConfig.cmake
                              INSTALL_DESTINATION ${CVMODULE_CMAKE_DIR} PATH_VARS CVMODULE_MODULE_FILE)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/cvmoduleConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/cvmoduleConfig.cmake ${PROJECT_BINARY_DIR}/cvmoduleConfigVersion.cmake
        DESTINATION ${CVMODULE_CMAKE_DIR} COMPONENT dev)

if(CVMODULE_SYSTEM_LAYOUT)
  set(CVHOST_PC_PREFIX ${CMAKE_INSTALL_PREFIX})
else()
  file(RELATIVE_PATH up /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
  string(REGEX REPLACE "/$" "" up "${up}")
  set(CVHOST_PC_PREFIX "\${pcfiledir}/${up}")
endif()
configure_file(kit/cvhost.pc.in ${PROJECT_BINARY_DIR}/cvhost.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/cvhost.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT dev)

install(FILES README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
# The manual beside it, so that the README's links hold there too.
install(DIRECTORY docs/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs FILES_MATCHING PATTERN "*.md" PATTERN "*.png"
        PATTERN man EXCLUDE)
if(NOT CVMODULE_SYSTEM_LAYOUT)
  install(FILES LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR})
else()
  # Each Debian package carries the copyright file (the licence, in Debian's
  # machine-readable form) and the changelog, gzipped without a time stamp.
  file(READ LICENSE license)
  string(REGEX REPLACE "\n+$" "" license "${license}")
  string(REGEX REPLACE "\n\n" "\n.\n" license "${license}")
  string(REPLACE "\n" "\n " CVMODULE_LICENSE_TEXT " ${license}")
  configure_file(packaging/copyright.in ${PROJECT_BINARY_DIR}/debian/copyright @ONLY)
  add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/debian/changelog.gz
                     COMMAND sh -c "gzip -9n <\"$1\" >\"$2\"" sh ${PROJECT_SOURCE_DIR}/packaging/changelog
                             ${PROJECT_BINARY_DIR}/debian/changelog.gz
                     DEPENDS packaging/changelog VERBATIM)
  add_custom_target(debian_changelog ALL DEPENDS ${PROJECT_BINARY_DIR}/debian/changelog.gz)
  foreach(package IN ITEMS runtime dev standin)
    set(directory ${CMAKE_INSTALL_DATADIR}/doc/cvmodule)
    if(package STREQUAL "dev")
      set(directory ${directory}-dev)
    elseif(package STREQUAL "standin")
      set(directory ${directory}-standin-dev)
    endif()
    install(FILES ${PROJECT_BINARY_DIR}/debian/copyright ${PROJECT_BINARY_DIR}/debian/changelog.gz
            DESTINATION ${directory} COMPONENT ${package})
  endforeach()
endif()

if(TARGET ljungcv AND NOT WIN32)
  install(FILES packaging/ljungcv.bash DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
          RENAME ljungcv)
  find_program(CVMODULE_HELP2MAN help2man)
  if(CVMODULE_HELP2MAN AND NOT CMAKE_CROSSCOMPILING)
    set(page ${PROJECT_BINARY_DIR}/man/ljungcv.1.gz)
    add_custom_command(OUTPUT ${page}
                       COMMAND ${PROJECT_SOURCE_DIR}/packaging/manpage.sh ${CVMODULE_HELP2MAN} $<TARGET_FILE:ljungcv> ${page}
                       DEPENDS ljungcv packaging/manpage.sh VERBATIM)
    add_custom_target(ljungcv_man ALL DEPENDS ${page})
    install(FILES ${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  elseif(CVMODULE_SYSTEM_LAYOUT)
    message(FATAL_ERROR "The man page of a /usr install is made with help2man (Debian package help2man)")
  else()
    message(STATUS "help2man not found: no man page")
  endif()
endif()
