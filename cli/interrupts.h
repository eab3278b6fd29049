#ifndef NLPEVAL_CLI_INTERRUPTS_H_
#define NLPEVAL_CLI_INTERRUPTS_H_

// Ctrl-C and SIGTERM for the command: the first signal asks the evaluation to stop at its
// next progress call, which unwinds and removes the unfinished spreadsheet. While the
// spreadsheet is being completed the evaluation cannot stop; a signal then removes the
// temporary file itself and ends the process, as does a second signal at any time.

#include <string_view>

namespace nlpeval::cli {

// Installs the handlers for SIGINT and SIGTERM.
void catch_interrupts();

// The signal received so far, or 0.
int interrupting_signal();

// The file to remove if a signal ends the process from now on; empty to forget it. Paths
// longer than the handler's buffer are not removed.
void remove_on_interrupt(std::string_view partial_file);

}  // namespace nlpeval::cli

#endif  // NLPEVAL_CLI_INTERRUPTS_H_
