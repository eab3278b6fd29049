#include "nlpeval/evaluator/evaluates/label_na_score.h"

#include <algorithm>
#include <string_view>

#include "nlpeval/metrics/confusion_matrix.h"
#include "nlpeval/metrics/metrics.h"
#include "nlpeval/metrics/report.h"

namespace nlpeval {
namespace {

constexpr std::string_view kNoRelation = "na";
constexpr std::string_view kNoRelationPair = "na(e1,e2)";

using metrics::views::Labels;

// The plot shows the no-relation row and column first.
std::vector<std::string> plot_columns(std::vector<std::string> labels) {
  auto na = std::find(labels.begin(), labels.end(), kNoRelation);
  if (na != labels.end()) std::rotate(labels.begin(), na, na + 1);
  return labels;
}

// The one implementation: the scores from one tally of the labels; `plot` draws the confusion
// matrix over the given columns.
template <typename Plot>
ScoreResult score_tally(const metrics::LabelTally& tally, bool do_na,
                        const std::optional<std::string>& do_plot, const Plot& plot) {
  std::vector<std::string> all_labels = tally.labels();
  if (!do_na) {
    std::erase(all_labels, kNoRelationPair);
    std::erase(all_labels, kNoRelation);
  }
  ScoreResult result;
  result.precision = tally.precision_score(all_labels, "micro");
  result.recall = tally.recall_score(all_labels, "micro");
  result.f1 = tally.f1_score(all_labels, "micro");
  const metrics::ReportRows rows = tally.classification_report_rows(all_labels);
  result.classification_report = metrics::format_report(rows, 2);
  result.per_label = metrics::label_scores(rows);
  if (do_plot && !do_plot->empty()) plot(plot_columns(std::move(all_labels)), *do_plot);
  return result;
}

ScoreResult score_views(Labels y_true, Labels y_pred, bool do_na,
                        const std::optional<std::string>& do_plot) {
  return score_tally(metrics::LabelTally(y_true, y_pred), do_na, do_plot,
                     [&](const std::vector<std::string>& columns, const std::string& file) {
                       metrics::views::plot_confusion_matrix(y_true, y_pred, columns, "YlGnBu",
                                                             file);
                     });
}

std::vector<std::string_view> views_of(const std::vector<std::string>& labels) {
  return {labels.begin(), labels.end()};
}

}  // namespace

ScoreResult label_na_score(const std::vector<std::string>& y_true,
                           const std::vector<std::string>& y_pred, bool do_na,
                           const std::optional<std::string>& do_plot) {
  return score_views(views_of(y_true), views_of(y_pred), do_na, do_plot);
}

ScoreResult label_na_score_counted(const TagVocabulary& vocabulary,
                                   const metrics::LabelIdCounter& counted, bool do_na,
                                   const std::optional<std::string>& do_plot) {
  std::vector<std::string_view> names;
  names.reserve(vocabulary.size());
  for (TagId id = 0; id < vocabulary.size(); ++id) names.push_back(vocabulary.tag(id));
  return label_na_score_counted(names, counted, do_na, do_plot);
}

ScoreResult label_na_score_counted(std::span<const std::string_view> names,
                                   const metrics::LabelIdCounter& counted, bool do_na,
                                   const std::optional<std::string>& do_plot) {
  return score_tally(metrics::LabelTally(names, counted), do_na, do_plot,
                     [&](const std::vector<std::string>& columns, const std::string& file) {
                       metrics::plot_counted_confusion_matrix(names, counted.pairs(), columns,
                                                              "YlGnBu", file);
                     });
}

}  // namespace nlpeval
