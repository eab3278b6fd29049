#include "interrupts.h"

#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstring>

namespace nlpeval::cli {
namespace {

// What the handler may touch: lock-free atomics (the signal may land on a reading thread)
// and a buffer it only reads once `partial_file_set` says the buffer is complete.
std::atomic<int> received_signal = 0;
std::atomic<int> partial_file_set = 0;
static_assert(std::atomic<int>::is_always_lock_free, "signal handlers need lock-free flags");
char partial_file[4096];

// Only async-signal-safe calls: unlink, signal, raise.
void on_signal(int signal_number) {
  if (received_signal == 0 && partial_file_set == 0) {
    received_signal = signal_number;  // the evaluation stops at its next progress call
    return;
  }
  if (partial_file_set != 0) ::unlink(partial_file);
  std::signal(signal_number, SIG_DFL);
  std::raise(signal_number);  // ends the process with the signal, as the shell expects
}

}  // namespace

void catch_interrupts() {
  std::signal(SIGINT, on_signal);
  std::signal(SIGTERM, on_signal);
}

int interrupting_signal() { return received_signal; }

void remove_on_interrupt(std::string_view file) {
  partial_file_set = 0;
  if (file.empty() || file.size() >= sizeof partial_file) return;
  std::memcpy(partial_file, file.data(), file.size());
  partial_file[file.size()] = '\0';
  partial_file_set = 1;
}

}  // namespace nlpeval::cli
