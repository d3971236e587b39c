# A Fortran program that calls the library by name and reads COMMON /EMPR06/ and
# /EMPR19/, linked once against each library kind.
if(CMAKE_Fortran_COMPILER)
  foreach(kind static shared)
    add_executable(fortran_client_${kind} ${CMAKE_CURRENT_LIST_DIR}/client.f90)
    target_link_libraries(fortran_client_${kind} PRIVATE kinkbench_${kind})
    set_target_properties(fortran_client_${kind} PROPERTIES LINKER_LANGUAGE Fortran)
    add_test(NAME FortranClient.${kind} COMMAND fortran_client_${kind})
  endforeach()
  # The static library is C++ inside.
  target_link_libraries(fortran_client_static PRIVATE stdc++ m)
endif()

# Both names of the data areas in one program, against either library kind.
foreach(kind static shared)
  add_executable(both_names_${kind} ${CMAKE_CURRENT_LIST_DIR}/both_names.c)
  target_link_libraries(both_names_${kind} PRIVATE kinkbench_${kind})
  set_target_properties(both_names_${kind} PROPERTIES LINKER_LANGUAGE CXX)
  add_test(NAME DataAreaNames.${kind} COMMAND both_names_${kind})
endforeach()
