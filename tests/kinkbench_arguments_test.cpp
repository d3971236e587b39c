// The command's argument texts: where each range ends, which spellings are taken, and the
// one line a refusal shows.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "tools/arguments.hpp"

namespace {

using namespace kinkbench::tools;

TEST(CommandArguments, WholeNumbersAreTakenToTheEndsOfTheirRanges) {
  EXPECT_EQ(problem_argument("1").value, 1);
  EXPECT_EQ(problem_argument("25").value, 25);
  EXPECT_EQ(problem_argument("+7").value, 7);
  EXPECT_EQ(problem_argument(std::string_view("123").substr(0, 2)).value,
            12);  // the view, not what follows
  for (const char* bad : {"0", "26", "-1", "+-1", "7x", "", "99999999999999999999"}) {
    EXPECT_EQ(problem_argument(bad).error, "unknown problem '" + std::string(bad) + "' (1..25)");
  }
  EXPECT_EQ(dimension_option("1").value, 1);
  EXPECT_EQ(dimension_option("10000").value, kMaxN);
  EXPECT_EQ(dimension_option("10001").error, "--n 10001 is out of range (1..10000)");
  EXPECT_EQ(dimension_option("0").error, "--n 0 is out of range (1..10000)");
  EXPECT_EQ(dimension_option("99999999999999999999").error,
            "--n 99999999999999999999 is out of range (1..10000)");
  EXPECT_EQ(dimension_option("+-3").error, "--n needs a whole number, got '+-3'");
  EXPECT_EQ(dimension_option("2.0").error, "--n needs a whole number, got '2.0'");
  EXPECT_EQ(index_option("3", 3).value, 3);
  EXPECT_EQ(index_option("1", 3).value, 1);
  EXPECT_EQ(index_option("0", 3).error, "--k must be 1..3, got '0'");
  EXPECT_EQ(index_option("4", 3).error, "--k must be 1..3, got '4'");
  EXPECT_EQ(collection_argument("nonsmooth").value, Collection::nonsmooth);
  EXPECT_EQ(collection_argument("minimax").value, Collection::minimax);
  EXPECT_EQ(collection_argument("Minimax").error,
            "unknown collection 'Minimax' (minimax or nonsmooth)");
}

TEST(CommandArguments, MessagesShowAnyTextOnOneLine) {
  EXPECT_EQ(quote("a b~"), "'a b~'");
  EXPECT_EQ(escaped("\\'\t\r\n"), "\\\\\\'\\t\\r\\n");
  EXPECT_EQ(escaped(std::string("\x1f\x7f\xff\x00", 4)), "\\x1f\\x7f\\xff\\x00");
  EXPECT_EQ(escaped(" ~"), " ~");
}

TEST(CommandArguments, NumbersAreTheBlackBoxesLiteralsAndTheNonFiniteWords) {
  double v = 0;
  for (const char* word : {"inf", "INF", "+Inf", "iNf"}) {
    EXPECT_TRUE(number_word(word, v) && v == INFINITY) << word;
  }
  EXPECT_TRUE(number_word("-InF", v) && v == -INFINITY);
  EXPECT_TRUE(number_word("NaN", v) && std::isnan(v) && number_word("NAN", v) && std::isnan(v));
  v = 7;
  for (const char* word : {"infinity", "in", "-nan", "1e999", "x", "@inf", "+inf+"}) {
    EXPECT_FALSE(number_word(word, v)) << word;
  }
  EXPECT_EQ(v, 7);  // left alone
  EXPECT_TRUE(number_word("-2.5e-3", v) && v == -2.5e-3);
  EXPECT_TRUE(overflowing_literal("1e999") && overflowing_literal("-1e999"));
  EXPECT_FALSE(overflowing_literal("1e308") || overflowing_literal("1e-999") ||
               overflowing_literal("x"));
}

TEST(CommandArguments, APointIsCommaSeparatedWithBlanksAroundEach) {
  EXPECT_EQ(point_option(" 1,\t-2 , inf").value, (std::vector<double>{1, -2, INFINITY}));
  EXPECT_EQ(point_option("5").value, std::vector<double>{5});
  EXPECT_EQ(point_option("1,,2").error,
            "--x needs comma-separated numbers, coordinate 2 is empty in '1,,2'");
  EXPECT_EQ(point_option("1, ").error,
            "--x needs comma-separated numbers, coordinate 2 is empty in '1, '");
  EXPECT_EQ(point_option("").error,
            "--x needs comma-separated numbers, coordinate 1 is empty in ''");
  EXPECT_EQ(point_option("1,two").error,
            "--x needs comma-separated numbers, got 'two' as coordinate 2");
  EXPECT_EQ(
      point_option("1,2,-1e999").error,
      "--x: '-1e999' (coordinate 3) is beyond the largest double, about 1.8e308; write inf for an "
      "infinity");
}

TEST(CommandArguments, ACountThatDoesNotFitSaysWhichNWould) {
  EXPECT_EQ(point_count_error(Collection::nonsmooth, 16, 3, {10, 10, 10}),
            "--x has 3 coordinates, n is 10; nonsmooth problem 16 is defined for n = 10 only");
  EXPECT_EQ(point_count_error(Collection::nonsmooth, 11, 1, {4, 4, 0}),
            "--x has 1 coordinate, n is 4; nonsmooth problem 11 needs n >= 4");
  EXPECT_EQ(point_count_error(Collection::nonsmooth, 11, 4, {5, 4, 0}),
            "--x has 4 coordinates, n is 5; --n 4 would fit");
  EXPECT_EQ(point_count_error(Collection::nonsmooth, 1, 6, {2, 2, 6}),
            "--x has 6 coordinates, n is 2; --n 6 would fit");
  EXPECT_EQ(point_count_error(Collection::nonsmooth, 1, 7, {2, 2, 6}),
            "--x has 7 coordinates, n is 2; nonsmooth problem 1 takes n <= 6");
  EXPECT_EQ(point_count_error(Collection::minimax, 1, 10000, {2, 2, 0}),
            "--x has 10000 coordinates, n is 2; --n 10000 would fit");
  EXPECT_EQ(point_count_error(Collection::minimax, 1, 10001, {2, 2, 0}),
            "--x has 10001 coordinates, n is 2; the command takes n <= 10000");
}

}  // namespace
