// The point-file reader: the accepted forms, the rejected ones, correct rounding, and
// arbitrary bytes read in memory and through a tiny buffer alike.
#include "blackbox/point_file.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "fortran/process.hpp"

namespace bb = kinkbench::blackbox;

namespace {

constexpr double kStart[4] = {2, -7.25, 0.125, 9};

struct Parsed {
  bb::PointResult result;
  double x[4];
};

// Parses from a heap block of exactly the text's size, so that a read past its end is
// caught by the address sanitizer.
Parsed parse(const std::string& text, int n = 2) {
  Parsed p{};
  std::memcpy(p.x, kStart, sizeof p.x);
  const std::unique_ptr<char[]> block(new char[text.size() + 1]);
  std::memcpy(block.get(), text.data(), text.size());
  p.result = bb::parse_point(block.get(), text.size(), p.x, n);
  return p;
}

std::uint64_t bits(double v) {
  std::uint64_t b;
  std::memcpy(&b, &v, sizeof b);
  return b;
}

struct Accepted {
  const char* text;
  double x1;
  double x2;
};

TEST(PointFile, AcceptsEveryFormOfTheGrammar) {
  const Accepted cases[] = {
      {"2\n2\n", 2, 2},
      {"1.5D0\n-0.5\n", 1.5, -0.5},
      {"1.5d0\n2.5E-3\n", 1.5, 2.5e-3},
      {"1.0D+00\n1e+2\n", 1, 100},
      {"+.5\n5.\n", 0.5, 5},
      {"-.5e-1\n1.e5\n", -0.05, 1e5},
      {"007\n0.000\n", 7, 0},
      {"  \t 3\n\t4", 3, 4},            // leading blanks and tabs, no final newline
      {"\n  \n\t\n3\n\n \n4\n", 3, 4},  // blank lines passed over
      {"3\r\n4\r\n", 3, 4},             // carriage return before the line end
      {"3\r\r\n \r\n4\r", 3, 4},        // a run of them, and before the text's end
      {"3*\r\n,\r\n", 2, -7.25},
      {"2 3\n4\n", 2, 4},  // the rest of a line is ignored
      {"3,junk\n4/junk\n", 3, 4},
      {"3 junk 9\n4\tjunk\n", 3, 4},
      {"3*1.5\n2*-4\n", 1.5, -4},  // r*c stands for c
      {"01*5\n1*+.5e+1\n", 5, 5},
      {"3*\n4\n", 2, 4},  // r* is a null
      {"3* 5\n3*,5\n", 2, -7.25},
      {",5\n  , 6\n", 2, -7.25},  // a comma first is a null
      {"/\n 3*/ \n", 2, -7.25},   // so is a slash
      {"1 e5\n2\n", 1, 2},        // the blank ends the value
  };
  for (const Accepted& c : cases) {
    const Parsed p = parse(c.text);
    ASSERT_EQ(p.result.status, bb::PointStatus::ok) << c.text;
    EXPECT_EQ(bits(p.x[0]), bits(c.x1)) << c.text;
    EXPECT_EQ(bits(p.x[1]), bits(c.x2)) << c.text;
  }
  const Parsed signed_zero = parse("-0\n-0.0e0\n");
  EXPECT_TRUE(std::signbit(signed_zero.x[0]) && signed_zero.x[0] == 0);
  EXPECT_TRUE(std::signbit(signed_zero.x[1]) && signed_zero.x[1] == 0);
}

TEST(PointFile, NullsLeaveTheirOwnElementOnly) {
  const Parsed p = parse("1\n,\n3*\n4\n", 4);
  ASSERT_EQ(p.result.status, bb::PointStatus::ok);
  EXPECT_EQ(p.x[0], 1);
  EXPECT_EQ(p.x[1], kStart[1]);
  EXPECT_EQ(p.x[2], kStart[2]);
  EXPECT_EQ(p.x[3], 4);
}

struct Rejected {
  std::string text;
  int item;
  int line;
};

TEST(PointFile, RejectsWhatIsNotANumberWithItsPlace) {
  using namespace std::string_literals;
  // NaN, Inf, 1+5, 1q5, 1;, a NUL line and huge repeat counts pass a Fortran runtime's
  // list-directed read but are outside the grammar.
  const Rejected cases[] = {
      {"abc\n1\n", 1, 1},
      {"1.2.3\n1\n", 1, 1},
      {"NaN\n1\n", 1, 1},
      {"Inf\n1\n", 1, 1},
      {"-Infinity\n", 1, 1},
      {"0*5\n1\n", 1, 1},
      {"00*5\n1\n", 1, 1},
      {"+3*5\n1\n", 1, 1},
      {"3**5\n1\n", 1, 1},
      {"3*abc\n1\n", 1, 1},
      {"3*2*5\n1\n", 1, 1},
      {"*5\n1\n", 1, 1},
      {"1+5\n1\n", 1, 1},
      {"1q5\n1\n", 1, 1},
      {"1;\n2\n", 1, 1},
      {"1E\n1\n", 1, 1},
      {"1e+\n1\n", 1, 1},
      {"1e 5\n1\n", 1, 1},
      {"1e--1\n1\n", 1, 1},
      {".\n1\n", 1, 1},
      {"+\n1\n", 1, 1},
      {"--1\n1\n", 1, 1},
      {"e5\n1\n", 1, 1},
      {"0x10\n1\n", 1, 1},
      {"2abc\n1\n", 1, 1},
      {"T\n1\n", 1, 1},
      {"\f1\n1\n", 1, 1},
      {"\x00\n1\n"s, 1, 1},
      {"1\x00\n2\n"s, 1, 1},
      {"\xef\xbb\xbf"
       "1\n2\n",
       1, 1},
      {"3\r5\n4\n", 1, 1},  // a carriage return not before the line end
      {"\r3\n4\n", 1, 1},
      {"1\n \r \n2\n", 2, 2},
      {"1\n3*\r5\n", 2, 2},
      {"1\n3\r\r,\n", 2, 2},
      {"1\n\n \nabc 7\n", 2, 4},
      {"1.5 junk\nmore 7\n", 2, 2},
  };
  for (const Rejected& c : cases) {
    const Parsed p = parse(c.text);
    EXPECT_EQ(p.result.status, bb::PointStatus::not_a_number) << c.text;
    EXPECT_EQ(p.result.item, c.item) << c.text;
    EXPECT_EQ(p.result.line, c.line) << c.text;
  }
}

TEST(PointFile, TooFewValuesEndTheFile) {
  const Rejected cases[] = {
      {"", 1, 1},  {" \n\t\n", 1, 3},   {"2 3\n", 2, 2},
      {"2", 2, 2}, {"2\n\n  \n", 2, 4}, {"2*\n", 2, 2},
  };
  for (const Rejected& c : cases) {
    const Parsed p = parse(c.text);
    EXPECT_EQ(p.result.status, bb::PointStatus::end_of_file) << c.text;
    EXPECT_EQ(p.result.item, c.item) << c.text;
    EXPECT_EQ(p.result.line, c.line) << c.text;
  }
  EXPECT_EQ(parse("1\n2\n3\n", 4).result.status, bb::PointStatus::end_of_file);
}

double strtod_of(std::string text) {
  for (char& ch : text) {
    if (ch == 'd' || ch == 'D') ch = 'e';
  }
  return std::strtod(text.c_str(), nullptr);
}

TEST(PointFile, ConvertsCorrectlyRounded) {
  // 1 + 2^-53 exactly: a tie that goes to even, and up once anything follows it,
  // however far out.
  const std::string tie = "1.00000000000000011102230246251565404236316680908203125";
  EXPECT_EQ(parse(tie + "\n0\n").x[0], 1.0);
  const double up = std::nextafter(1.0, 2.0);
  EXPECT_EQ(parse(tie + std::string(5000, '0') + "1\n0\n").x[0], up);
  EXPECT_EQ(parse(tie + std::string(5000, '0') + "\n0\n").x[0], 1.0);
  // Leading zeros and the exponent cancel exactly.
  EXPECT_EQ(parse("0." + std::string(5000, '0') + "1e5010\n0\n").x[0], 1e9);
  // Appended rather than concatenated: g++ 12 misreads "1" + string as overlapping copies.
  std::string one = "1";
  one.append(5000, '0').append("e-5000\n0\n");
  EXPECT_EQ(parse(one).x[0], 1.0);
  // Out of range: infinities, subnormals and zero as round-to-nearest gives them.
  const double inf = std::numeric_limits<double>::infinity();
  const double tiny = std::numeric_limits<double>::denorm_min();
  EXPECT_EQ(parse("1e400\n-1D400\n").x[0], inf);
  EXPECT_EQ(parse("1e400\n-1D400\n").x[1], -inf);
  EXPECT_EQ(parse("1e99999999999999999999999\n0\n").x[0], inf);
  EXPECT_EQ(parse("0e99999999999999999999999\n0\n").x[0], 0.0);
  EXPECT_EQ(parse("1e-99999999999999999999999\n0\n").x[0], 0.0);
  EXPECT_EQ(parse("4.9e-324\n2.4703282292062328e-324\n").x[0], tiny);
  EXPECT_EQ(parse("4.9e-324\n2.4703282292062328e-324\n").x[1], tiny);
  EXPECT_EQ(parse("2.4703282292062327e-324\n0\n").x[0], 0.0);
  EXPECT_EQ(parse("1.7976931348623158e308\n0\n").x[0], std::numeric_limits<double>::max());

  // Seeded decimals of every length and scale, against the C library's conversion.
  std::mt19937_64 rng(20240611);
  for (int i = 0; i < 20000; ++i) {
    std::string text = (rng() & 1) ? "-" : "";
    const int digits = 1 + static_cast<int>(rng() % ((i % 50 == 0) ? 900 : 25));
    const int point = static_cast<int>(rng() % static_cast<std::uint64_t>(digits + 1));
    for (int d = 0; d < digits; ++d) {
      if (d == point) text += '.';
      text += static_cast<char>('0' + rng() % 10);
    }
    text += "eEdD"[rng() % 4];
    text += std::to_string(static_cast<int>(rng() % 700) - 350);
    const Parsed p = parse(text + "\n0\n");
    ASSERT_EQ(p.result.status, bb::PointStatus::ok) << text;
    ASSERT_EQ(bits(p.x[0]), bits(strtod_of(text))) << text;
  }
}

// The file's bytes read in pieces of `capacity` bytes.
Parsed read_back(const kbtest::ScratchDir& dir, int n, std::size_t capacity) {
  Parsed p{};
  std::memcpy(p.x, kStart, sizeof p.x);
  const int fd = ::open((dir / "input.in").c_str(), O_RDONLY);
  std::vector<char> buffer(capacity);
  p.result = bb::read_point_fd(fd, p.x, n, buffer.data(), capacity);
  ::close(fd);
  return p;
}

Parsed read_through(const kbtest::ScratchDir& dir, const std::string& text, int n,
                    std::size_t capacity) {
  kbtest::write_file(dir / "input.in", text);
  return read_back(dir, n, capacity);
}

void expect_same(const Parsed& a, const Parsed& b, const std::string& what) {
  EXPECT_EQ(a.result.status, b.result.status) << what;
  EXPECT_EQ(a.result.item, b.result.item) << what;
  EXPECT_EQ(a.result.line, b.result.line) << what;
  for (int i = 0; i < 4; ++i) EXPECT_EQ(bits(a.x[i]), bits(b.x[i])) << what;
}

TEST(PointFile, ArbitraryBytesReadAlikeFromMemoryAndInPieces) {
  const kbtest::ScratchDir dir;
  ASSERT_TRUE(dir.ok());
  std::mt19937_64 rng(77);
  const std::string alphabet = "0123456789+-.eEdD*,/ \t\r\n";
  for (int i = 0; i < 2000; ++i) {
    std::string text(rng() % 64, '\0');
    for (char& ch : text) {
      ch = (i % 3 == 0) ? static_cast<char>(rng())
                        : alphabet[rng() % alphabet.size()];  // mostly near the grammar
    }
    const Parsed whole = parse(text, 4);
    kbtest::write_file(dir / "input.in", text);
    expect_same(whole, read_back(dir, 4, 1), text);
    expect_same(whole, read_back(dir, 4, 5), text);
  }
}

TEST(PointFile, HugeInputsAreReadInBoundedSpace) {
  const kbtest::ScratchDir dir;
  ASSERT_TRUE(dir.ok());
  const std::string digits(8 << 20, '1');
  Parsed p = read_through(dir, digits + "\n5\n", 2, 1 << 16);
  ASSERT_EQ(p.result.status, bb::PointStatus::ok);
  EXPECT_EQ(p.x[0], std::numeric_limits<double>::infinity());
  EXPECT_EQ(p.x[1], 5);

  p = read_through(dir, std::string(8 << 20, ' ') + "3\n" + std::string(8 << 20, '\n') + "4", 2,
                   1 << 16);
  ASSERT_EQ(p.result.status, bb::PointStatus::ok);
  EXPECT_EQ(p.x[0], 3);
  EXPECT_EQ(p.x[1], 4);

  p = read_through(dir, "1\n" + std::string(8 << 20, 'x') + "\n", 2, 1 << 16);
  EXPECT_EQ(p.result.status, bb::PointStatus::not_a_number);
  EXPECT_EQ(p.result.line, 2);
}

TEST(PointFile, ReportsOpenAndReadFailures) {
  const kbtest::ScratchDir dir;
  ASSERT_TRUE(dir.ok());
  double x[2] = {2, 2};
  bb::PointResult r = bb::read_point_file((dir / "absent").c_str(), x, 2);
  EXPECT_EQ(r.status, bb::PointStatus::open_failed);
  EXPECT_EQ(r.errno_value, ENOENT);
  r = bb::read_point_file(dir.path().c_str(), x, 2);  // opens, but read() fails
  EXPECT_EQ(r.status, bb::PointStatus::read_failed);
  EXPECT_EQ(r.errno_value, EISDIR);
  EXPECT_EQ(x[0], 2);
}

}  // namespace
