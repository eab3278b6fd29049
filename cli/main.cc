// nlpeval: evaluates model predictions against gold annotations from the command line.
//
//   nlpeval TASK GOLD PRED [--badcase FILE] [--plot FILE] [--na] [--labels A,B,...]
//           [--schema FILE.json] [--entity-count FILE] [--no-merge] [--json]
//
// Exit status: 0 on success, 1 when the evaluation fails (one line on stderr,
// "nlpeval: <Kind>: <message>"), 2 for a usage error.

#include <CLI/CLI.hpp>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "nlpeval/core/errors.h"
#include "nlpeval/evaluator/evaluator.h"

namespace {

constexpr int kFailure = 1;
constexpr int kUsageError = 2;

const std::vector<std::string> kTasks = {"ner",       "pos",   "cws", "relation",
                                         "attribute", "event", "dp",  "srl"};

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
};

void describe_options(CLI::App& app, Arguments& args) {
  std::string tasks;
  for (const std::string& task : kTasks) tasks += (tasks.empty() ? "" : ", ") + task;
  app.add_option("TASK", args.task, "Task type: " + tasks)
      ->required()
      ->check(CLI::IsMember(kTasks));
  app.add_option("GOLD", args.gold,
                 "Gold file: JSON Lines for the record tasks, CoNLL for dp, props for srl")
      ->required();
  app.add_option("PRED", args.pred, "Prediction file, in the same format as GOLD")->required();
  app.add_option("--badcase", args.badcase,
                 "Write the badcase spreadsheet (.xlsx) of the wrong elements to FILE");
  app.add_option("--plot", args.plot,
                 "Draw the confusion matrix into FILE (.png, .svg or .pdf; relation, attribute)");
  app.add_flag("--na", args.na, "Score the no-relation label \"na\" too (relation, attribute)");
  app.add_option("--labels", args.labels, "Score only these labels (ner, pos, event)")
      ->delimiter(',');
  app.add_option("--schema", args.schema,
                 "Validate every record against this JSON Schema (draft 7) instead of the "
                 "task's record format");
  app.add_option("--entity-count", args.entity_count,
                 "Entity-count file (entity<TAB>label<TAB>count lines); adds count columns to "
                 "the ner badcase spreadsheet");
  app.add_flag("--no-merge", args.no_merge,
               "Write every badcase row in full instead of merging the cells of one instance");
  app.add_flag("--json", args.json,
               "Print the result as one JSON object (srl: a JSON string) and nothing else");
}

nlohmann::ordered_json read_schema(const std::string& file) {
  std::error_code ignored;
  // A directory opens as a stream and would read as empty text.
  if (std::filesystem::is_directory(file, ignored)) {
    throw nlpeval::FileError("cannot read '" + file + "': it is a directory");
  }
  std::ifstream in(file);
  if (!in) throw nlpeval::FileError("cannot open '" + file + "'");
  try {
    return nlohmann::ordered_json::parse(in);
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
  return options;
}

int run(const Arguments& args) {
  try {
    nlpeval::EvaluateResult result =
        nlpeval::evaluate_file(args.task, args.gold, args.pred, options_from(args));
    if (args.json) std::cout << nlpeval::to_json(result).dump() << "\n";
    if (!args.badcase.empty() && !args.json) {
      std::cout << "badcase spreadsheet written to " << args.badcase << "\n";
    }
    std::cout.flush();
    return 0;
  } catch (const nlpeval::Error& error) {
    std::cout.flush();
    std::cerr << "nlpeval: " << error.kind() << ": " << error.what() << "\n";
  } catch (const std::exception& error) {  // out of memory and the like
    std::cout.flush();
    std::cerr << "nlpeval: Error: " << error.what() << "\n";
  }
  return kFailure;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{
      "Evaluates model predictions against gold annotations and reports precision, "
      "recall, F1 and a per-label report; optionally writes a badcase spreadsheet and "
      "a confusion-matrix picture.",
      "nlpeval"};
  Arguments args;
  describe_options(app, args);
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& help) {
    return app.exit(help);
  } catch (const CLI::ParseError& error) {
    std::cerr << "nlpeval: " << error.what() << "\nRun 'nlpeval --help' for the options.\n";
    return kUsageError;
  }
  return run(args);
}
