// The whole `kinkbench` command (run_command: CLI11's parse, the subcommands, their
// output) on arbitrary argument vectors, the words split at NUL bytes as argv cannot hold
// one. Properties: the status is 0 or 2 (check passes everywhere and an in-memory stream
// cannot fail, so 1 would be a fault); a refusal (2) is exactly one line on err, in
// printable ASCII, starting "kinkbench: ", with nothing on out; a success writes something
// to out and nothing to err.
//
// Inputs that set --n above kMaxFuzzN are skipped: at n = 10000 a Hessian takes seconds
// and hundreds of megabytes, which would stall the run without reaching new code; the
// cap itself and the memory it bounds are held by KinkbenchCommand.* tests.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "guarded.hpp"
#include "tools/arguments.hpp"
#include "tools/commands.hpp"

namespace kt = kinkbench::tools;

namespace {

constexpr int kMaxFuzzN = 64;

// What --stream reads: good points, a bad one and a blank line.
constexpr char kStandardInput[] = "2 2\n1,abc\n\n-1e300 nan\n";

std::vector<std::string> words_of(std::string_view bytes) {
  std::vector<std::string> words;
  for (std::size_t at = 0;;) {
    const std::size_t nul = bytes.find('\0', at);
    words.emplace_back(bytes.substr(at, nul - at));
    if (nul == std::string_view::npos) return words;
    at = nul + 1;
  }
}

// The n a word list would ask for is above kMaxFuzzN, in either form CLI11 takes.
bool large_n(const std::vector<std::string>& words) {
  for (std::size_t i = 0; i < words.size(); ++i) {
    std::string_view value;
    if (words[i] == "--n" && i + 1 < words.size()) {
      value = words[i + 1];
    } else if (words[i].starts_with("--n=")) {
      value = std::string_view(words[i]).substr(4);
    } else {
      continue;
    }
    const auto n = kt::dimension_option(value);
    if (n.ok() && n.value > kMaxFuzzN) return true;
  }
  return false;
}

// A memory file that collects what is written to it.
class Capture {
 public:
  Capture() : file_(open_memstream(&data_, &size_)) {
    kbfuzz::require(file_ != nullptr, "open_memstream failed");
  }
  Capture(const Capture&) = delete;
  Capture& operator=(const Capture&) = delete;
  ~Capture() {
    if (file_ != nullptr) std::fclose(file_);
    std::free(data_);
  }
  std::FILE* file() const { return file_; }
  std::string_view text() {
    std::fflush(file_);
    return {data_, size_};
  }

 private:
  char* data_ = nullptr;
  std::size_t size_ = 0;
  std::FILE* file_;
};

bool printable_line(std::string_view text) {
  if (!text.ends_with('\n')) return false;
  text.remove_suffix(1);
  for (const char c : text) {
    if (c < ' ' || c > '~') return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> words;
  if (size > 0) words = words_of(bytes);
  if (large_n(words)) return 0;

  std::string input(kStandardInput);
  std::FILE* in = fmemopen(input.data(), input.size(), "r");
  kbfuzz::require(in != nullptr, "fmemopen failed");
  Capture out;
  Capture err;
  const int status = kt::run_command(words, in, out.file(), err.file());
  std::fclose(in);

  kbfuzz::require(status == 0 || status == kt::kUsageError, "status neither 0 nor 2");
  if (status == kt::kUsageError) {
    const std::string_view line = err.text();
    kbfuzz::require(printable_line(line), "a usage error is not one printable line");
    kbfuzz::require(line.starts_with("kinkbench: "), "a usage error does not name the command");
    kbfuzz::require(out.text().empty(), "a usage error also wrote to out");
  } else {
    kbfuzz::require(err.text().empty(), "a success wrote to err");
    kbfuzz::require(!out.text().empty(), "a success wrote nothing");
  }
  return 0;
}
