// The point reader and the result writer against a Fortran runtime's list-directed
// read and "(E15.6)" write, on seeded inputs. Only forms inside the reader's grammar
// are generated, and where the two are known to differ the generator stays away:
// NaN, Inf, exponents without a letter (1+5) or with Q, semicolons, NUL bytes, repeat
// counts above about 2*10^8 (the runtime reports an overflow), a comma or slash opening a line
// after blank lines directly followed by more text (the runtime takes it for a separator, the
// grammar for a null), a carriage return that does not end its line (the runtime takes it for a
// blank, the grammar for an error) and a file ending without a line end right after a slash or an
// r* null (the runtime reports an end of file). Skips without a Fortran compiler.
#include <gtest/gtest.h>

#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "blackbox/point_file.hpp"
#include "blackbox/result_file.hpp"
#include "fortran/process.hpp"

namespace bb = kinkbench::blackbox;

namespace {

#ifdef KINKBENCH_FORTRAN_REFERENCE

std::uint64_t bits(double v) {
  std::uint64_t b;
  std::memcpy(&b, &v, sizeof b);
  return b;
}

double from_bits(std::uint64_t b) {
  double v;
  std::memcpy(&v, &b, sizeof v);
  return v;
}

std::string hex(double v) {
  char text[24];
  std::snprintf(text, sizeof text, "%016" PRIX64, bits(v));
  return text;
}

// The input with its control bytes made visible, for failure messages.
std::string escaped(const std::string& text) {
  std::string s;
  for (const char ch : text) {
    if (ch == '\n') {
      s += "\\n";
    } else if (ch == '\r') {
      s += "\\r";
    } else if (ch == '\t') {
      s += "\\t";
    } else {
      s += ch;
    }
  }
  return s;
}

class Generator {
 public:
  explicit Generator(std::uint64_t seed) : rng_(seed) {}

  // One point file for n values; the items are drawn from the grammar, with a few
  // rejected forms and files that end early.
  std::string point_file(int n) {
    std::string text;
    for (int i = 0; i < n; ++i) {
      if (pick(40) == 0) break;  // too few values
      bool blank_before = false;
      if (i > 0 || pick(4) == 0) {
        for (int b = pick(4) == 0 ? 1 + pick(2) : 0; b > 0; --b) {
          text += one_of({"", " ", "\t", "  \t ", " \r"}) + eol();
          blank_before = true;
        }
      }
      std::string line = one_of({"", "", " ", "  ", "\t", " \t"});
      line += item(!blank_before);
      line += one_of({"", "", "", " ", ",", "/", "\t", " junk", ",9", "/ 7", " 1 2 3", ", ,"});
      // The runtime reports an end of file where the file ends just after an item's
      // slash or after r*, without a line end; the grammar reads the item.
      const bool quirk = line.find('/') != std::string::npos || line.back() == '*';
      text += line;
      if (i + 1 < n || quirk || pick(3) != 0) text += eol();
    }
    return text;
  }

  double value() {
    switch (pick(4)) {
      case 0:
        return from_bits(rng_());  // any bits: NaN, infinities, subnormals
      case 1: {                    // near and at decimal ties of the sixth digit
        char text[64];
        std::snprintf(text, sizeof text, "%s%d5e%d", pick(2) ? "-" : "", 100000 + pick(900000),
                      pick(630) - 330);
        const double v = std::strtod(text, nullptr);
        return pick(2) ? v : std::nextafter(v, pick(2) ? 0.0 : 1e308);
      }
      case 2:  // carries into the exponent
        return std::pow(10.0, pick(600) - 300) * (9.9999995 + (pick(3) - 1) * 1e-8);
      default:
        return static_cast<double>(pick(100000000));
    }
  }

 private:
  int pick(int bound) { return static_cast<int>(rng_() % static_cast<std::uint64_t>(bound)); }
  std::string one_of(std::initializer_list<const char*> choices) {
    return *(choices.begin() + pick(static_cast<int>(choices.size())));
  }
  std::string eol() { return pick(5) == 0 ? "\r\n" : "\n"; }
  std::string digits(int count) {
    std::string s;
    for (int i = 0; i < count; ++i) s += static_cast<char>('0' + pick(10));
    return s;
  }

  std::string number() {
    std::string s = one_of({"", "", "+", "-"});
    const int length = pick(30) == 0 ? 300 + pick(600) : pick(12);
    const int before = pick(length + 1);
    std::string lead = pick(4) == 0 ? std::string(static_cast<std::size_t>(pick(5)), '0') : "";
    s += lead + digits(before);
    const bool point = pick(3) != 0;
    if (point) s += '.';
    s += digits(length - before);
    if (lead.empty() && length == 0) s += point ? "5" : "7";
    if (pick(2) == 0) {
      s += one_of({"E", "e", "D", "d"});
      s += one_of({"", "+", "-"});
      s += pick(8) == 0 ? std::to_string(300 + pick(100)) : std::to_string(pick(40));
    }
    return s;
  }

  std::string item(bool comma_allowed) {
    switch (pick(20)) {
      case 0:
        return std::to_string(1 + pick(999)) + "*" + number();
      case 1:
        return std::to_string(1 + pick(99)) + "*";
      case 2:
        return comma_allowed ? "," : "/";
      case 3:
        return "/";
      case 4:
        return one_of({"abc", "1.2.3", "1e", "1e+", "+", "-", ".", "--1", "0*5", "3**5", "3*abc",
                       "1x", "T", "e5", "1d", "2abc", "+3*5", "1e--1", "1.5."});
      default:
        return number();
    }
  }

  std::mt19937_64 rng_;
};

TEST(FortranDifferential, ReaderAndWriterAgreeWithTheFortranRuntime) {
  const kbtest::ScratchDir dir;
  ASSERT_TRUE(dir.ok());
  Generator gen(0x6b696e6b);
  const int cases = 3000;
  const double start[4] = {2, -7.25, 0.125, 9};
  std::vector<int> dims;
  std::string list = std::to_string(cases) + "\n";
  for (int i = 1; i <= cases; ++i) {
    const int n = i % 2 ? 2 : 4;
    dims.push_back(n);
    kbtest::write_file(dir / ("c" + std::to_string(i) + ".in"), gen.point_file(n));
    char head[8];
    std::snprintf(head, sizeof head, "%2d", n);
    list += head;
    for (int j = 0; j < n; ++j) list += " " + hex(start[j]);
    list += "\n";
  }
  kbtest::write_file(dir / "cases.txt", list);

  const int count = 30000;
  std::vector<double> values;
  std::string value_list = std::to_string(count) + "\n";
  for (int i = 0; i < count; ++i) {
    values.push_back(gen.value());
    value_list += hex(values.back()) + "\n";
  }
  kbtest::write_file(dir / "values.txt", value_list);

  const kbtest::RunResult run = kbtest::run_in(KINKBENCH_FORTRAN_REFERENCE, dir.path());
  ASSERT_EQ(run.status, 0) << run.err;

  std::istringstream answers(kbtest::read_file(dir / "cases.out").value_or(""));
  int accepted = 0;
  for (int i = 1; i <= cases; ++i) {
    std::string line;
    ASSERT_TRUE(std::getline(answers, line)) << "case " << i;
    const std::string input = kbtest::read_file(dir / ("c" + std::to_string(i) + ".in")).value();
    double x[4];
    std::memcpy(x, start, sizeof x);
    const bb::PointResult r = bb::parse_point(input.data(), input.size(), x, dims[i - 1]);
    std::string ours = "ERR";
    if (r.status == bb::PointStatus::ok) {
      ours = "OK";
      for (int j = 0; j < dims[i - 1]; ++j) ours += " " + hex(x[j]);
      ++accepted;
    }
    EXPECT_EQ(ours, line) << "case " << i << ": " << escaped(input);
  }
  EXPECT_GT(accepted, cases / 3);  // the comparison covers values, not only errors

  std::istringstream written(kbtest::read_file(dir / "values.out").value_or(""));
  for (const double v : values) {
    std::string line;
    ASSERT_TRUE(std::getline(written, line));
    char out[bb::kResultWidth];
    bb::format_e15_6(v, out);
    EXPECT_EQ(std::string(out, sizeof out), line) << hex(v);
  }
}

#else

TEST(FortranDifferential, ReaderAndWriterAgreeWithTheFortranRuntime) {
  GTEST_SKIP() << "no Fortran compiler was found";
}

#endif

}  // namespace
