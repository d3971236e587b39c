# Tests of the black-box programs: the shared reader/writer, and the programs run as
# processes. A Fortran compiler, when present, builds the reference for the
# differential test; without one that test skips.

target_link_libraries(kinkbench_tests PRIVATE kinkbench_blackbox)
target_compile_definitions(kinkbench_tests PRIVATE
  KINKBENCH_MMEVAL="$<TARGET_FILE:mmeval>" KINKBENCH_NSEVAL="$<TARGET_FILE:nseval>"
  KINKBENCH_PROJECT_VERSION="${PROJECT_VERSION}")
add_dependencies(kinkbench_tests mmeval nseval)
target_sources(kinkbench_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/fortran/differential_test.cpp)

if(CMAKE_Fortran_COMPILER)
  add_executable(kinkbench_fortran_reference ${CMAKE_CURRENT_SOURCE_DIR}/fortran/reference.f90)
  target_compile_definitions(kinkbench_tests PRIVATE
    KINKBENCH_FORTRAN_REFERENCE="$<TARGET_FILE:kinkbench_fortran_reference>")
  add_dependencies(kinkbench_tests kinkbench_fortran_reference)
endif()
