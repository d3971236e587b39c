// kinkbench: the collections for people. Lists the problems, evaluates one at a point,
// and checks derivatives against central differences.
#include <cstdio>

#include "tools/commands.hpp"

int main(int argc, char** argv) {
  return kinkbench::tools::run_command({argv + 1, argv + argc}, stdin, stdout, stderr);
}
