# The programs under injected I/O failures: an LD_PRELOAD shim, and copies of the two
# programs linked dynamically (a static program cannot be interposed on).

add_library(kinkbench_fault_shim SHARED ${CMAKE_CURRENT_LIST_DIR}/shim.c)
target_link_libraries(kinkbench_fault_shim PRIVATE ${CMAKE_DL_LIBS})
foreach(program mmeval nseval)
  add_executable(${program}_dynamic ${PROJECT_SOURCE_DIR}/src/${program}/main.cpp)
  target_link_libraries(${program}_dynamic PRIVATE kinkbench_blackbox kinkbench_static)
  add_dependencies(kinkbench_tests ${program}_dynamic)
endforeach()
add_dependencies(kinkbench_tests kinkbench_fault_shim)
target_compile_definitions(kinkbench_tests PRIVATE
  KINKBENCH_FAULT_SHIM="$<TARGET_FILE:kinkbench_fault_shim>"
  KINKBENCH_MMEVAL_DYNAMIC="$<TARGET_FILE:mmeval_dynamic>"
  KINKBENCH_NSEVAL_DYNAMIC="$<TARGET_FILE:nseval_dynamic>")
# Plain code: an instrumented shim preloaded ahead of the sanitizer runtime would not load.
target_compile_options(kinkbench_fault_shim PRIVATE -fno-sanitize=all)
target_link_options(kinkbench_fault_shim PRIVATE -fno-sanitize=all)
# Its functions must be exported to interpose on the C library's.
set_target_properties(kinkbench_fault_shim PROPERTIES C_VISIBILITY_PRESET default)
