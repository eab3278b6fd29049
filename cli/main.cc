// nlpeval: evaluates model predictions against gold annotations from the command line.
//
//   nlpeval TASK GOLD PRED [--badcase FILE] [--plot FILE] [--na] [--labels A,B,...]
//           [--schema FILE.json] [--entity-count FILE] [--no-merge] [--json] [--quiet]
//           [--save-state FILE] [--first-index N]
//   nlpeval merge STATE... [--json]
//   nlpeval --version
//
// Exit status: 0 on success, 1 when the evaluation fails (one line on stderr,
// "nlpeval: <Kind>: <message>"), 2 for a usage error, 128 + the signal's number when
// interrupted (130 for Ctrl-C).

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>
#include <iostream>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "interrupts.h"
#include "nlpeval/core/errors.h"
#include "nlpeval/core/files.h"
#include "nlpeval/core/progress.h"
#include "nlpeval/core/version.h"
#include "nlpeval/evaluator/evaluation.h"
#include "nlpeval/evaluator/evaluator.h"
#include "nlpeval/tasks/task.h"
#include "progress_line.h"
#include "state_file.h"

namespace {

constexpr int kFailure = 1;
constexpr int kUsageError = 2;

struct Arguments {
  std::string task;
  std::string gold;
  std::string pred;
  std::string badcase;
  std::string plot;
  bool na = false;
  std::vector<std::string> labels;
  std::string schema;
  std::string entity_count;
  bool no_merge = false;
  bool json = false;
  bool quiet = false;
  std::string save_state;
  int64_t first_index = 0;
};

using nlpeval::TaskDescriptor;

// The options that do something for some tasks only, with the tasks they apply to. Given for
// another task they are a usage error rather than silently ignored.
struct TaskOption {
  const char* name;
  bool (*applies)(const TaskDescriptor& task);
};

const std::vector<TaskOption> kTaskOptions = {
    {"--badcase", [](const TaskDescriptor& task) { return task.mines_badcases(); }},
    {"--plot",
     [](const TaskDescriptor& task) { return task.scoring == nlpeval::Scoring::flat_labels; }},
    {"--na",
     [](const TaskDescriptor& task) { return task.scoring == nlpeval::Scoring::flat_labels; }},
    {"--labels",
     [](const TaskDescriptor& task) { return task.scoring == nlpeval::Scoring::tag_chunks; }},
    {"--schema",
     [](const TaskDescriptor& task) { return task.input == nlpeval::TaskInput::records; }},
    {"--entity-count", [](const TaskDescriptor& task) { return task.takes_entity_counts(); }},
};

// The tasks an option applies to: "relation, attribute".
std::string tasks_of(const char* option_name) {
  for (const TaskOption& option : kTaskOptions) {
    if (std::string_view(option.name) == option_name) return nlpeval::task_names(option.applies);
  }
  return "";
}

// The names of the tasks whose input is `input`.
std::string tasks_reading(nlpeval::TaskInput input) {
  return nlpeval::task_names([input](const TaskDescriptor& task) { return task.input == input; });
}

// "--plot does nothing for ner: it applies to relation, attribute", or "" when every option
// given applies to the task.
std::string misapplied_option(const CLI::App& app, const std::string& task) {
  const TaskDescriptor* descriptor = nlpeval::find_task(task);
  for (const TaskOption& option : kTaskOptions) {
    if (app.count(option.name) == 0) continue;
    if (descriptor != nullptr && option.applies(*descriptor)) continue;
    return std::string(option.name) + " does nothing for " + task + ": it applies to " +
           nlpeval::task_names(option.applies);
  }
  return "";
}

void describe_options(CLI::App& app, Arguments& args) {
  std::vector<std::string> tasks;
  for (const TaskDescriptor& task : nlpeval::task_descriptors()) tasks.emplace_back(task.name);
  app.add_option("TASK", args.task,
                 "Task type: " + nlpeval::task_names([](const TaskDescriptor&) { return true; }))
      ->required()
      ->check(CLI::IsMember(tasks));
  app.add_option("GOLD", args.gold,
                 "Gold file: JSON Lines for the record tasks, CoNLL for " +
                     tasks_reading(nlpeval::TaskInput::conll_lines) + ", props for " +
                     tasks_reading(nlpeval::TaskInput::props))
      ->required();
  app.add_option("PRED", args.pred, "Prediction file, in the same format as GOLD")->required();
  app.add_option("--badcase", args.badcase,
                 "Write the badcase spreadsheet (.xlsx) of the wrong elements to FILE");
  app.add_option("--plot", args.plot,
                 "Draw the confusion matrix into FILE (.png, .svg or .pdf; " + tasks_of("--plot") +
                     ")");
  app.add_flag("--na", args.na,
               "Score the no-relation label \"na\" too (" + tasks_of("--na") + ")");
  app.add_option("--labels", args.labels,
                 "Score only these labels (" + tasks_of("--labels") + ")")
      ->delimiter(',');
  app.add_option("--schema", args.schema,
                 "Validate every record against this JSON Schema (draft 7) instead of the "
                 "task's record format");
  app.add_option("--entity-count", args.entity_count,
                 "Entity-count file (entity<TAB>label<TAB>count lines); adds count columns to "
                 "the " + tasks_of("--entity-count") + " badcase spreadsheet");
  app.add_flag("--no-merge", args.no_merge,
               "Write every badcase row in full instead of merging the cells of one instance");
  app.add_flag("--json", args.json,
               "Print the result as one JSON object (srl: a JSON string) and nothing else");
  app.add_flag("--quiet", args.quiet,
               "Show neither the progress line nor the warnings on standard error");
  app.add_option("--save-state", args.save_state,
                 "Also save the evaluation's counts to FILE, for 'nlpeval merge' to join with "
                 "other shards' states");
  app.add_option("--first-index", args.first_index,
                 "Instances before GOLD's first one in the whole data (a shard's offset): the "
                 "badcase spreadsheet numbers instances from N + 1")
      ->check(CLI::NonNegativeNumber);
  app.set_version_flag("--version", "nlpeval " + std::string(nlpeval::version()),
                       "Print the version and exit");
}

nlohmann::ordered_json read_schema(const std::string& file) {
  const std::string text = nlpeval::files::read_file(file);
  try {
    return nlohmann::ordered_json::parse(text);
  } catch (const nlohmann::ordered_json::parse_error& error) {
    // The parser's message gives the line and column.
    throw nlpeval::ValueError(file + ": the schema is not valid JSON: " + error.what());
  }
}

nlpeval::EvaluateFileOptions options_from(const Arguments& args) {
  nlpeval::EvaluateFileOptions options;
  if (!args.badcase.empty()) options.badcase_file = args.badcase;
  options.do_print = !args.json;
  if (!args.plot.empty()) options.do_plot = args.plot;
  options.do_na = args.na;
  if (!args.schema.empty()) options.schema = read_schema(args.schema);
  if (!args.labels.empty()) options.evaluate_labels = args.labels;
  options.entity_count_file = args.entity_count;
  options.is_merge = !args.no_merge;
  options.first_index = args.first_index;
  return options;
}

// What goes to standard error besides the error line: the progress line on a terminal and
// the warnings, which wait until the output is written.
class StandardError {
 public:
  explicit StandardError(const Arguments& args)
      : quiet_(args.quiet),
        progress_(stderr, !args.quiet && !args.json && ::isatty(STDERR_FILENO) == 1) {}

  // Keeps the progress line up to date and the spreadsheet being completed known to the
  // interrupt handler; answers false once a signal asked to stop.
  bool on_progress(const nlpeval::Progress& progress) {
    nlpeval::cli::remove_on_interrupt(progress.partial_file);  // before the line says so
    progress_.update(progress);
    return nlpeval::cli::interrupting_signal() == 0;
  }

  void on_warning(const std::string& text) {
    if (!quiet_) warnings_.push_back(text);
  }

  void clear_progress() {
    nlpeval::cli::remove_on_interrupt("");
    progress_.clear();
  }

  // Removes the progress line and prints the warnings, after standard output is flushed.
  void finish() {
    std::cout.flush();
    clear_progress();
    for (const std::string& text : warnings_) std::cerr << "nlpeval: warning: " << text << "\n";
    warnings_.clear();
  }

 private:
  bool quiet_;
  nlpeval::cli::ProgressLine progress_;
  std::vector<std::string> warnings_;
};

int run(const Arguments& args) {
  StandardError standard_error(args);
  try {
    nlpeval::EvaluateFileOptions options = options_from(args);
    options.on_progress = [&](const nlpeval::Progress& progress) {
      return standard_error.on_progress(progress);
    };
    options.on_warning = [&](const std::string& text) { standard_error.on_warning(text); };
    std::optional<nlpeval::cli::PendingState> state_file;
    std::optional<nlpeval::Evaluation> state;
    if (!args.save_state.empty()) {
      state_file.emplace(args.save_state);
      state.emplace(args.task, nlpeval::EvaluationOptions{.evaluate_labels = options.evaluate_labels,
                                                          .do_na = options.do_na});
      options.add_counts_to = &*state;
    }
    nlpeval::EvaluateResult result =
        nlpeval::evaluate_file(args.task, args.gold, args.pred, options);
    if (state) state_file->commit(state->save_state());
    standard_error.clear_progress();
    if (args.json) std::cout << nlpeval::to_json(result).dump() << "\n";
    if (!args.badcase.empty() && !args.json) {
      std::cout << "badcase spreadsheet written to " << args.badcase << "\n";
    }
    standard_error.finish();
    return 0;
  } catch (const nlpeval::Cancelled&) {
    standard_error.finish();
    std::cerr << "nlpeval: interrupted\n";
    return 128 + nlpeval::cli::interrupting_signal();
  } catch (const nlpeval::Error& error) {
    standard_error.finish();
    std::cerr << "nlpeval: " << error.kind() << ": " << error.what() << "\n";
  } catch (const std::exception& error) {  // out of memory and the like
    standard_error.finish();
    std::cerr << "nlpeval: Error: " << error.what() << "\n";
  }
  return kFailure;
}

int usage_error(const std::string& message) {
  std::cerr << "nlpeval: " << message << "\nRun 'nlpeval --help' for the options.\n";
  return kUsageError;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::string_view(argv[1]) == "merge") {
    return nlpeval::cli::run_merge(argc - 1, argv + 1);
  }
  CLI::App app{
      "Evaluates model predictions against gold annotations and reports precision, "
      "recall, F1 and a per-label report; optionally writes a badcase spreadsheet and "
      "a confusion-matrix picture. 'nlpeval merge STATE...' joins the states of shards saved "
      "with --save-state.",
      "nlpeval"};
  Arguments args;
  describe_options(app, args);
  try {
    app.parse(argc, argv);
  } catch (const CLI::Success& help_or_version) {
    return app.exit(help_or_version);
  } catch (const CLI::ParseError& error) {
    return usage_error(error.what());
  }
  if (std::string misapplied = misapplied_option(app, args.task); !misapplied.empty()) {
    return usage_error(misapplied);
  }
  // Only a spreadsheet leaves something behind to remove; without one, a signal ends the
  // process at once, whatever it is doing.
  if (!args.badcase.empty()) nlpeval::cli::catch_interrupts();
  return run(args);
}
