#ifndef NLPEVAL_FUZZ_FUZZ_SUPPORT_H_
#define NLPEVAL_FUZZ_FUZZ_SUPPORT_H_

// Helpers shared by the fuzz targets: input splitting, a scratch file for the readers that
// take a path, and the invariant checks, which abort so that the fuzzer keeps the input.

#include <unistd.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <utility>

#include "nlpeval/core/errors.h"

namespace nlpeval::fuzz {

// Aborts with `what` when `condition` is false.
inline void require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
  }
}

inline void require_share(double value, const char* what) {
  require(std::isfinite(value) && value >= 0.0 && value <= 1.0, what);
}

// Runs `body`; the library's own error kinds are expected answers to bad input, anything
// else escaping the library is a fault.
template <typename Body>
void expect_library_errors_only(Body&& body) {
  try {
    body();
  } catch (const nlpeval::Error&) {
  } catch (const std::exception& error) {
    std::fprintf(stderr, "foreign exception: %s\n", error.what());
    std::abort();
  }
}

// The bytes before and after the first NUL byte; without one, both halves are the whole input,
// so that a gold file compared with itself is exercised too.
inline std::pair<std::string_view, std::string_view> split_at_nul(std::string_view bytes) {
  size_t nul = bytes.find('\0');
  if (nul == std::string_view::npos) return {bytes, bytes};
  return {bytes.substr(0, nul), bytes.substr(nul + 1)};
}

// A file in the temporary directory, private to this process, rewritten for every input.
class ScratchFile {
 public:
  explicit ScratchFile(std::string_view name)
      : path_((std::filesystem::temp_directory_path() /
               ("nlpeval_fuzz_" + std::to_string(::getpid()) + "_" + std::string(name)))
                  .string()) {}
  ~ScratchFile() {
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
  }
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;

  const std::string& write(std::string_view bytes) {
    std::ofstream out(path_, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    require(static_cast<bool>(out), "scratch file written");
    return path_;
  }

 private:
  std::string path_;
};

}  // namespace nlpeval::fuzz

#endif  // NLPEVAL_FUZZ_FUZZ_SUPPORT_H_
