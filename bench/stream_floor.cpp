// The floor for `kinkbench eval nonsmooth 11 --stream [--gradient] [--json]` with a
// pipelined client: the least a server can do for the same answers. It reads lines of
// four numbers (blanks or commas between them) and parses each with the command's own
// number parser, evaluates with the C routines tffu19 and tfgu19, formats with the
// command's primitives (to_chars: 17 significant digits for text, the shortest form for
// JSON) and writes through a 64 KiB stdio buffer that is flushed only when full and at the
// end, so it cannot serve a client in lock-step. No checks and no error lines.
//
// usage: stream_floor [--gradient] [--json] < points > answers
#include <charconv>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "kinkbench/kinkbench.h"
#include "tools/arguments.hpp"

namespace {

char* text_number(char* at, char* end, double v) {
  return std::to_chars(at, end, v, std::chars_format::general, 17).ptr;
}

char* json_number(char* at, char* end, double v) {
  char* const start = at;
  at = std::to_chars(at, end, v).ptr;
  if (std::string_view(start, static_cast<size_t>(at - start)).find_first_of(".en") ==
      std::string_view::npos) {
    *at++ = '.';
    *at++ = '0';
  }
  return at;
}

}  // namespace

int main(int argc, char** argv) {
  bool gradient = false, json = false;
  for (int i = 1; i < argc; ++i) {
    gradient = gradient || std::strcmp(argv[i], "--gradient") == 0;
    json = json || std::strcmp(argv[i], "--json") == 0;
  }
  int n = 4, iprob = 11, ierr = 0;
  double x[4], g[4], fmin = 0, stepmax = 0, f = 0;
  tiud19(&n, x, &fmin, &stepmax, &iprob, &ierr);
  static char out_buffer[1 << 16];
  std::setvbuf(stdout, out_buffer, _IOFBF, sizeof out_buffer);
  static char line[1 << 12];
  long long number = 0;
  while (fgets_unlocked(line, sizeof line, stdin)) {
    ++number;
    const char* at = line;
    for (double& v : x) {
      while (*at == ' ' || *at == ',') ++at;
      const char* word = at;
      while (*at != ' ' && *at != ',' && *at != '\n' && *at != '\0') ++at;
      kinkbench::tools::number_word({word, static_cast<size_t>(at - word)}, v);
    }
    tffu19(&n, x, &f, &iprob);
    if (gradient) tfgu19(&n, x, g, &iprob);
    char text[512];
    char* const end = text + sizeof text;
    char* out = text;
    if (json) {
      std::memcpy(out, "{\"line\":", 8);
      out = std::to_chars(out + 8, end, number).ptr;
      std::memcpy(out, ",\"value\":", 9);
      out = json_number(out + 9, end, f);
      if (gradient) {
        std::memcpy(out, ",\"gradient\":[", 13);
        out += 13;
        for (int i = 0; i < n; ++i) {
          if (i > 0) *out++ = ',';
          out = json_number(out, end, g[i]);
        }
        *out++ = ']';
      }
      *out++ = '}';
    } else {
      out = text_number(out, end, f);
      for (int i = 0; gradient && i < n; ++i) {
        *out++ = ' ';
        out = text_number(out, end, g[i]);
      }
    }
    *out++ = '\n';
    fwrite_unlocked(text, 1, static_cast<size_t>(out - text), stdout);
  }
  return std::fflush(stdout) == 0 ? 0 : 1;
}
