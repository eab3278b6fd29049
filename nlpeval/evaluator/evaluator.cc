#include "nlpeval/evaluator/evaluator.h"

#include <algorithm>
#include <iostream>
#include <memory>

#include "nlpeval/core/errors.h"
#include "nlpeval/core/internal/overloaded.h"
#include "nlpeval/core/tags.h"
#include "nlpeval/data/json_reader.h"
#include "nlpeval/data/json_validator.h"
#include "nlpeval/evaluator/badcase_sheet.h"
#include "nlpeval/evaluator/evaluates/cws_score.h"
#include "nlpeval/evaluator/evaluates/dp_score_files.h"
#include "nlpeval/evaluator/evaluates/internal/dp_counter.h"
#include "nlpeval/evaluator/internal/task_counts.h"
#include "nlpeval/evaluator/evaluates/label_na_score.h"
#include "nlpeval/evaluator/evaluates/label_score.h"
#include "nlpeval/evaluator/evaluates/srl_evaluate.h"
#include "nlpeval/evaluator/internal/instance_loop.h"
#include "nlpeval/evaluator/miner_kinds.h"
#include "nlpeval/evaluator/internal/progress_reporter.h"
#include "nlpeval/evaluator/internal/record_files.h"
#include "nlpeval/tasks/task.h"

namespace nlpeval {
namespace {

void warn(const WarningCallback& on_warning, const std::string& text) {
  if (on_warning) on_warning(text);
}

constexpr std::string_view kNoInstance = "no instance to evaluate: every score is 0";

bool wants_badcase(const EvaluateOptions& options) {
  return options.badcase_file.has_value() && !options.badcase_file->empty();
}

void add_counts_if_asked(std::string_view type_, const EvaluateOptions& options,
                         CountedRun counted);

// Props are scored by the CoNLL-2005 scorer; the result is its text. A badcase file still goes
// through generate_badcase, which has no columns for it, after the text was printed.
std::string evaluate_srl(std::string_view type_, const SrlResult& scored,
                         const EvaluateOptions& options) {
  std::string result = scored.to_string();
  add_counts_if_asked(type_, options, {scored, scored.sentences});
  if (options.do_print) print_result(result);
  if (scored.sentences == 0) warn(options.on_warning, std::string(kNoInstance));
  if (wants_badcase(options)) {
    generate_badcase(type_, {}, *options.badcase_file, options.is_merge,
                     options.entity_count_file);
  }
  return result;
}

// A task type the registry holds but no scoring function takes.
[[noreturn]] void throw_unscorable(std::string_view type_) {
  throw TypeError("type: " + std::string(type_) + " is not define");
}

// The task `type_` when its input is `input`, or null.
const TaskDescriptor* task_taking(std::string_view type_, TaskInput input) {
  const TaskDescriptor* task = find_task(type_);
  return task != nullptr && task->input == input ? task : nullptr;
}

bool wants_plot(const EvaluateOptions& options) {
  return options.do_plot.has_value() && !options.do_plot->empty();
}

// What the scores of counts take from the options.
CountScoring count_scoring(const EvaluateOptions& options) {
  return {.do_na = options.do_na,
          .evaluate_labels = options.evaluate_labels,
          .do_plot = options.do_plot};
}

// CoNLL lines passed as records must be strings.
ConllLines lines_of(const Records& records, std::string_view what) {
  ConllLines lines;
  lines.reserve(records.size());
  for (size_t index = 0; index < records.size(); ++index) {
    Record record = records[index];
    // The element's name is built only for the error, not for every line.
    if (record.kind() != Kind::string) {
      record.as_string(std::string(what) + "[" + std::to_string(index) + "]");
    }
    lines.emplace_back(record.as_string(what));
  }
  return lines;
}

std::optional<EntityCount> entity_counts_if_named(const EvaluateOptions& options) {
  if (options.entity_count_file.empty()) return std::nullopt;
  return read_entity_count(options.entity_count_file);
}

// CoNLL lines are not mined; a badcase file still goes through generate_badcase, which has no
// columns for them.
void write_dp_badcase_if_asked(std::string_view type_, const EvaluateOptions& options) {
  if (!wants_badcase(options)) return;
  generate_badcase(type_, {}, *options.badcase_file, options.is_merge, options.entity_count_file);
}

// "1 entity overlaps a later entity, 2 lie outside their text; ...", naming the elements as
// the task does.
std::string describe_collisions(std::string_view type_, const TagCollisions& collisions) {
  const TaskDescriptor& task = *find_task(type_);
  auto elements = [&](int64_t count) {
    return std::to_string(count) + " " + std::string(count == 1 ? task.element : task.elements);
  };
  std::vector<std::string> parts;
  if (collisions.overlapping > 0) {
    parts.push_back(elements(collisions.overlapping) +
                    (collisions.overlapping == 1 ? " overlaps" : " overlap") + " a later " +
                    std::string(task.element));
  }
  if (collisions.outside_text > 0) {
    parts.push_back(
        (parts.empty() ? elements(collisions.outside_text)
                       : std::to_string(collisions.outside_text)) +
        (collisions.outside_text == 1 ? " lies outside its text" : " lie outside their text"));
  }
  std::string text = parts[0];
  if (parts.size() == 2) text += ", " + parts[1];
  return text + "; scores count one tag per character";
}

void warn_of_record_scores(std::string_view type_, const ScoreResult& score, int64_t instances,
                           const WarningCallback& on_warning) {
  if (instances == 0) warn(on_warning, std::string(kNoInstance));
  if (score.collisions.any()) warn(on_warning, describe_collisions(type_, score.collisions));
}

// The instance loop of a record task: walks the pairs, counts what its mapper makes of each
// instance and gives its miner's badcase records to `keep` when `mine` is true.
template <InstancePairs Pairs>
TaskCounts count_records(std::string_view type_, const Pairs& pairs,
                         const EvaluateOptions& options,
                         const std::optional<EntityCount>& entity2count, bool mine,
                         const BadcaseSink& keep) {
  Instrument instrument;  // throws KeyError for a type it does not know
  Generator badcase_generator = instrument.get_generator(type_);
  Convertor convertor = instrument.get_convertor(type_);
  const TaskDescriptor* task = task_taking(type_, TaskInput::records);
  if (task == nullptr) throw_unscorable(type_);
  return std::visit(
      [&]<typename Mapper, typename Miner>(const Mapper* mapper, const Miner* miner) -> TaskCounts {
        static_assert(TagMapper<Mapper> || LabelMapper<Mapper> || SpanMapper<Mapper>,
                      "a registered mapper writes tag or label ids or word spans");
        if constexpr (TagMapper<Mapper>) {
          if (task->scoring != Scoring::tag_chunks) throw_unscorable(type_);
          return count_instances(*mapper, *miner, pairs, mine, entity2count,
                                 options.evaluate_labels, keep, options.first_index);
        } else if constexpr (SpanMapper<Mapper>) {
          if (task->scoring != Scoring::word_spans) throw_unscorable(type_);
          return count_spans(*mapper, *miner, pairs, mine, entity2count, options.evaluate_labels,
                             keep, options.first_index);
        } else {
          if (task->scoring != Scoring::flat_labels) throw_unscorable(type_);
          TagVocabulary vocabulary;
          FlatLabelCounts counted{{}, metrics::LabelIdCounter(wants_plot(options))};
          count_labels(*mapper, *miner, pairs, mine, entity2count, options.evaluate_labels, keep,
                       vocabulary, counted.counter, options.first_index);
          counted.names.reserve(vocabulary.size());
          for (TagId id = 0; id < vocabulary.size(); ++id) {
            counted.names.emplace_back(vocabulary.tag(id));
          }
          return counted;
        }
      },
      convertor, badcase_generator);
}

// Hands the counts of a run to the Evaluation the caller asked them for.
void add_counts_if_asked(std::string_view type_, const EvaluateOptions& options,
                         CountedRun counted) {
  if (options.add_counts_to == nullptr) return;
  add_counted(*options.add_counts_to, type_, std::move(counted), count_scoring(options));
}

// Registry, the instance loop, scoring, printing and the spreadsheet of a record task. The
// records are validated before they are walked (in memory) or as they are read (from files).
// The spreadsheet takes the badcase records as they are mined and is written last.
template <InstancePairs Pairs>
ScoreResult score_records(std::string_view type_, const Pairs& walked_pairs,
                          const EvaluateOptions& options,
                          const std::optional<EntityCount>& entity2count) {
  // The registry names an unknown type before a spreadsheet is begun for it.
  static_cast<void>(Instrument().get_generator(type_));
  std::optional<BadcaseSheet> sheet;
  if (wants_badcase(options)) {
    sheet.emplace(type_, *options.badcase_file, options.is_merge,
                  !options.entity_count_file.empty());
  }
  const BadcaseSink keep = [&](Label2PredData&& record) { sheet->add(std::move(record)); };
  ProgressReporter reporter(options.on_progress, sheet ? &*sheet : nullptr);
  const ReportingPairs<Pairs> pairs(walked_pairs, reporter);
  TaskCounts counts =
      count_records(type_, pairs, options, entity2count, sheet.has_value(), keep);
  ScoreResult score = std::get<ScoreResult>(score_counts(type_, counts, count_scoring(options)));
  reporter.tell(Progress::Phase::scored);
  add_counts_if_asked(type_, options, {std::move(counts), reporter.instances()});
  if (options.do_print) print_evaluate(score);
  warn_of_record_scores(type_, score, reporter.instances(), options.on_warning);
  if (sheet) {
    const std::string partial_file(sheet->pending_file());
    reporter.tell(Progress::Phase::writing, partial_file);
    sheet->finish();
  }
  return score;
}

EvaluateOptions to_evaluate_options(const EvaluateFileOptions& file_options) {
  return EvaluateOptions{.badcase_file = file_options.badcase_file,
                         .do_print = file_options.do_print,
                         .do_plot = file_options.do_plot,
                         .do_na = file_options.do_na,
                         .evaluate_labels = file_options.evaluate_labels,
                         .schema = file_options.schema,
                         .entity_count_file = file_options.entity_count_file,
                         .is_merge = file_options.is_merge,
                         .on_progress = file_options.on_progress,
                         .on_warning = file_options.on_warning,
                         .first_index = file_options.first_index,
                         .add_counts_to = file_options.add_counts_to};
}

// JSON truth: null, false, 0, "" and empty containers are false.
bool is_truthy(const nlohmann::ordered_json& value) {
  if (value.is_null()) return false;
  if (value.is_boolean()) return value.get<bool>();
  if (value.is_number()) return value.get<double>() != 0.0;
  if (value.is_string()) return !value.get_ref<const std::string&>().empty();
  return !value.empty();
}

// Where record `index` of a list came from, for messages: "file:line", or the list's role.
// Reuses `buffer` so that validating a million records allocates nothing.
std::string_view origin_of(const Records& records, size_t index, std::string_view role,
                           std::string& buffer) {
  buffer.clear();
  if (!records.append_origin(index, buffer)) buffer = role;
  return buffer;
}

// Validates `records` from position `from` on, the list standing at `first_index` onwards in
// its file.
template <typename Validator, typename Rule>
void validate_all(const Validator& validator, const Records& records, const Rule& rule,
                  std::string_view role, size_t first_index = 0, size_t from = 0) {
  std::string origin;
  for (size_t index = from; index < records.size(); ++index) {
    validator.validate(records[index], rule, static_cast<int64_t>(first_index + index),
                       origin_of(records, index, role, origin));
  }
}

bool has_schema(const std::optional<nlohmann::ordered_json>& schema) {
  return schema.has_value() && is_truthy(*schema);
}

bool is_record_task(std::string_view type_) {
  return task_taking(type_, TaskInput::records) != nullptr;
}

// Validates the batches of one file as they are read, against the schema when one is given,
// otherwise against the format of `type_`. Each call makes a validator of its own, for one
// thread.
BatchValidator batch_validator(const std::optional<nlohmann::ordered_json>& schema,
                               std::string_view type_, std::string_view role) {
  if (has_schema(schema)) {
    auto validator = std::make_shared<JsonValidator>();
    return
        [validator, &rule = *schema, role](const Records& batch, size_t first_index, size_t from) {
          validate_all(*validator, batch, rule, role, first_index, from);
        };
  }
  auto validator = std::make_shared<MvrcloudJsonValidator>();
  return [validator, type_, role](const Records& batch, size_t first_index, size_t from) {
    validate_all(*validator, batch, type_, role, first_index, from);
  };
}

// What the mapper of a record task lets the walk over two files leave to it.
struct MapperTrust {
  // It fails on every pair of records the task's format refuses (kChecksRecordFormat).
  bool checks_format = false;
  // The keys the reading threads tag its records with ahead: those of a tag mapper whose
  // task keeps its elements at offsets, by which it tags.
  std::optional<TagKeys> ahead_keys;
};

MapperTrust mapper_trust(std::string_view type_) {
  if (!is_record_task(type_)) return {};
  const TaskDescriptor& task = *find_task(type_);
  return std::visit(
      [&]<typename Mapper>(const Mapper*) {
        MapperTrust trust;
        if constexpr (requires { Mapper::kChecksRecordFormat; }) {
          trust.checks_format = Mapper::kChecksRecordFormat;
        }
        if constexpr (TagMapper<Mapper>) trust.ahead_keys = task.element_keys;
        return trust;
      },
      Instrument().get_convertor(type_));
}

// Reads the entity counts into `entity2count` when a file is named; returns what went wrong,
// which the walks over two sources hold until the sources' own errors are known.
std::exception_ptr read_entity_counts(const EvaluateOptions& options,
                                      std::optional<EntityCount>& entity2count) {
  try {
    entity2count = entity_counts_if_named(options);
  } catch (...) {
    return std::current_exception();
  }
  return nullptr;
}

// Opens `source` itself, once: a list is walked once.
SourceOpener opener_of(RecordBatchSource source) {
  return [source = std::move(source)]() { return source; };
}

// A record task on two streams of records (files, or lists given batch by batch), read,
// validated, mapped and mined in one pass that holds a few batches of each at a time.
// `walk(validate_gold, validate_pred, held_error, visits_vouch, ahead_keys)` makes the
// StreamedPairs over them; `finish(pairs, entity2count)` walks them. Errors come in the order
// of reading both whole, then reading the entity counts, then validating (see StreamedPairs).
template <typename MakeWalk, typename Finish>
auto walk_streams(std::string_view type_, const EvaluateOptions& options, const MakeWalk& walk,
                  const Finish& finish) {
  std::optional<EntityCount> entity2count;
  const std::exception_ptr entity_count_error = read_entity_counts(options, entity2count);
  // Where the mapper checks all that the format asks, only records it did not map are
  // validated; a schema of the caller's may ask more.
  const MapperTrust trust = mapper_trust(type_);
  const StreamedPairs pairs = walk(batch_validator(options.schema, type_, "gold"),
                                   batch_validator(options.schema, type_, "prediction"),
                                   entity_count_error,
                                   trust.checks_format && !has_schema(options.schema),
                                   trust.ahead_keys);
  // An unknown type is reported after what is wrong with the streams, as when they were read
  // first: they are walked through without visiting instances.
  if (!is_record_task(type_)) pairs.for_each([](const Record&, const Record&, size_t) {});
  return finish(pairs, entity2count);
}

// The StreamedPairs over two JSON Lines files.
auto file_walk(const std::string& true_file, const std::string& pred_file) {
  return [&](BatchValidator gold, BatchValidator pred, std::exception_ptr held, bool vouch,
             std::optional<TagKeys> ahead_keys) {
    return StreamedPairs(true_file, pred_file, std::move(gold), std::move(pred), std::move(held),
                         JsonLinesStream::kDefaultChunkBytes, vouch, ahead_keys);
  };
}

auto score_with(std::string_view type_, const EvaluateOptions& options) {
  return [type_, &options](const StreamedPairs& pairs,
                           const std::optional<EntityCount>& entity2count) {
    return score_records(type_, pairs, options, entity2count);
  };
}

ScoreResult evaluate_record_files(std::string_view type_, const std::string& true_file,
                                  const std::string& pred_file, const EvaluateOptions& options) {
  return walk_streams(type_, options, file_walk(true_file, pred_file), score_with(type_, options));
}

// The same for two lists given batch by batch: the errors are those of `evaluate` on the
// whole lists.
ScoreResult evaluate_record_batches(std::string_view type_, RecordBatchSource true_batches,
                                    RecordBatchSource pred_batches,
                                    const EvaluateOptions& options) {
  return walk_streams(
      type_, options,
      [&](BatchValidator gold, BatchValidator pred, std::exception_ptr held, bool vouch,
          std::optional<TagKeys> ahead_keys) {
        return StreamedPairs(opener_of(std::move(true_batches)),
                             opener_of(std::move(pred_batches)), std::move(gold), std::move(pred),
                             std::move(held), vouch, ahead_keys);
      },
      score_with(type_, options));
}

// The instance loop of score_records with nothing printed, mined or told.
template <InstancePairs Pairs>
CountedRun count_quietly(std::string_view type_, const Pairs& walked_pairs,
                         const EvaluateOptions& options) {
  ProgressReporter reporter(options.on_progress, nullptr);
  const ReportingPairs<Pairs> pairs(walked_pairs, reporter);
  TaskCounts counts = count_records(type_, pairs, options, std::nullopt, false, {});
  return {std::move(counts), reporter.instances()};
}

EvaluateOptions counting_options(const CountScoring& scoring) {
  return {.do_print = false,
          .do_na = scoring.do_na,
          .evaluate_labels = scoring.evaluate_labels};
}

}  // namespace

nlohmann::ordered_json to_json(const EvaluateResult& result) {
  return std::visit(overloaded{
                        [](const ScoreResult& score) { return score.to_json(); },
                        [](const DpResult& dp) { return dp.to_json(); },
                        [](const std::string& text) { return nlohmann::ordered_json(text); },
                    },
                    result);
}

EvaluateResult evaluate(std::string_view type_, const Records& true_list, const Records& pred_list,
                        const EvaluateOptions& options) {
  if (task_taking(type_, TaskInput::conll_lines)) {
    ConllLines true_lines = lines_of(true_list, "true_list");
    ConllLines pred_lines = lines_of(pred_list, "pred_list");
    return evaluate(type_, true_lines, pred_lines, options);
  }
  std::optional<EntityCount> entity2count = entity_counts_if_named(options);
  if (task_taking(type_, TaskInput::props)) {
    return evaluate_srl(type_, srl_evaluate(true_list, pred_list), options);
  }
  validate(options.schema, true_list, pred_list, type_);
  return score_records(type_, ListedPairs(true_list, pred_list), options, entity2count);
}

EvaluateResult evaluate_batches(std::string_view type_, RecordBatchSource true_batches,
                                RecordBatchSource pred_batches, const EvaluateOptions& options) {
  if (!is_record_task(type_)) {
    throw TypeError("type: " + std::string(type_) + " takes no records given in batches");
  }
  return evaluate_record_batches(type_, std::move(true_batches), std::move(pred_batches),
                                 options);
}

EvaluateResult evaluate(std::string_view type_, const ConllLines& true_list,
                        const ConllLines& pred_list, const EvaluateOptions& options) {
  if (!task_taking(type_, TaskInput::conll_lines)) {
    const std::string takers = task_names(
        [](const TaskDescriptor& task) { return task.input == TaskInput::conll_lines; });
    throw TypeError("true_list: expected a list of records for type '" + std::string(type_) +
                    "', got CoNLL lines (only \"" + takers + "\" takes them)");
  }
  entity_counts_if_named(options);  // read and checked for every type, used by "ner" alone
  dp::Counter counter = dp::count_lines(true_list, pred_list);
  DpResult result = counter.result();
  if (options.do_print) print_result(result);
  add_counts_if_asked(type_, options, {std::move(counter), static_cast<int64_t>(true_list.size())});
  if (true_list.empty() && pred_list.empty()) warn(options.on_warning, std::string(kNoInstance));
  write_dp_badcase_if_asked(type_, options);
  return result;
}

EvaluateResult evaluate_file(std::string_view type_, const std::string& true_file,
                             const std::string& pred_file, const EvaluateFileOptions& options) {
  // Both are scored as the two files are read: the caller hears of each batch of CoNLL lines
  // or of sentence pairs.
  ProgressReporter reporter(options.on_progress, nullptr);
  if (task_taking(type_, TaskInput::conll_lines)) {
    const EvaluateOptions conll_options = to_evaluate_options(options);
    dp::CountedFiles counted = dp::count_files(
        true_file, pred_file,
        {.on_lines = [&](size_t lines) { reporter.file_read(lines); },
         // read and checked for every type, used by "ner" alone
         .on_read = [&] { entity_counts_if_named(conll_options); }});
    DpResult result = counted.counter.result();
    if (conll_options.do_print) print_result(result);
    add_counts_if_asked(type_, conll_options, {std::move(counted.counter),
                                        static_cast<int64_t>(counted.true_lines)});
    if (counted.true_lines == 0 && counted.pred_lines == 0) {
      warn(conll_options.on_warning, std::string(kNoInstance));
    }
    write_dp_badcase_if_asked(type_, conll_options);
    return result;
  }
  if (task_taking(type_, TaskInput::props)) {
    // Read and scored in one pass; the caller hears of each batch of sentence pairs.
    const SrlFileScore scored = srl_evaluate_files(
        true_file, pred_file, [&](size_t pairs) { reporter.file_read(pairs); });
    const EvaluateOptions evaluate_options = to_evaluate_options(options);
    entity_counts_if_named(evaluate_options);  // after reading, before scoring, as evaluate() has it
    return evaluate_srl(type_, scored.value(), evaluate_options);
  }
  return evaluate_record_files(type_, true_file, pred_file, to_evaluate_options(options));
}

void validate(const std::optional<nlohmann::ordered_json>& schema, const Records& true_list,
              const Records& pred_list, std::string_view type_) {
  if (has_schema(schema)) {
    JsonValidator validator;
    validate_all(validator, true_list, *schema, "gold");
    validate_all(validator, pred_list, *schema, "prediction");
  } else {
    MvrcloudJsonValidator validator;
    validate_all(validator, true_list, type_, "gold");
    validate_all(validator, pred_list, type_, "prediction");
  }
  if (true_list.size() != pred_list.size()) {
    throw ValueError("prediction_file and label_file has unequal");
  }
}

CountedRun count_lists(std::string_view type_, const Records& true_list,
                       const Records& pred_list, const CountScoring& scoring) {
  if (task_taking(type_, TaskInput::conll_lines)) {
    return count_lists(type_, lines_of(true_list, "true_list"), lines_of(pred_list, "pred_list"));
  }
  if (task_taking(type_, TaskInput::props)) {
    SrlResult counted = srl_evaluate(true_list, pred_list);
    const int64_t sentences = counted.sentences;
    return {std::move(counted), sentences};
  }
  validate(std::nullopt, true_list, pred_list, type_);
  return count_quietly(type_, ListedPairs(true_list, pred_list), counting_options(scoring));
}

CountedRun count_lists(std::string_view type_, const ConllLines& true_list,
                       const ConllLines& pred_list) {
  if (!task_taking(type_, TaskInput::conll_lines)) {
    throw TypeError("true_list: expected a list of records for type '" + std::string(type_) +
                    "', got CoNLL lines");
  }
  return {dp::count_lines(true_list, pred_list), static_cast<int64_t>(true_list.size())};
}

CountedRun count_files(std::string_view type_, const std::string& true_file,
                       const std::string& pred_file, const CountScoring& scoring) {
  if (task_taking(type_, TaskInput::conll_lines)) {
    dp::CountedFiles counted = dp::count_files(true_file, pred_file, {});
    return {std::move(counted.counter), static_cast<int64_t>(counted.true_lines)};
  }
  if (task_taking(type_, TaskInput::props)) {
    SrlResult counted = srl_evaluate_files(true_file, pred_file).value();
    const int64_t sentences = counted.sentences;
    return {std::move(counted), sentences};
  }
  const EvaluateOptions options = counting_options(scoring);
  return walk_streams(type_, options, file_walk(true_file, pred_file),
                      [&](const StreamedPairs& pairs, const std::optional<EntityCount>&) {
                        return count_quietly(type_, pairs, options);
                      });
}

void generate_badcase(std::string_view type_, const std::vector<Label2PredData>& label2preddataset,
                      const std::string& badcase_file, bool is_merge,
                      const std::string& entity_count_file, const ProgressCallback& on_progress) {
  BadcaseSheet sheet(type_, badcase_file, is_merge, !entity_count_file.empty());
  ProgressReporter reporter(on_progress, &sheet);
  for (const Label2PredData& record : label2preddataset) {
    sheet.add(record);
    reporter.instance_done();
  }
  const std::string partial_file(sheet.pending_file());
  reporter.tell(Progress::Phase::writing, partial_file);
  sheet.finish();
}

}  // namespace nlpeval
