#include "state_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <optional>

#include "nlpeval/core/errors.h"
#include "nlpeval/core/files.h"
#include "nlpeval/evaluator/evaluation.h"

namespace nlpeval::cli {
namespace {

constexpr int kFailure = 1;
constexpr int kUsageError = 2;

[[noreturn]] void fail(const std::string& what, const std::string& path) {
  throw FileError(what + " '" + path + "': " + std::strerror(errno));
}

}  // namespace

PendingState::PendingState(std::string path)
    : path_(std::move(path)), temporary_(path_ + ".partial-XXXXXX") {
  descriptor_ = ::mkstemp(temporary_.data());
  if (descriptor_ < 0) fail("cannot write the state", path_);
}

PendingState::~PendingState() {
  if (descriptor_ >= 0) {
    ::close(descriptor_);
    ::unlink(temporary_.c_str());
  }
}

void PendingState::commit(const std::string& state) {
  const std::string text = state + "\n";
  for (size_t written = 0; written < text.size();) {
    const ssize_t step = ::write(descriptor_, text.data() + written, text.size() - written);
    if (step < 0 && errno == EINTR) continue;
    if (step <= 0) fail("cannot write the state", path_);
    written += static_cast<size_t>(step);
  }
  // mkstemp makes the file for its owner alone; a state is as readable as any output.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  (void)::fchmod(descriptor_, 0666 & ~mask);
  if (::close(descriptor_) != 0) {
    descriptor_ = -1;
    ::unlink(temporary_.c_str());
    fail("cannot write the state", path_);
  }
  descriptor_ = -1;
  if (::rename(temporary_.c_str(), path_.c_str()) != 0) {
    const int error = errno;
    ::unlink(temporary_.c_str());
    errno = error;
    fail("cannot write the state", path_);
  }
}

int run_merge(int argc, char** argv) {
  CLI::App app{"Prints the result of evaluations saved with --save-state, merged in the order "
               "given, as one evaluation of all their instances.",
               "nlpeval merge"};
  std::vector<std::string> states;
  bool json = false;
  app.add_option("STATE", states, "State files, in the order of their shards")->required();
  app.add_flag("--json", json, "Print the result as one JSON object (srl: a JSON string)");
  try {
    app.parse(argc, argv);
  } catch (const CLI::Success& help) {
    return app.exit(help);
  } catch (const CLI::ParseError& error) {
    std::cerr << "nlpeval merge: " << error.what()
              << "\nRun 'nlpeval merge --help' for the options.\n";
    return kUsageError;
  }
  try {
    std::optional<Evaluation> merged;
    for (const std::string& file : states) {
      Evaluation shard = Evaluation::from_state(files::read_file(file), file);
      if (!merged) {
        merged.emplace(std::move(shard));
        continue;
      }
      try {
        merged->merge(shard);
      } catch (const ValueError& error) {
        throw ValueError("'" + file + "' cannot join '" + states.front() + "': " + error.what());
      }
    }
    const EvaluateResult result = merged->result();
    if (json) {
      std::cout << to_json(result).dump() << "\n";
    } else {
      print_result(result);
    }
    return 0;
  } catch (const Error& error) {
    std::cerr << "nlpeval: " << error.kind() << ": " << error.what() << "\n";
  } catch (const std::exception& error) {
    std::cerr << "nlpeval: Error: " << error.what() << "\n";
  }
  return kFailure;
}

}  // namespace nlpeval::cli
