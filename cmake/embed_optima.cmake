# Turns data/optima.json into a C++ table, so that the library carries its best-known
# optima without reading a file at run time. Run as a script, by the CMake build and by
# the Python package's build alike:
#   cmake -DINPUT=data/optima.json -DOUTPUT=optima_table.cpp -P cmake/embed_optima.cmake
# CMake prints numbers with 17 significant digits,
# which read back to the same doubles.
cmake_minimum_required(VERSION 3.25)

function(c_string out text)
  string(REPLACE "\\" "\\\\" text "${text}")
  string(REPLACE "\"" "\\\"" text "${text}")
  set(${out} "\"${text}\"" PARENT_SCOPE)
endfunction()

# A whole number is printed without a point; make it a double literal, not a narrowing
# integer one.
function(as_double out text)
  if(text MATCHES "^-?[0-9]+$")
    set(text "${text}.0")
  endif()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

set(body "")
set(rows "")
set(counts "")
file(READ "${INPUT}" json)
foreach(collection minimax nonsmooth)
  string(JSON count ERROR_VARIABLE missing LENGTH "${json}" ${collection})
  if(missing)
    set(count 0)
  endif()
  set(collection_rows "")
  if(count GREATER 0)
    math(EXPR last "${count} - 1")
    foreach(i RANGE ${last})
      string(JSON number GET "${json}" ${collection} ${i} number)
      string(JSON n GET "${json}" ${collection} ${i} n)
      string(JSON value GET "${json}" ${collection} ${i} best_value)
      as_double(value "${value}")
      string(JSON status GET "${json}" ${collection} ${i} status)
      string(JSON method GET "${json}" ${collection} ${i} method)
      string(JSON point_length LENGTH "${json}" ${collection} ${i} best_point)
      if(NOT point_length EQUAL n)
        message(FATAL_ERROR "${INPUT}: ${collection} ${number}: best_point has "
                            "${point_length} entries, n is ${n}")
      endif()
      set(point "")
      math(EXPR point_last "${point_length} - 1")
      foreach(j RANGE ${point_last})
        string(JSON x GET "${json}" ${collection} ${i} best_point ${j})
        as_double(x "${x}")
        string(APPEND point "${x}, ")
      endforeach()
      set(name "k_${collection}_${number}")
      string(APPEND body "constexpr double ${name}[] = {${point}};\n")
      c_string(status_text "${status}")
      c_string(method_text "${method}")
      # An entry is local exactly when the problem is unbounded below.
      if(status STREQUAL "local")
        set(unbounded true)
      else()
        set(unbounded false)
      endif()
      string(APPEND collection_rows
             "    {${number}, ${n}, ${value}, {${name}, ${n}}, ${status_text}, ${method_text}, "
             "${unbounded}},\n")
    endforeach()
  endif()
  if(collection_rows STREQUAL "")
    set(collection_rows "    {0, 0, 0, {}, \"\", \"\", false},\n")
  endif()
  string(APPEND rows "const BestKnown k_${collection}[] = {\n${collection_rows}};\n")
  list(APPEND counts ${count})
endforeach()
list(GET counts 0 minimax_count)
list(GET counts 1 nonsmooth_count)

file(CONFIGURE OUTPUT "${OUTPUT}.tmp" @ONLY CONTENT [=[
// Generated from data/optima.json by cmake/embed_optima.cmake; do not edit.
#include "api/optima_table.hpp"

namespace kinkbench::detail {
namespace {

@body@
@rows@
}  // namespace

std::span<const BestKnown> stored_optima(bool minimax) {
  return minimax ? std::span<const BestKnown>(k_minimax, @minimax_count@)
                 : std::span<const BestKnown>(k_nonsmooth, @nonsmooth_count@);
}

}  // namespace kinkbench::detail
]=])
# Rewrite only on change, so an untouched data file rebuilds nothing.
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
