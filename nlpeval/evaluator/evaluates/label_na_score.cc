#include "nlpeval/evaluator/evaluates/label_na_score.h"

#include <algorithm>
#include <string_view>
#include <unordered_set>

#include "nlpeval/metrics/confusion_matrix.h"
#include "nlpeval/metrics/metrics.h"

namespace nlpeval {
namespace {

constexpr std::string_view kNoRelation = "na";
constexpr std::string_view kNoRelationPair = "na(e1,e2)";

using metrics::views::Labels;

// Every distinct label of both lists, sorted by code point (byte order of UTF-8).
std::vector<std::string> sorted_labels(Labels y_true, Labels y_pred) {
  std::unordered_set<std::string_view> distinct(y_true.begin(), y_true.end());
  distinct.insert(y_pred.begin(), y_pred.end());
  std::vector<std::string> labels(distinct.begin(), distinct.end());
  std::sort(labels.begin(), labels.end());
  return labels;
}

// The plot shows the no-relation row and column first.
std::vector<std::string> plot_columns(std::vector<std::string> labels) {
  auto na = std::find(labels.begin(), labels.end(), kNoRelation);
  if (na != labels.end()) std::rotate(labels.begin(), na, na + 1);
  return labels;
}

// The one implementation, over views of the labels.
ScoreResult score_views(Labels y_true, Labels y_pred, bool do_na,
                        const std::optional<std::string>& do_plot) {
  std::vector<std::string> all_labels = sorted_labels(y_true, y_pred);
  if (!do_na) {
    std::erase(all_labels, kNoRelationPair);
    std::erase(all_labels, kNoRelation);
  }
  ScoreResult result;
  result.precision = metrics::views::precision_score(y_true, y_pred, all_labels, "micro");
  result.recall = metrics::views::recall_score(y_true, y_pred, all_labels, "micro");
  result.f1 = metrics::views::f1_score(y_true, y_pred, all_labels, "micro");
  result.classification_report =
      metrics::views::classification_report(y_true, y_pred, all_labels, 2);
  if (do_plot && !do_plot->empty()) {
    metrics::views::plot_confusion_matrix(y_true, y_pred, plot_columns(std::move(all_labels)),
                                          "YlGnBu", *do_plot);
  }
  return result;
}

std::vector<std::string_view> views_of(const std::vector<std::string>& labels) {
  return {labels.begin(), labels.end()};
}

std::vector<std::string_view> views_of(const TagVocabulary& vocabulary, const TagIdSequence& ids) {
  std::vector<std::string_view> labels;
  labels.reserve(ids.size());
  for (TagId id : ids) labels.push_back(vocabulary.tag(id));
  return labels;
}

}  // namespace

ScoreResult label_na_score(const std::vector<std::string>& y_true,
                           const std::vector<std::string>& y_pred, bool do_na,
                           const std::optional<std::string>& do_plot) {
  return score_views(views_of(y_true), views_of(y_pred), do_na, do_plot);
}

ScoreResult label_na_score(const TagVocabulary& vocabulary, const TagIdSequence& y_true,
                           const TagIdSequence& y_pred, bool do_na,
                           const std::optional<std::string>& do_plot) {
  return score_views(views_of(vocabulary, y_true), views_of(vocabulary, y_pred), do_na, do_plot);
}

}  // namespace nlpeval
