#include "nlpeval/evaluator/internal/evaluation_state.h"

#include <cstdio>
#include <limits>
#include <unordered_set>
#include <nlohmann/json.hpp>
#include <utility>

#include "nlpeval/core/errors.h"
#include "nlpeval/core/internal/overloaded.h"

namespace nlpeval {
namespace {

using Json = nlohmann::ordered_json;

constexpr std::string_view kFormat = "nlpeval evaluation state";

// FNV-1a over the compact text of the document without its checksum: a state edited by hand,
// or damaged, no longer matches it.
std::string checksum_of(const Json& document) {
  uint64_t hash = 14695981039346656037ULL;
  for (unsigned char byte : document.dump()) {
    hash ^= byte;
    hash *= 1099511628211ULL;
  }
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
  return text;
}

// ---- writing ----

Json chunk_json(const CountedInstances& chunks) {
  Json types = Json::array();
  for (const metrics::seq::TypeCounts& row : chunks.chunks) {
    types.push_back({{"type", row.type},
                     {"true", row.true_count},
                     {"pred", row.pred_count},
                     {"correct", row.correct}});
  }
  return {{"types", std::move(types)},
          {"overlapping_elements", chunks.collisions.overlapping},
          {"elements_outside_text", chunks.collisions.outside_text}};
}

// Only the labels counted, in order of first sight.
Json label_json(const FlatLabelCounts& labels) {
  Json rows = Json::array();
  for (uint32_t id : labels.counter.ids_seen()) {
    rows.push_back({{"label", labels.names[id]},
                    {"true", labels.counter.truth(id)},
                    {"pred", labels.counter.pred(id)},
                    {"correct", labels.counter.tp(id)}});
  }
  return {{"labels", std::move(rows)},
          {"positions", static_cast<int64_t>(labels.counter.positions())},
          {"agreements", labels.counter.agreements()}};
}

Json head_json(const dp::Counter& heads) {
  Json rows = Json::array();
  const dp::LabelTable& table = heads.labels();
  for (size_t slot = 0; slot < table.size(); ++slot) {
    const dp::Hits& hits = table.hits(slot);
    rows.push_back({{"label", table.label(slot)},
                    {"support", static_cast<int64_t>(hits.support)},
                    {"unlabelled", static_cast<int64_t>(hits.unlabelled)},
                    {"labelled", static_cast<int64_t>(hits.labelled)}});
  }
  return {{"labels", std::move(rows)}};
}

Json srl_rows(const std::vector<SrlTypeCounts>& rows) {
  Json json = Json::array();
  for (const SrlTypeCounts& row : rows) {
    json.push_back({{"type", row.type},
                    {"correct", row.counts.correct},
                    {"excess", row.counts.excess},
                    {"missed", row.counts.missed}});
  }
  return json;
}

Json argument_json(const SrlResult& arguments) {
  return {{"sentences", arguments.sentences},
          {"propositions", arguments.propositions},
          {"perfect_propositions", arguments.perfect_propositions},
          {"types", srl_rows(arguments.types)},
          {"excluded", srl_rows(arguments.excluded)}};
}

Json counts_json(const TaskCounts& counts) {
  return std::visit(overloaded{
                        [](const CountedInstances& chunks) { return chunk_json(chunks); },
                        [](const CwsCounts& words) -> Json {
                          return {{"true", words.true_count},
                                  {"pred", words.pred_count},
                                  {"correct", words.acc_count}};
                        },
                        [](const FlatLabelCounts& labels) { return label_json(labels); },
                        [](const dp::Counter& heads) { return head_json(heads); },
                        [](const SrlResult& arguments) { return argument_json(arguments); },
                    },
                    counts);
}

Json options_json(const EvaluationOptions& options) {
  return {{"evaluate_labels",
           options.evaluate_labels ? Json(*options.evaluate_labels) : Json(nullptr)},
          {"do_na", options.do_na}};
}

// ---- reading ----

// Reads the parts of a state, naming `origin` and the key of whatever is wrong.
class StateReader {
 public:
  explicit StateReader(std::string_view origin) : origin_(origin) {}

  [[noreturn]] void fail(const std::string& what) const {
    throw ValueError("state '" + origin_ + "': " + what);
  }

  const Json& member(const Json& object, std::string_view key, const std::string& path) const {
    if (!object.is_object()) fail(path + " is not an object");
    auto found = object.find(key);
    if (found == object.end()) fail((path.empty() ? "" : path + ".") + std::string(key) +
                                    " is missing");
    return *found;
  }

  // A count: an integer from 0 up.
  int64_t count(const Json& object, std::string_view key, const std::string& path) const {
    const Json& value = member(object, key, path);
    const std::string name = (path.empty() ? "" : path + ".") + std::string(key);
    if (value.is_number_unsigned() &&
        value.get<uint64_t>() <= static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) {
      return static_cast<int64_t>(value.get<uint64_t>());
    }
    if (value.is_number_integer() && value.get<int64_t>() >= 0) return value.get<int64_t>();
    fail(name + " is not a count (an integer from 0 up): " + value.dump());
  }

  const std::string& text(const Json& object, std::string_view key,
                          const std::string& path) const {
    const Json& value = member(object, key, path);
    if (!value.is_string()) fail(path + "." + std::string(key) + " is not a string");
    return value.get_ref<const std::string&>();
  }

  const Json& array(const Json& object, std::string_view key, const std::string& path) const {
    const Json& value = member(object, key, path);
    if (!value.is_array()) fail(path + "." + std::string(key) + " is not an array");
    return value;
  }

  void at_most(int64_t part, int64_t whole, const std::string& what) const {
    if (part > whole) fail(what);
  }

 private:
  std::string origin_;
};

std::string at(const std::string& path, size_t index) {
  return path + "[" + std::to_string(index) + "]";
}

// Names must come in strictly increasing byte order (sorted and distinct).
void check_sorted(const StateReader& reader, const std::string& previous,
                  const std::string& name, const std::string& path, size_t index) {
  if (index > 0 && !(previous < name)) {
    reader.fail(at(path, index) + " is not after " + at(path, index - 1) +
                " in byte order, or repeats it");
  }
}

CountedInstances read_chunks(const StateReader& reader, const Json& json) {
  CountedInstances chunks;
  const std::string path = "counts.types";
  const Json& types = reader.array(json, "types", "counts");
  for (size_t i = 0; i < types.size(); ++i) {
    const std::string row = at(path, i);
    metrics::seq::TypeCounts counts{reader.text(types[i], "type", row),
                                    reader.count(types[i], "true", row),
                                    reader.count(types[i], "pred", row),
                                    reader.count(types[i], "correct", row)};
    check_sorted(reader, chunks.chunks.empty() ? "" : chunks.chunks.back().type, counts.type,
                 path, i);
    reader.at_most(counts.correct, std::min(counts.true_count, counts.pred_count),
                   row + ".correct exceeds its true or pred count");
    chunks.chunks.push_back(std::move(counts));
  }
  chunks.collisions.overlapping = reader.count(json, "overlapping_elements", "counts");
  chunks.collisions.outside_text = reader.count(json, "elements_outside_text", "counts");
  return chunks;
}

CwsCounts read_words(const StateReader& reader, const Json& json) {
  CwsCounts words{reader.count(json, "true", "counts"), reader.count(json, "pred", "counts"),
                  reader.count(json, "correct", "counts")};
  reader.at_most(words.acc_count, std::min(words.true_count, words.pred_count),
                 "counts.correct exceeds counts.true or counts.pred");
  return words;
}

FlatLabelCounts read_labels(const StateReader& reader, const Json& json) {
  FlatLabelCounts labels{{}, metrics::LabelIdCounter()};
  const std::string path = "counts.labels";
  const Json& rows = reader.array(json, "labels", "counts");
  std::unordered_set<std::string> seen;
  int64_t truth = 0;
  int64_t pred = 0;
  int64_t correct = 0;
  for (size_t i = 0; i < rows.size(); ++i) {
    const std::string row = at(path, i);
    const std::string& name = reader.text(rows[i], "label", row);
    if (!seen.insert(name).second) reader.fail(row + " repeats an earlier label");
    const int64_t row_truth = reader.count(rows[i], "true", row);
    const int64_t row_pred = reader.count(rows[i], "pred", row);
    const int64_t row_correct = reader.count(rows[i], "correct", row);
    reader.at_most(row_correct, std::min(row_truth, row_pred),
                   row + ".correct exceeds its true or pred count");
    labels.names.push_back(name);
    labels.counter.add_counts(static_cast<uint32_t>(i), row_truth, row_pred, row_correct);
    truth += row_truth;
    pred += row_pred;
    correct += row_correct;
  }
  const int64_t positions = reader.count(json, "positions", "counts");
  const int64_t agreements = reader.count(json, "agreements", "counts");
  if (truth != positions || pred != positions || correct != agreements) {
    reader.fail("counts.positions or counts.agreements disagree with the labels' counts");
  }
  labels.counter.add_positions(static_cast<size_t>(positions), agreements);
  return labels;
}

dp::Counter read_heads(const StateReader& reader, const Json& json) {
  dp::Counter heads;
  const std::string path = "counts.labels";
  const Json& rows = reader.array(json, "labels", "counts");
  for (size_t i = 0; i < rows.size(); ++i) {
    const std::string row = at(path, i);
    const std::string& label = reader.text(rows[i], "label", row);
    const dp::Hits hits{static_cast<size_t>(reader.count(rows[i], "support", row)),
                        static_cast<size_t>(reader.count(rows[i], "unlabelled", row)),
                        static_cast<size_t>(reader.count(rows[i], "labelled", row))};
    if (hits.labelled > hits.unlabelled || hits.unlabelled > hits.support) {
      reader.fail(row + ": labelled <= unlabelled <= support does not hold");
    }
    heads.add_hits(label, hits);
    if (heads.labels().size() != i + 1) reader.fail(row + " repeats an earlier label");
  }
  return heads;
}

std::vector<SrlTypeCounts> read_srl_rows(const StateReader& reader, const Json& json,
                                         std::string_view key) {
  std::vector<SrlTypeCounts> rows;
  const std::string path = "counts." + std::string(key);
  const Json& array = reader.array(json, key, "counts");
  for (size_t i = 0; i < array.size(); ++i) {
    const std::string row = at(path, i);
    SrlTypeCounts counts{reader.text(array[i], "type", row),
                         {reader.count(array[i], "correct", row),
                          reader.count(array[i], "excess", row),
                          reader.count(array[i], "missed", row)}};
    check_sorted(reader, rows.empty() ? "" : rows.back().type, counts.type, path, i);
    rows.push_back(std::move(counts));
  }
  return rows;
}

SrlResult read_arguments(const StateReader& reader, const Json& json) {
  SrlResult arguments;
  arguments.sentences = reader.count(json, "sentences", "counts");
  arguments.propositions = reader.count(json, "propositions", "counts");
  arguments.perfect_propositions = reader.count(json, "perfect_propositions", "counts");
  reader.at_most(arguments.perfect_propositions, arguments.propositions,
                 "counts.perfect_propositions exceeds counts.propositions");
  arguments.types = read_srl_rows(reader, json, "types");
  arguments.excluded = read_srl_rows(reader, json, "excluded");
  // Overall is the sum of the types but the excluded ones, as the tally makes it.
  for (const SrlTypeCounts& row : arguments.types) {
    arguments.overall.correct += row.counts.correct;
    arguments.overall.excess += row.counts.excess;
    arguments.overall.missed += row.counts.missed;
  }
  return arguments;
}

TaskCounts read_counts(const StateReader& reader, Scoring scoring, const Json& json) {
  if (!json.is_object()) reader.fail("counts is not an object");
  switch (scoring) {
    case Scoring::tag_chunks:
      return read_chunks(reader, json);
    case Scoring::word_spans:
      return read_words(reader, json);
    case Scoring::flat_labels:
      return read_labels(reader, json);
    case Scoring::heads:
      return read_heads(reader, json);
    case Scoring::arguments:
      return read_arguments(reader, json);
  }
  reader.fail("counts of an unknown kind");
}

EvaluationOptions read_options(const StateReader& reader, const Json& json) {
  EvaluationOptions options;
  const Json& labels = reader.member(json, "evaluate_labels", "options");
  if (!labels.is_null()) {
    if (!labels.is_array()) reader.fail("options.evaluate_labels is neither null nor an array");
    options.evaluate_labels.emplace();
    for (const Json& label : labels) {
      if (!label.is_string()) reader.fail("options.evaluate_labels holds a non-string");
      options.evaluate_labels->push_back(label.get<std::string>());
    }
  }
  const Json& do_na = reader.member(json, "do_na", "options");
  if (!do_na.is_boolean()) reader.fail("options.do_na is not true or false");
  options.do_na = do_na.get<bool>();
  return options;
}

Json parse_document(const StateReader& reader, std::string_view text) {
  Json document = Json::parse(text, nullptr, false);
  if (document.is_discarded()) {
    reader.fail("not a JSON document (a truncated or damaged file?)");
  }
  if (!document.is_object()) reader.fail("not a JSON object");
  return document;
}

// The format and the version come first, so that a document of another kind or a later
// version is named as such rather than by what it lacks.
void check_kind(const StateReader& reader, const Json& document) {
  auto format = document.find("format");
  if (format == document.end() || *format != kFormat) {
    reader.fail("not an nlpeval evaluation state (\"format\" is not \"" + std::string(kFormat) +
                "\")");
  }
  auto version = document.find("version");
  if (version == document.end() || !version->is_number_integer() ||
      version->get<int64_t>() != kStateVersion) {
    reader.fail("version " + (version == document.end() ? std::string("(none)") : version->dump()) +
                " is not one this nlpeval reads (" + std::to_string(kStateVersion) + ")");
  }
}

void check_seal(const StateReader& reader, Json& document) {
  auto seal = document.find("checksum");
  if (seal == document.end() || !seal->is_string()) reader.fail("checksum is missing");
  const std::string expected = seal->get<std::string>();
  document.erase("checksum");
  if (checksum_of(document) != expected) {
    reader.fail("the checksum does not match the state (it was edited or damaged)");
  }
}

}  // namespace

std::string describe_options(const EvaluationOptions& options) {
  return "evaluate_labels " +
         (options.evaluate_labels ? Json(*options.evaluate_labels).dump() : std::string("null")) +
         ", do_na " + (options.do_na ? "true" : "false");
}

std::string write_state(const EvaluationState& state) {
  Json document;
  document["format"] = kFormat;
  document["version"] = kStateVersion;
  document["task"] = state.task->name;
  document["options"] = options_json(state.options);
  document["instances"] = state.instances;
  document["counts"] = counts_json(state.counts);
  const std::string seal = checksum_of(document);
  document["checksum"] = seal;
  return document.dump();
}

EvaluationState read_state(std::string_view text, std::string_view origin) {
  const StateReader reader(origin);
  Json document = parse_document(reader, text);
  check_kind(reader, document);
  check_seal(reader, document);
  EvaluationState state;
  const std::string& task_name = reader.text(document, "task", "");
  state.task = find_task(task_name);
  if (state.task == nullptr) reader.fail("task '" + task_name + "' is not a task type");
  state.options = read_options(reader, reader.member(document, "options", ""));
  state.instances = reader.count(document, "instances", "");
  state.counts = read_counts(reader, state.task->scoring, reader.member(document, "counts", ""));
  return state;
}

}  // namespace nlpeval
