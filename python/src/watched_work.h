#ifndef NLPEVAL_PYTHON_WATCHED_WORK_H_
#define NLPEVAL_PYTHON_WATCHED_WORK_H_

// Long library work from Python: it runs without the GIL, so Python's signal handlers would
// wait for its end. The library's progress calls let them run every tenth of a second, and a
// KeyboardInterrupt they raise stops the work (leaving no spreadsheet behind) and reaches the
// caller. The library's warnings become Python warnings (UserWarning) once the work is done.

#include <pybind11/pybind11.h>

#include <chrono>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "nlpeval/core/progress.h"

namespace nlpeval::python {

namespace py = pybind11;

class WatchedWork {
 public:
  // Callbacks for the work's options; they refer to this object, which must outlive the work.
  ProgressCallback on_progress();
  WarningCallback on_warning();

  // Runs work() with the GIL released. Raises the Python error that stopped it, and issues
  // its warnings once it has returned.
  template <typename Work>
  auto run(Work&& work) -> decltype(work()) {
    try {
      if constexpr (std::is_void_v<decltype(work())>) {
        {
          py::gil_scoped_release release;
          work();
        }
        issue_warnings();
      } else {
        auto result = [&] {
          py::gil_scoped_release release;
          return work();
        }();
        issue_warnings();
        return result;
      }
    } catch (const Cancelled&) {
      raise_interruption();
    }
  }

 private:
  // Whether Python's signal handlers let the work go on; called without the GIL.
  bool check_signals();
  void issue_warnings();
  [[noreturn]] void raise_interruption();

  std::chrono::steady_clock::time_point next_check_ = std::chrono::steady_clock::now();
  std::optional<py::error_already_set> interruption_;
  std::vector<std::string> warnings_;
};

}  // namespace nlpeval::python

#endif  // NLPEVAL_PYTHON_WATCHED_WORK_H_
