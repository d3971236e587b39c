// What both evaluation programs share around their evaluation: the fixed file names,
// reading the point and writing the result, each failure told in one stderr line.
#pragma once

#include <cstddef>

#include "blackbox/point_file.hpp"
#include "blackbox/result_file.hpp"

namespace kinkbench::blackbox {

inline constexpr const char* kInputFile = "input.in";
inline constexpr const char* kOutputFile = "output.out";

// Exit statuses after a failure; 0 means the result was written. A bad command line
// shares the status of a failed read: in both cases output.out is left alone.
inline constexpr int kInputFailed = 2;
inline constexpr int kOutputFailed = 3;
inline constexpr int kUsageFailed = 2;

// Reads the command line before either file is touched. No arguments: returns -1 and the
// program evaluates. "--help" alone prints help, "--version" alone prints
// "PROGRAM (kinkbench) VERSION", both on stdout, and returns 0. Anything else prints one
// line on stderr naming the unexpected argument and returns kUsageFailed.
int handle_arguments(const char* program, const char* help, int argc, const char* const* argv);

// The diagnostic line (with its newline, NUL-terminated, cut to fit) for a failure;
// "program: file: operation failed: reason".
std::size_t describe(const char* program, const char* file, const PointResult& r, char* out,
                     std::size_t capacity);
std::size_t describe(const char* program, const char* file, const WriteResult& r, char* out,
                     std::size_t capacity);

// Reads x(1..n) from kInputFile; on failure prints the line and returns false.
bool load_point(const char* program, double* x, int n);

// Writes the result to kOutputFile; on failure prints the line and returns false.
bool store_result(const char* program, double value);

}  // namespace kinkbench::blackbox
