# What `cmake --install` puts in the prefix, all at paths relative to it so
# that the tree can move: bin/ljungcv, the module and libcvhost in lib/
# (cvhost.dll in bin/), headers in include/cvmodule/, the CMake package in
# lib/cmake/cvmodule/, lib/pkgconfig/cvhost.pc, and the README and licence.
include(CMakePackageConfigHelpers)

set(CVMODULE_CMAKE_DIR lib/cmake/cvmodule)
if(WIN32)
  set(CVMODULE_MODULE_FILE lib/cvmodule.dll)
else()
  set(CVMODULE_MODULE_FILE lib/libcvmodule.so)
endif()

install(EXPORT cvmoduleTargets NAMESPACE cvmodule:: DESTINATION ${CVMODULE_CMAKE_DIR})
configure_package_config_file(cmake/cvmoduleConfig.cmake.in ${PROJECT_BINARY_DIR}/cvmoduleConfig.cmake
                              INSTALL_DESTINATION ${CVMODULE_CMAKE_DIR} PATH_VARS CVMODULE_MODULE_FILE)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/cvmoduleConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/cvmoduleConfig.cmake ${PROJECT_BINARY_DIR}/cvmoduleConfigVersion.cmake
        DESTINATION ${CVMODULE_CMAKE_DIR})

configure_file(kit/cvhost.pc.in ${PROJECT_BINARY_DIR}/cvhost.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/cvhost.pc DESTINATION lib/pkgconfig)

install(FILES README.md LICENSE DESTINATION share/doc/cvmodule)
