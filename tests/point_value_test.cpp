// One number as the point-file reader takes it, for inputs other than input.in: the same
// forms and the same doubles as the reader, and nothing around the number.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>

#include "blackbox/point_file.hpp"

namespace {

using kinkbench::blackbox::parse_point;
using kinkbench::blackbox::parse_value;
using kinkbench::blackbox::PointStatus;

bool value_of(const std::string& text, double& out) {
  return parse_value(text.data(), text.size(), &out);
}

}  // namespace

TEST(PointValue, TakesTheReadersFormsWithTheReadersValues) {
  for (const char* text :
       {"1", "-0.5", "2.5E-3", "1.0D+00", "1.0d0", "+.5", "7.", "-0", "1e400", "1e-400", "0.1",
        "4.9406564584124654e-324", "123456789012345678901234567890"}) {
    double from_value = -1;
    ASSERT_TRUE(value_of(text, from_value)) << text;
    double from_file = -2;
    const auto read = parse_point(text, std::strlen(text), &from_file, 1);
    ASSERT_EQ(read.status, PointStatus::ok) << text;
    EXPECT_EQ(std::bit_cast<std::uint64_t>(from_value), std::bit_cast<std::uint64_t>(from_file))
        << text;
  }
}

TEST(PointValue, RejectsAnythingButOneValueAndLeavesTheOutputAlone) {
  // The reader takes several of these from a file (a list, a repeat count, a null, a
  // value followed by blanks), but none of them is one value and nothing else.
  for (const char* text :
       {"",     " ",     " 1", "1 ",  "1,", "1,2", "1/", "3*1", "3*",  ",",  "/",  "nan", "inf",
        "0x10", "1.2.3", "1e", "1e+", "+",  ".",   "-.", "1+5", "1\n", "D1", "e5", "1d",  "\t1"}) {
    double out = 42;
    EXPECT_FALSE(value_of(text, out)) << "'" << text << "'";
    EXPECT_EQ(out, 42) << "'" << text << "'";
  }
}

TEST(PointValue, AgreesWithTheReaderOnRandomTextsWithoutSeparators) {
  // Without blanks, commas, slashes or stars a text is one item to the reader, so the
  // two must accept the same texts and give the same bits.
  std::mt19937 random(13);
  const std::string alphabet = "0123456789+-.eEdDx";
  std::uniform_int_distribution<size_t> letter(0, alphabet.size() - 1);
  std::uniform_int_distribution<int> length(1, 7);
  int accepted = 0;
  for (int trial = 0; trial < 200000; ++trial) {
    std::string text;
    for (int i = length(random); i > 0; --i) text += alphabet[letter(random)];
    double from_value = 0;
    double from_file = 0;
    const bool value_ok = value_of(text, from_value);
    const bool file_ok =
        parse_point(text.data(), text.size(), &from_file, 1).status == PointStatus::ok;
    ASSERT_EQ(value_ok, file_ok) << text;
    if (value_ok) {
      ++accepted;
      ASSERT_EQ(std::bit_cast<std::uint64_t>(from_value), std::bit_cast<std::uint64_t>(from_file))
          << text;
    }
  }
  EXPECT_GT(accepted, 1000);  // the comparison covered valid numbers, not only rejections
}
