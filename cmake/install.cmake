# Install the headers, both libraries and the programs, with a CMake package
# (find_package(kinkbench CONFIG) -> kinkbench::kinkbench) and a pkg-config file.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set_target_properties(kinkbench_shared PROPERTIES EXPORT_NAME kinkbench)
set_target_properties(kinkbench_static PROPERTIES EXPORT_NAME kinkbench_static)
install(TARGETS kinkbench_shared kinkbench_static EXPORT kinkbenchTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/kinkbench
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(TARGETS kinkbench_cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
foreach(program mmeval nseval)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()

set(KINKBENCH_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/kinkbench)
install(EXPORT kinkbenchTargets NAMESPACE kinkbench:: DESTINATION ${KINKBENCH_CMAKE_DIR})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/kinkbenchConfig.cmake.in
  ${PROJECT_BINARY_DIR}/kinkbenchConfig.cmake INSTALL_DESTINATION ${KINKBENCH_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/kinkbenchConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/kinkbenchConfig.cmake
  ${PROJECT_BINARY_DIR}/kinkbenchConfigVersion.cmake DESTINATION ${KINKBENCH_CMAKE_DIR})

# Relative to the file itself, so that the installed tree can be moved.
file(RELATIVE_PATH KINKBENCH_PC_UP /root/${CMAKE_INSTALL_LIBDIR}/pkgconfig /root)
configure_file(${PROJECT_SOURCE_DIR}/cmake/kinkbench.pc.in ${PROJECT_BINARY_DIR}/kinkbench.pc
  @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/kinkbench.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
