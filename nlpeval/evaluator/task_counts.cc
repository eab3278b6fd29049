#include "nlpeval/evaluator/internal/task_counts.h"

#include <algorithm>
#include <utility>

#include "nlpeval/core/errors.h"
#include "nlpeval/core/internal/overloaded.h"
#include "nlpeval/core/internal/short_strings.h"
#include "nlpeval/evaluator/evaluates/label_na_score.h"
#include "nlpeval/evaluator/evaluates/label_score.h"

namespace nlpeval {
namespace {

// Two lists of rows sorted by `name_of`, merged into one sorted list; rows of the same name are
// added with `add`.
template <typename Row, typename NameOf, typename Add>
void merge_sorted(std::vector<Row>& into, const std::vector<Row>& from, const NameOf& name_of,
                  const Add& add) {
  std::vector<Row> merged;
  merged.reserve(into.size() + from.size());
  size_t i = 0;
  size_t k = 0;
  while (i < into.size() || k < from.size()) {
    if (k == from.size() || (i < into.size() && name_of(into[i]) < name_of(from[k]))) {
      merged.push_back(std::move(into[i++]));
    } else if (i == into.size() || name_of(from[k]) < name_of(into[i])) {
      merged.push_back(from[k++]);
    } else {
      merged.push_back(std::move(into[i++]));
      add(merged.back(), from[k++]);
    }
  }
  into = std::move(merged);
}

void merge_chunks(CountedInstances& into, const CountedInstances& from) {
  merge_sorted(
      into.chunks, from.chunks,
      [](const metrics::seq::TypeCounts& row) -> const std::string& { return row.type; },
      [](metrics::seq::TypeCounts& row, const metrics::seq::TypeCounts& more) {
        row.true_count += more.true_count;
        row.pred_count += more.pred_count;
        row.correct += more.correct;
      });
  into.collisions += from.collisions;
}

void add_srl_counts(SrlCounts& into, const SrlCounts& from) {
  into.correct += from.correct;
  into.excess += from.excess;
  into.missed += from.missed;
}

void merge_srl(SrlResult& into, const SrlResult& from) {
  into.sentences += from.sentences;
  into.propositions += from.propositions;
  into.perfect_propositions += from.perfect_propositions;
  add_srl_counts(into.overall, from.overall);
  const auto type_of = [](const SrlTypeCounts& row) -> const std::string& { return row.type; };
  const auto add = [](SrlTypeCounts& row, const SrlTypeCounts& more) {
    add_srl_counts(row.counts, more.counts);
  };
  merge_sorted(into.types, from.types, type_of, add);
  merge_sorted(into.excluded, from.excluded, type_of, add);
}

// The other side's ids become this side's: its labels met first come after this side's.
void merge_labels(FlatLabelCounts& into, const FlatLabelCounts& from) {
  ShortStringMap<uint32_t> id_of;
  for (uint32_t id = 0; id < into.names.size(); ++id) id_of.insert(into.names[id], id);
  std::vector<uint32_t> ids(from.names.size());
  std::vector<std::string> added;  // appended after the walk: the map views `into.names`
  for (uint32_t id = 0; id < from.names.size(); ++id) {
    if (const uint32_t* known = id_of.find(from.names[id])) {
      ids[id] = *known;
    } else {
      ids[id] = static_cast<uint32_t>(into.names.size() + added.size());
      added.push_back(from.names[id]);
    }
  }
  into.names.insert(into.names.end(), added.begin(), added.end());
  into.counter.merge(from.counter, ids);
}

}  // namespace

TaskCounts empty_counts(Scoring scoring) {
  switch (scoring) {
    case Scoring::tag_chunks:
      return CountedInstances{};
    case Scoring::word_spans:
      return CwsCounts{};
    case Scoring::flat_labels:
      return FlatLabelCounts{{}, metrics::LabelIdCounter()};
    case Scoring::heads:
      return dp::Counter{};
    case Scoring::arguments:
      return SrlResult{};
  }
  throw ValueError("unknown scoring kind");
}

void merge_counts(TaskCounts& into, const TaskCounts& from) {
  if (into.index() != from.index()) throw ValueError("cannot merge the counts of two tasks");
  std::visit(overloaded{
                 [&](CountedInstances& chunks) {
                   merge_chunks(chunks, std::get<CountedInstances>(from));
                 },
                 [&](CwsCounts& words) {
                   const CwsCounts& more = std::get<CwsCounts>(from);
                   words.true_count += more.true_count;
                   words.pred_count += more.pred_count;
                   words.acc_count += more.acc_count;
                 },
                 [&](FlatLabelCounts& labels) {
                   merge_labels(labels, std::get<FlatLabelCounts>(from));
                 },
                 [&](dp::Counter& heads) { heads.merge(std::get<dp::Counter>(from)); },
                 [&](SrlResult& arguments) { merge_srl(arguments, std::get<SrlResult>(from)); },
             },
             into);
}

EvaluateResult score_counts(std::string_view /*type_*/, const TaskCounts& counts,
                            const CountScoring& scoring) {
  return std::visit(
      overloaded{
          [&](const CountedInstances& chunks) -> EvaluateResult {
            ScoreResult score = label_score(chunks.chunks, scoring.evaluate_labels);
            score.collisions = chunks.collisions;
            return score;
          },
          [&](const CwsCounts& words) -> EvaluateResult { return cws_score(words); },
          [&](const FlatLabelCounts& labels) -> EvaluateResult {
            const std::vector<std::string_view> names(labels.names.begin(), labels.names.end());
            return label_na_score_counted(names, labels.counter, scoring.do_na, scoring.do_plot);
          },
          [&](const dp::Counter& heads) -> EvaluateResult { return heads.result(); },
          [&](const SrlResult& arguments) -> EvaluateResult { return arguments.to_string(); },
      },
      counts);
}

}  // namespace nlpeval
