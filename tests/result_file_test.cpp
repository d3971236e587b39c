// The "(E15.6)" writer and the result file.
#include "blackbox/result_file.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "fortran/process.hpp"

namespace bb = kinkbench::blackbox;

namespace {

std::string field(double v) {
  char out[bb::kResultWidth];
  std::memset(out, '#', sizeof out);
  bb::format_e15_6(v, out);
  return std::string(out, sizeof out);
}

TEST(ResultFormat, WritesEveryFieldAsTheFormatDefines) {
  const double inf = std::numeric_limits<double>::infinity();
  const struct {
    double v;
    const char* text;
  } cases[] = {
      {1, "   0.100000E+01"},
      {-2.5, "  -0.250000E+01"},
      {0, "   0.000000E+00"},
      {-0.0, "  -0.000000E+00"},
      {1e80, "   0.100000E+81"},
      {-1e80, "  -0.100000E+81"},
      {1.5e-120, "   0.150000-119"},
      {20, "   0.200000E+02"},
      {-44, "  -0.440000E+02"},
      {9.9999996, "   0.100000E+02"},  // the carry reaches the exponent
      {0.999999951, "   0.100000E+01"},
      {9.9999995e99, "   0.100000+101"},
      {9.9999996e98, "   0.100000+100"},
      {1e-99, "   0.100000E-98"},
      {1e-100, "   0.100000E-99"},
      {0.1234565, "   0.123456E+00"},  // just below the tie in binary
      {1000005, "   0.100000E+07"},    // exact ties go to even
      {1000015, "   0.100002E+07"},
      {std::numeric_limits<double>::max(), "   0.179769+309"},
      {std::numeric_limits<double>::min(), "   0.222507-307"},
      {std::numeric_limits<double>::denorm_min(), "   0.494066-323"},
      {-std::numeric_limits<double>::min() / 1073741824.0, "  -0.207226-316"},
      // Spelled as the Fortran runtime spells them in this field.
      {inf, "       Infinity"},
      {-inf, "      -Infinity"},
      {std::nan(""), "            NaN"},
      {-std::nan(""), "            NaN"},
  };
  for (const auto& c : cases) EXPECT_EQ(field(c.v), c.text) << c.v;
}

// The field read back (the three-digit exponent given its letter) is the value to
// within half a unit of the sixth digit, with a leading digit 1..9.
TEST(ResultFormat, ReadsBackToSixDigitsAcrossTheRange) {
  std::mt19937_64 rng(5);
  for (int i = 0; i < 100000; ++i) {
    double v;
    const std::uint64_t b = rng();
    std::memcpy(&v, &b, sizeof v);
    if (!std::isfinite(v) || v == 0) continue;
    std::string text = field(v);
    ASSERT_EQ(text.size(), 15u);
    const std::size_t digit = text.find("0.") + 2;
    ASSERT_TRUE(text[digit] >= '1' && text[digit] <= '9') << text;
    if (text[11] != 'E') text = text.substr(0, 11) + 'E' + text.substr(11);
    // In long double, whose range and precision hold every field's exact value.
    const long double back = std::strtold(text.c_str(), nullptr);
    const long double unit =
        std::pow(10.0L, (text[12] == '-' ? -1 : 1) * std::atoi(text.c_str() + 13) - 6);
    ASSERT_LE(std::fabs(back - static_cast<long double>(v)), 0.5000001L * unit) << v << " " << text;
  }
}

TEST(ResultFile, ReplacesTheFileWithOneLine) {
  const kbtest::ScratchDir dir;
  ASSERT_TRUE(dir.ok());
  const auto path = dir / "output.out";
  kbtest::write_file(path, "an older and much longer result\nwith a second line\n");
  ASSERT_EQ(bb::write_result_file(path.c_str(), -2.5).status, bb::WriteStatus::ok);
  EXPECT_EQ(kbtest::read_file(path), "  -0.250000E+01\n");
}

TEST(ResultFile, ReportsCreateAndWriteFailures) {
  const kbtest::ScratchDir dir;
  ASSERT_TRUE(dir.ok());
  bb::WriteResult r = bb::write_result_file(dir.path().c_str(), 1);
  EXPECT_EQ(r.status, bb::WriteStatus::create_failed);
  EXPECT_EQ(r.errno_value, EISDIR);
  if (::access("/dev/full", W_OK) == 0) {
    r = bb::write_result_file("/dev/full", 1);
    EXPECT_EQ(r.status, bb::WriteStatus::write_failed);
    EXPECT_EQ(r.errno_value, ENOSPC);
  }
}

}  // namespace
