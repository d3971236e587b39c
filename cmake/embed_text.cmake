# Turns a text file (data/metadata.json) into a C++ function returning it, so that the
# command carries the per-problem facts without reading a file at run time:
#   cmake -DINPUT=data/metadata.json -DOUTPUT=metadata_text.cpp -DNAME=metadata_json -P cmake/embed_text.cmake
# The text goes in as raw string pieces below the length a compiler must accept for one
# literal; the function joins them once.
cmake_minimum_required(VERSION 3.25)

file(READ "${INPUT}" text)
string(FIND "${text}" ")kb\"" clash)
if(NOT clash EQUAL -1)
  message(FATAL_ERROR "${INPUT} holds the raw string delimiter )kb\"")
endif()
string(LENGTH "${text}" length)
set(pieces "")
set(offset 0)
while(offset LESS length)
  string(SUBSTRING "${text}" ${offset} 16000 piece)
  string(APPEND pieces "    R\"kb(${piece})kb\",\n")
  math(EXPR offset "${offset} + 16000")
endwhile()

file(CONFIGURE OUTPUT "${OUTPUT}.tmp" @ONLY CONTENT [=[
// Generated from @INPUT@ by cmake/embed_text.cmake; do not edit.
#include <string>
#include <string_view>

namespace kinkbench::tools {

std::string_view @NAME@() {
  static const std::string text = [] {
    const char* pieces[] = {
@pieces@    };
    std::string all;
    for (const char* piece : pieces) all += piece;
    return all;
  }();
  return text;
}

}  // namespace kinkbench::tools
]=])
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
