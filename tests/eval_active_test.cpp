// kinkbench eval --active: the pieces active within eps, with the weights of the
// least-norm element, and the measure, in text and JSON.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tools/commands.hpp"

namespace {

struct EvalRun {
  int status = -1;
  std::string out, err;
};

EvalRun eval(std::vector<std::string> args) {
  args.insert(args.begin(), "eval");
  char *out_data = nullptr, *err_data = nullptr;
  size_t out_size = 0, err_size = 0;
  std::FILE* out = open_memstream(&out_data, &out_size);
  std::FILE* err = open_memstream(&err_data, &err_size);
  EvalRun r;
  r.status = kinkbench::tools::run_command(args, stdin, out, err);
  std::fclose(out);
  std::fclose(err);
  r.out.assign(out_data, out_size);
  r.err.assign(err_data, err_size);
  std::free(out_data);
  std::free(err_data);
  return r;
}

TEST(EvalActive, ListsTheActivePiecesTheirWeightsAndTheMeasure) {
  // Nonsmooth 11 at its optimum (0, 1, 2, -1): c1 = c3 = 0, so 0, c1 and c3 tie and a
  // combination of the three gradients is 0 (weights 0.7, 0.1, 0.2).
  EvalRun r = eval({"nonsmooth", "11", "--x", "0,1,2,-1", "--active", "1e-9"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("active   = eps 1.0000000000000001e-09: 0 (0.6999999999"), std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find(", c1 (0.09999999"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find(", c3 (0.2000000"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("c2"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("stationarity = 9.9"), std::string::npos) << r.out;

  // Several groups are numbered; a group's single active piece has weight 1. At the
  // start t1 = -29/8, t2 = -2 and t3 = 9/4.
  r = eval({"nonsmooth", "14", "--active", "0"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("1: -t1 (1); 2: -t2 (1); 3: +t3 (1)"), std::string::npos) << r.out;

  r = eval({"minimax", "7", "--active", "1e-6", "--json"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(
      r.out.find("\"active\":{\"eps\":1e-06,\"groups\":[[{\"piece\":\"+f3\",\"weight\":1.0}]],"
                 "\"stationarity\":0.45"),
      std::string::npos)
      << r.out;

  r = eval({"minimax", "7", "--active", "0"});
  EXPECT_NE(r.out.find("active   = eps 0: +f3 (1)\n"), std::string::npos) << r.out;

  r = eval({"nonsmooth", "1", "--active", "0"});
  EXPECT_NE(r.out.find("active   = eps 0: none, the objective is smooth"), std::string::npos)
      << r.out;
  // eps = 0 is asked for as much as any other eps.
  r = eval({"nonsmooth", "1", "--active", "0", "--json"});
  EXPECT_NE(r.out.find("\"active\":{\"eps\":0.0,\"groups\":[],\"stationarity\":232.8"),
            std::string::npos)
      << r.out;
}

TEST(EvalActive, RefusesWhatIsNotOneNumberAtLeastZero) {
  for (const char* bad : {"-1", "1,2", "nan", "x"}) {
    const EvalRun r = eval({"minimax", "1", "--active", bad});
    EXPECT_EQ(r.status, 2) << bad;
    EXPECT_NE(r.err.find("--active takes one number >= 0"), std::string::npos) << r.err;
  }
  EXPECT_EQ(eval({"minimax", "1", "--stream", "--active", "0"}).status, 2);
}

}  // namespace
