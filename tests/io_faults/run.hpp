// Runs a program as a process with extra environment variables, or with standard input
// closed; for the tests of the programs under hostile conditions.
#pragma once

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "fortran/process.hpp"

namespace kbtest {

struct Launch {
  std::vector<std::pair<std::string, std::string>> environment;
  bool close_stdin = false;
};

inline RunResult run_with(const std::string& program, const std::filesystem::path& dir,
                          const Launch& launch) {
  RunResult result;
  const std::filesystem::path out_path = dir.string() + ".stdout";
  const std::filesystem::path err_path = dir.string() + ".stderr";
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int out = ::open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = ::open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0 || err < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0 ||
        ::chdir(dir.c_str()) != 0) {
      ::_exit(127);
    }
    if (out > 2) ::close(out);
    if (err > 2) ::close(err);
    if (launch.close_stdin) ::close(0);
    ::alarm(30);  // a program stuck in a retry loop fails the test instead of hanging it
    for (const auto& [name, value] : launch.environment) {
      ::setenv(name.c_str(), value.c_str(), 1);
    }
    ::execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  int wstatus = 0;
  if (pid > 0 && ::waitpid(pid, &wstatus, 0) == pid && WIFEXITED(wstatus)) {
    result.status = WEXITSTATUS(wstatus);
  }
  result.out = read_file(out_path).value_or("<none>");
  result.err = read_file(err_path).value_or("<none>");
  std::error_code ignored;
  std::filesystem::remove(out_path, ignored);
  std::filesystem::remove(err_path, ignored);
  return result;
}

}  // namespace kbtest
