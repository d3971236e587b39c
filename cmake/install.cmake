# Install the headers, both libraries and the programs, with a CMake package
# (find_package(kinkbench CONFIG) -> kinkbench::kinkbench, kinkbench::kinkbench_static)
# and pkg-config files (kinkbench for C and Fortran, kinkbench-c++ for C++).
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(KINKBENCH_INSTALLED_PROGRAMS kinkbench_cli mmeval nseval)

set_target_properties(kinkbench_shared PROPERTIES EXPORT_NAME kinkbench)
set_target_properties(kinkbench_static PROPERTIES EXPORT_NAME kinkbench_static)
install(TARGETS kinkbench_shared kinkbench_static EXPORT kinkbenchTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/kinkbench
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(TARGETS ${KINKBENCH_INSTALLED_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_SOURCE_DIR}/NOTICE
  DESTINATION ${CMAKE_INSTALL_DOCDIR})

# Run paths relative to the installed file, so that an installed tree finds its own
# library without LD_LIBRARY_PATH, also after it has been moved.
file(RELATIVE_PATH KINKBENCH_BIN_TO_LIB ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_LIBDIR})
# Statically linked programs have no run path to set.
set(KINKBENCH_DYNAMIC_PROGRAMS kinkbench_cli)
if(NOT KINKBENCH_STATIC_PROGRAMS)
  list(APPEND KINKBENCH_DYNAMIC_PROGRAMS mmeval nseval)
endif()
set_target_properties(kinkbench_shared PROPERTIES INSTALL_RPATH "$ORIGIN")
set_target_properties(${KINKBENCH_DYNAMIC_PROGRAMS} PROPERTIES
  INSTALL_RPATH "$ORIGIN/${KINKBENCH_BIN_TO_LIB}")

# `cmake --install` straight after the README's first command must find every file.
add_dependencies(demo kinkbench_shared kinkbench_static ${KINKBENCH_INSTALLED_PROGRAMS})

set(KINKBENCH_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/kinkbench)
install(EXPORT kinkbenchTargets NAMESPACE kinkbench:: DESTINATION ${KINKBENCH_CMAKE_DIR})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/kinkbenchConfig.cmake.in
  ${PROJECT_BINARY_DIR}/kinkbenchConfig.cmake INSTALL_DESTINATION ${KINKBENCH_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/kinkbenchConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/kinkbenchConfig.cmake
  ${PROJECT_BINARY_DIR}/kinkbenchConfigVersion.cmake DESTINATION ${KINKBENCH_CMAKE_DIR})

# Relative to the file itself, so that the installed tree can be moved. C and C++ need
# two files: the C++ headers need -std=c++20, which a C compiler rejects.
file(RELATIVE_PATH KINKBENCH_PC_UP /root/${CMAKE_INSTALL_LIBDIR}/pkgconfig /root)
string(REGEX REPLACE "/$" "" KINKBENCH_PC_UP "${KINKBENCH_PC_UP}")
foreach(pc kinkbench kinkbench-c++)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/${pc}.pc.in ${PROJECT_BINARY_DIR}/${pc}.pc @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/${pc}.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
endforeach()
