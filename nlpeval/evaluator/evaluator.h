#ifndef NLPEVAL_EVALUATOR_EVALUATOR_H_
#define NLPEVAL_EVALUATOR_EVALUATOR_H_

// The entry points of nlpeval: evaluate gold against predicted instances of one task type,
// from memory (`evaluate`) or from files (`evaluate_file`), print the scores and write the
// badcase spreadsheet; and the helpers they use, which callers may use alone.
//
// Task types: "ner", "pos", "cws", "relation", "attribute", "event" (JSON records), "dp"
// (CoNLL lines) and "srl".

#include <cstdint>
#include <functional>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <variant>
#include <vector>

#include "nlpeval/core/progress.h"
#include "nlpeval/core/record.h"
#include "nlpeval/core/score_result.h"
#include "nlpeval/evaluator/badcase/types.h"
#include "nlpeval/evaluator/evaluates/dp_score.h"

namespace nlpeval {

class Evaluation;  // evaluation.h

// Entity text -> count, from an entity-count file.
using EntityCount = std::unordered_map<std::string, int64_t>;

// What `evaluate` returns: the four scores of a record task, the "dp" record, or the "srl"
// result text.
using EvaluateResult = std::variant<ScoreResult, DpResult, std::string>;

// The result as JSON: an object with its keys in the documented order ("srl": a string).
nlohmann::ordered_json to_json(const EvaluateResult& result);

// Options of `evaluate`, in its parameter order after the lists:
//   evaluate("ner", gold, pred, {.badcase_file = "bad.xlsx", .do_print = false});
struct EvaluateOptions {
  std::optional<std::string> badcase_file;  // null or "": no badcase mining, no spreadsheet
  bool do_print = true;                     // print the scores
  std::optional<std::string> do_plot;       // confusion-matrix file ("relation", "attribute")
  bool do_na = false;                       // score the no-relation label "na" too
  std::optional<std::vector<std::string>> evaluate_labels;  // labels to score ("ner", ...)
  std::optional<nlohmann::ordered_json> schema;             // a JSON Schema for the records, if any
  std::string entity_count_file;                            // "" means none
  bool is_merge = true;          // merge the cells of one instance in the spreadsheet
  ProgressCallback on_progress;  // told how far the work is; may stop it (see progress.h)
  WarningCallback on_warning;    // told what the scores cannot show, after they are printed
  // Instances before these in a larger set (a shard): the spreadsheet numbers instances from
  // first_index + 1.
  int64_t first_index = 0;
  // When set, the counts the scores were made of are also added to this evaluation (of the
  // same task and scoring options, see evaluation.h) once the scores are made: a state saved
  // without a second pass.
  Evaluation* add_counts_to = nullptr;
};

// Options of `evaluate_file`: the same, but `schema` comes before `evaluate_labels`.
struct EvaluateFileOptions {
  std::optional<std::string> badcase_file;
  bool do_print = true;
  std::optional<std::string> do_plot;
  bool do_na = false;
  std::optional<nlohmann::ordered_json> schema;
  std::optional<std::vector<std::string>> evaluate_labels;
  std::string entity_count_file;
  bool is_merge = true;
  ProgressCallback on_progress;
  WarningCallback on_warning;
  int64_t first_index = 0;
  Evaluation* add_counts_to = nullptr;
};

// Scores predicted against gold instances of one task type; position i of both lists is the
// same text. Reads the entity-count file first when one is named (for every type). "dp"
// scores CoNLL lines with dp_score, which prints by itself; "srl" scores sentences (as
// conll_iterator reads them) with srl_evaluate, returns the scorer's text and prints it with a
// line break; the record tasks validate every record, map and mine instance by instance,
// score, and print with print_evaluate. A badcase spreadsheet is written last when
// `badcase_file` is not empty.
//
// Warnings go to `on_warning` after the scores: an evaluation without any instance, and
// elements that scoring one tag per character loses ("ner", "pos": see TagCollisions). The
// record tasks tell `on_progress` every few hundred instances; when it answers false the
// evaluation throws Cancelled and leaves no spreadsheet behind.
//
// For "dp" every record must be a string (a CoNLL line). Throws TypeError for records of the
// wrong kind, KeyError for a type that is not a task type, ValueError for invalid records or
// lists of different lengths, and whatever the steps raise.
EvaluateResult evaluate(std::string_view type_, const Records& true_list, const Records& pred_list,
                        const EvaluateOptions& options = {});

// The same for CoNLL lines, which only "dp" takes; any other type is a TypeError.
EvaluateResult evaluate(std::string_view type_, const ConllLines& true_list,
                        const ConllLines& pred_list, const EvaluateOptions& options = {});

// Replaces `batch` with the next records of a list and returns true; returns false once the
// list is done. What it throws is an error of the list itself (a record it cannot give).
using RecordBatchSource = std::function<bool(Records& batch)>;

// `evaluate` for a record task whose lists come batch by batch: each source is called on a
// thread of its own, which also validates (and for "ner" and "pos" tags) its batches while the
// caller's thread scores the instances of batches before. The result, the output and the
// errors are those of `evaluate` on the whole lists, an error a source throws coming first
// (the gold one before the predicted one), as when the lists are made before the call. Throws
// TypeError for a type that takes no records ("dp", "srl", unknown), having called neither
// source.
EvaluateResult evaluate_batches(std::string_view type_, RecordBatchSource true_batches,
                                RecordBatchSource pred_batches,
                                const EvaluateOptions& options = {});

// Reads the two files of `type_` (CoNLL for "dp", CoNLL-2005 props for "srl", JSON Lines for
// the record tasks) and does what `evaluate` does on their records: "dp" and "srl" score the
// lines and sentences as they read them (dp_score_files, srl_evaluate_files), in memory that
// does not grow with the files. Throws FileError for a file that cannot be read, ValueError
// for a malformed line.
EvaluateResult evaluate_file(std::string_view type_, const std::string& true_file,
                             const std::string& pred_file, const EvaluateFileOptions& options = {});

// Checks every gold record, then every predicted record, against `schema` when it is given and
// not empty, otherwise against the record format of `type_`; then checks that both lists have
// the same length. Throws at the first bad record (ValueError naming it), KeyError for an
// unknown type, and ValueError "prediction_file and label_file has unequal".
void validate(const std::optional<nlohmann::ordered_json>& schema, const Records& true_list,
              const Records& pred_list, std::string_view type_);

// Reads an entity-count file: UTF-8 lines "entity<TAB>label<TAB>count"; the last line of an
// entity wins. A byte order mark at the start is skipped; "\r\n" line ends are accepted. Throws
// FileError when the file cannot be read and ValueError naming the file and the 1-based line for a
// line that is not three fields with an integer count.
EntityCount read_entity_count(const std::string& entity_count_file = "");

// Prints "precision: P\trecall: R\tf1: F" (three decimals) and the classification report
// with its per-label rows sorted by support, largest first. `score_json` must be an object
// (TypeError) with the four keys (KeyError); a per-label row whose last token is not a
// number is a ValueError, and nothing is printed then.
void print_evaluate(const nlohmann::ordered_json& score_json);
void print_evaluate(const ScoreResult& score);

// Prints a result as `evaluate` prints it: print_evaluate for the record tasks, the "UAS: x\tLAS:
// y" table for "dp", the scorer's text and a line break for "srl".
void print_result(const EvaluateResult& result);

// Writes the badcase records of `type_` as spreadsheet rows into `badcase_file`. Throws
// KeyError for a type without spreadsheet columns ("dp", "srl", unknown).
// `on_progress` is told every few hundred rows and may stop the writing (Cancelled).
void generate_badcase(std::string_view type_, const std::vector<Label2PredData>& label2preddataset,
                      const std::string& badcase_file, bool is_merge = true,
                      const std::string& entity_count_file = "",
                      const ProgressCallback& on_progress = {});

}  // namespace nlpeval

#endif  // NLPEVAL_EVALUATOR_EVALUATOR_H_
