# cmake --install: the shared library and its public headers, the
# command-line tools, the data directory under share/, the licence and
# notice, a CMake package (find_package(zorvseg) -> zorvseg::zorvseg) and a
# pkg-config file. Both packages locate the prefix from where they were
# installed, so an installed tree can be moved.
include(CMakePackageConfigHelpers)

set(ZORVSEG_CMAKE_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/zorvseg)

install(TARGETS zorvseg_shared EXPORT zorvsegTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
        FILES_MATCHING PATTERN "*.h")
install(TARGETS zorvseg zorvseg-build zorvseg-train RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(PROGRAMS ${CMAKE_BINARY_DIR}/bin/zorvseg-eval ${CMAKE_BINARY_DIR}/bin/zorvseg-dask
        DESTINATION ${CMAKE_INSTALL_BINDIR})
# Build trees made before the data directory held data only may still have
# CMake's files in it.
install(DIRECTORY ${ZORVSEG_DATA_DIR}/ DESTINATION ${ZORVSEG_INSTALL_DATA_DIR}
        PATTERN CMakeFiles EXCLUDE PATTERN Makefile EXCLUDE PATTERN "*.cmake" EXCLUDE)
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_SOURCE_DIR}/README.md
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

install(EXPORT zorvsegTargets NAMESPACE zorvseg:: DESTINATION ${ZORVSEG_CMAKE_PACKAGE_DIR})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/zorvsegConfig.cmake.in
  ${CMAKE_BINARY_DIR}/cmake/zorvsegConfig.cmake
  INSTALL_DESTINATION ${ZORVSEG_CMAKE_PACKAGE_DIR}
  PATH_VARS ZORVSEG_INSTALL_DATA_DIR)
write_basic_package_version_file(${CMAKE_BINARY_DIR}/cmake/zorvsegConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/cmake/zorvsegConfig.cmake
              ${CMAKE_BINARY_DIR}/cmake/zorvsegConfigVersion.cmake
        DESTINATION ${ZORVSEG_CMAKE_PACKAGE_DIR})

file(RELATIVE_PATH ZORVSEG_PC_TO_PREFIX ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig
     ${CMAKE_INSTALL_PREFIX})
configure_file(${PROJECT_SOURCE_DIR}/cmake/zorvseg.pc.in ${CMAKE_BINARY_DIR}/cmake/zorvseg.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/cmake/zorvseg.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
