# The two black-box programs and the reader/writer they share.

add_library(kinkbench_blackbox STATIC
  ${PROJECT_SOURCE_DIR}/src/blackbox/point_file.cpp
  ${PROJECT_SOURCE_DIR}/src/blackbox/result_file.cpp
  ${PROJECT_SOURCE_DIR}/src/blackbox/program.cpp)
target_include_directories(kinkbench_blackbox PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_compile_options(kinkbench_blackbox PRIVATE ${KINKBENCH_WARNINGS})
target_compile_definitions(kinkbench_blackbox PRIVATE KINKBENCH_VERSION="${PROJECT_VERSION}")

foreach(program mmeval nseval)
  add_executable(${program} ${PROJECT_SOURCE_DIR}/src/${program}/main.cpp)
  target_link_libraries(${program} PRIVATE kinkbench_blackbox kinkbench_static)
  target_compile_options(${program} PRIVATE ${KINKBENCH_WARNINGS})
  # Started once per evaluation: a static binary skips the dynamic loader's work.
  if(KINKBENCH_STATIC_PROGRAMS)
    target_link_options(${program} PRIVATE -static)
  endif()
endforeach()

# The README's first command: shows both collections, then evaluates the starting point
# (2, 2) with mmeval in a scratch directory and shows the result file.
set(KINKBENCH_DEMO_DIR ${PROJECT_BINARY_DIR}/demo)
file(WRITE ${PROJECT_BINARY_DIR}/demo-input.in "2\n2\n")
add_custom_target(demo
  COMMAND $<TARGET_FILE:kinkbench_cli> list
  COMMAND ${CMAKE_COMMAND} -E echo ""
  COMMAND ${CMAKE_COMMAND} -E make_directory ${KINKBENCH_DEMO_DIR}
  COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_BINARY_DIR}/demo-input.in
          ${KINKBENCH_DEMO_DIR}/input.in
  COMMAND ${CMAKE_COMMAND} -E rm -f ${KINKBENCH_DEMO_DIR}/output.out
  COMMAND ${CMAKE_COMMAND} -E echo "input.in:"
  COMMAND ${CMAKE_COMMAND} -E cat ${KINKBENCH_DEMO_DIR}/input.in
  COMMAND ${CMAKE_COMMAND} -E chdir ${KINKBENCH_DEMO_DIR} $<TARGET_FILE:mmeval>
  COMMAND ${CMAKE_COMMAND} -E echo "output.out:"
  COMMAND ${CMAKE_COMMAND} -E cat ${KINKBENCH_DEMO_DIR}/output.out
  DEPENDS mmeval kinkbench_cli
  USES_TERMINAL
  COMMENT "the collections, and mmeval at the starting point of minimax problem 1")
