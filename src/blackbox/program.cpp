#include "blackbox/program.hpp"

#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace kinkbench::blackbox {
namespace {

// A line cut to fit keeps its newline.
std::size_t finish(int written, char* out, std::size_t capacity) {
  if (written < 0 || capacity < 2) return 0;
  if (static_cast<std::size_t>(written) < capacity) return static_cast<std::size_t>(written);
  out[capacity - 2] = '\n';
  return capacity - 1;
}

void print(const char* line, std::size_t len, int fd = STDERR_FILENO) {
  // One write() so the line cannot interleave with another process's output.
  if (len > 0) (void)!::write(fd, line, len);
}

bool is(const char* argument, const char* option) { return std::strcmp(argument, option) == 0; }

}  // namespace

std::size_t describe(const char* program, const char* file, const PointResult& r, char* out,
                     std::size_t capacity) {
  int written = 0;
  switch (r.status) {
    case PointStatus::ok:
      written = std::snprintf(out, capacity, "%s: %s: read succeeded\n", program, file);
      break;
    case PointStatus::open_failed:
      written = std::snprintf(out, capacity, "%s: %s: open failed: %s\n", program, file,
                              std::strerror(r.errno_value));
      break;
    case PointStatus::read_failed:
      written = std::snprintf(out, capacity, "%s: %s: read failed: %s\n", program, file,
                              std::strerror(r.errno_value));
      break;
    case PointStatus::end_of_file:
      written = std::snprintf(out, capacity, "%s: %s: read failed: end of file before value %d\n",
                              program, file, r.item);
      break;
    case PointStatus::not_a_number:
      written = std::snprintf(out, capacity,
                              "%s: %s: read failed: value %d on line %lld is not a number\n",
                              program, file, r.item, static_cast<long long>(r.line));
      break;
  }
  return finish(written, out, capacity);
}

std::size_t describe(const char* program, const char* file, const WriteResult& r, char* out,
                     std::size_t capacity) {
  const char* operation = "write";
  if (r.status == WriteStatus::create_failed) operation = "create";
  if (r.status == WriteStatus::close_failed) operation = "close";
  const int written = r.status == WriteStatus::ok
                          ? std::snprintf(out, capacity, "%s: %s: write succeeded\n", program, file)
                          : std::snprintf(out, capacity, "%s: %s: %s failed: %s\n", program, file,
                                          operation, std::strerror(r.errno_value));
  return finish(written, out, capacity);
}

int handle_arguments(const char* program, const char* help, int argc, const char* const* argv) {
  if (argc <= 1) return -1;
  // -h as well, since that is what people try first.
  const auto asks_help = [](const char* arg) { return is(arg, "--help") || is(arg, "-h"); };
  if (argc == 2 && asks_help(argv[1])) {
    print(help, std::strlen(help), STDOUT_FILENO);
    return 0;
  }
  char line[256];
  if (argc == 2 && is(argv[1], "--version")) {
    const int written =
        std::snprintf(line, sizeof line, "%s (kinkbench) %s\n", program, KINKBENCH_VERSION);
    print(line, finish(written, line, sizeof line), STDOUT_FILENO);
    return 0;
  }
  // After a valid option the second argument is the unexpected one.
  const bool option_first = asks_help(argv[1]) || is(argv[1], "--version");
  const char* unexpected = option_first ? argv[2] : argv[1];
  const int written = std::snprintf(
      line, sizeof line, "%s: unexpected argument '%s' (%s takes no arguments; see %s --help)\n",
      program, unexpected, program, program);
  print(line, finish(written, line, sizeof line));
  return kUsageFailed;
}

bool load_point(const char* program, double* x, int n) {
  const PointResult r = read_point_file(kInputFile, x, n);
  if (r.status == PointStatus::ok) return true;
  char line[256];
  print(line, describe(program, kInputFile, r, line, sizeof line));
  return false;
}

bool store_result(const char* program, double value) {
  const WriteResult r = write_result_file(kOutputFile, value);
  if (r.status == WriteStatus::ok) return true;
  char line[256];
  print(line, describe(program, kOutputFile, r, line, sizeof line));
  return false;
}

}  // namespace kinkbench::blackbox
