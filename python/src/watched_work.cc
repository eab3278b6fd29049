#include "watched_work.h"

#include <iostream>

namespace nlpeval::python {
namespace {

// Well within the half second a user waits for Ctrl-C, and the GIL is taken rarely.
constexpr auto kCheckEvery = std::chrono::milliseconds(100);

}  // namespace

ProgressCallback WatchedWork::on_progress() {
  return [this](const Progress&) { return check_signals(); };
}

WarningCallback WatchedWork::on_warning() {
  return [this](const std::string& text) { warnings_.push_back(text); };
}

bool WatchedWork::check_signals() {
  const auto now = std::chrono::steady_clock::now();
  if (now < next_check_) return true;
  next_check_ = now + kCheckEvery;
  py::gil_scoped_acquire gil;
  if (PyErr_CheckSignals() == 0) return true;
  interruption_.emplace();  // takes the error the handler raised
  return false;
}

void WatchedWork::issue_warnings() {
  if (warnings_.empty()) return;
  std::cout.flush();  // what was printed comes first
  for (const std::string& text : warnings_) {
    // A filter that turns warnings into errors raises here.
    if (PyErr_WarnEx(PyExc_UserWarning, text.c_str(), 1) != 0) throw py::error_already_set();
  }
  warnings_.clear();
}

void WatchedWork::raise_interruption() {
  if (interruption_) {
    py::error_already_set error = std::move(*interruption_);
    interruption_.reset();
    throw error;
  }
  // Not reached: only check_signals stops the work.
  PyErr_SetString(PyExc_RuntimeError, "the evaluation was cancelled");
  throw py::error_already_set();
}

}  // namespace nlpeval::python
