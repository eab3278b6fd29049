#include "nlpeval/metrics/metrics.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <numeric>
#include <utility>

#include "nlpeval/core/errors.h"
#include "nlpeval/metrics/internal/label_counts.h"
#include "nlpeval/metrics/report.h"

namespace nlpeval::metrics {
namespace {

enum class Average { kMicro, kMacro, kWeighted };

Average parse_average(std::string_view average) {
  if (average == "micro") return Average::kMicro;
  if (average == "macro") return Average::kMacro;
  if (average == "weighted") return Average::kWeighted;
  throw ValueError("average must be \"micro\", \"macro\" or \"weighted\", got \"" +
                   std::string(average) + "\"");
}

template <typename Labels>
void check_lengths(const Labels& y_true, const Labels& y_pred) {
  if (y_true.size() != y_pred.size()) {
    throw ValueError("y_true and y_pred differ in length: " + std::to_string(y_true.size()) +
                     " and " + std::to_string(y_pred.size()));
  }
}

using tally::Counts;
using tally::DataCounts;
using tally::LabelIndex;

// The counts of the scored labels, in the order of the label list.
struct ScoredLabels {
  std::vector<std::string_view> names;
  Counts counts;
  // The label list names exactly the labels of the data, as sets; micro F1 is then the
  // accuracy.
  bool names_data_labels = false;
};

ScoredLabels default_labels(const DataCounts& data) {
  std::vector<size_t> ids(data.index.size());
  std::iota(ids.begin(), ids.end(), 0);
  // Byte order of UTF-8 is code-point order.
  std::sort(ids.begin(), ids.end(),
            [&](size_t a, size_t b) { return data.index.name(a) < data.index.name(b); });
  ScoredLabels scored;
  scored.names_data_labels = true;
  for (size_t id : ids) {
    scored.names.push_back(data.index.name(id));
    scored.counts.tp.push_back(data.counts.tp[id]);
    scored.counts.pred.push_back(data.counts.pred[id]);
    scored.counts.truth.push_back(data.counts.truth[id]);
  }
  return scored;
}

ScoredLabels listed_labels(const DataCounts& data, const std::vector<std::string>& labels) {
  ScoredLabels scored;
  scored.counts.resize(labels.size());
  std::vector<bool> listed(data.index.size(), false);
  bool all_in_data = true;
  for (size_t row = 0; row < labels.size(); ++row) {
    scored.names.push_back(labels[row]);
    size_t id = data.index.find(labels[row]);
    if (id == LabelIndex::kAbsent) {
      all_in_data = false;
      continue;
    }
    listed[id] = true;
    scored.counts.tp[row] = data.counts.tp[id];
    scored.counts.pred[row] = data.counts.pred[id];
    scored.counts.truth[row] = data.counts.truth[id];
  }
  scored.names_data_labels =
      all_in_data && std::all_of(listed.begin(), listed.end(), [](bool seen) { return seen; });
  return scored;
}

ScoredLabels scored_labels(const DataCounts& data,
                           const std::optional<std::vector<std::string>>& labels) {
  return labels ? listed_labels(data, *labels) : default_labels(data);
}

template <typename Labels>
ScoredLabels count_labels(const Labels& y_true, const Labels& y_pred,
                          const std::optional<std::vector<std::string>>& labels) {
  check_lengths(y_true, y_pred);
  return scored_labels(tally::count_data(y_true, y_pred), labels);
}

struct Scores {
  double precision = 0.0;
  double recall = 0.0;
  double f1 = 0.0;
};

double ratio(int64_t numerator, int64_t denominator) {
  return denominator == 0 ? 0.0 : static_cast<double>(numerator) / static_cast<double>(denominator);
}

Scores scores_of(int64_t tp, int64_t pred, int64_t truth) {
  Scores scores{ratio(tp, pred), ratio(tp, truth), 0.0};
  double sum = scores.precision + scores.recall;
  if (sum != 0.0) scores.f1 = 2.0 * scores.precision * scores.recall / sum;
  return scores;
}

int64_t total(const std::vector<int64_t>& values) {
  return std::accumulate(values.begin(), values.end(), int64_t{0});
}

Scores micro_scores(const Counts& counts) {
  return scores_of(total(counts.tp), total(counts.pred), total(counts.truth));
}

// Mean of the per-label scores; weighted by support unless `by_support` is false. Summed as
// numpy sums (pairwise_sum), so that the averages equal scikit-learn's to the last bit.
Scores mean_scores(const Counts& counts, bool by_support) {
  const size_t size = counts.tp.size();
  std::vector<double> precisions(size);
  std::vector<double> recalls(size);
  std::vector<double> f1s(size);
  double weight_sum = 0.0;  // of integers: exact in any order
  for (size_t i = 0; i < size; ++i) {
    Scores label = scores_of(counts.tp[i], counts.pred[i], counts.truth[i]);
    double weight = by_support ? static_cast<double>(counts.truth[i]) : 1.0;
    precisions[i] = by_support ? label.precision * weight : label.precision;
    recalls[i] = by_support ? label.recall * weight : label.recall;
    f1s[i] = by_support ? label.f1 * weight : label.f1;
    weight_sum += weight;
  }
  if (weight_sum == 0.0) return Scores{};
  return Scores{pairwise_sum(precisions) / weight_sum, pairwise_sum(recalls) / weight_sum,
                pairwise_sum(f1s) / weight_sum};
}

Scores average_scores(const Counts& counts, Average average) {
  switch (average) {
    case Average::kMicro:
      return micro_scores(counts);
    case Average::kMacro:
      return mean_scores(counts, false);
    case Average::kWeighted:
      return mean_scores(counts, true);
  }
  return Scores{};
}

template <typename Labels>
Scores score(const Labels& y_true, const Labels& y_pred,
             const std::optional<std::vector<std::string>>& labels, std::string_view average) {
  Average mode = parse_average(average);
  return average_scores(count_labels(y_true, y_pred, labels).counts, mode);
}

template <typename Labels>
double accuracy(const Labels& y_true, const Labels& y_pred) {
  check_lengths(y_true, y_pred);
  if (y_true.empty()) return 0.0;
  int64_t agreements = 0;
  for (size_t i = 0; i < y_true.size(); ++i) {
    agreements += std::string_view(y_true[i]) == std::string_view(y_pred[i]);
  }
  return ratio(agreements, static_cast<int64_t>(y_true.size()));
}

ReportRow average_row(std::string name, const Scores& scores, int64_t support) {
  return ReportRow{std::move(name), scores.precision, scores.recall, scores.f1, support};
}

void check_digits(int digits) {
  if (digits < 0) throw ValueError("digits must not be negative, got " + std::to_string(digits));
}

ReportRows rows_of(const ScoredLabels& scored) {
  const Counts& counts = scored.counts;
  ReportRows rows;
  rows.labels.reserve(scored.names.size());
  for (size_t i = 0; i < scored.names.size(); ++i) {
    Scores label = scores_of(counts.tp[i], counts.pred[i], counts.truth[i]);
    rows.labels.push_back(ReportRow{std::string(scored.names[i]), label.precision, label.recall,
                                    label.f1, counts.truth[i]});
  }
  int64_t support = total(counts.truth);
  rows.averages = {
      average_row(scored.names_data_labels ? "accuracy" : "micro avg", micro_scores(counts),
                  support),
      average_row("macro avg", mean_scores(counts, false), support),
      average_row("weighted avg", mean_scores(counts, true), support),
  };
  return rows;
}

template <typename Labels>
std::string report(const Labels& y_true, const Labels& y_pred,
                   const std::optional<std::vector<std::string>>& labels, int digits) {
  check_digits(digits);
  return format_report(rows_of(count_labels(y_true, y_pred, labels)), digits);
}

}  // namespace

struct LabelTally::Data {
  DataCounts counts;
};

LabelTally::LabelTally(views::Labels y_true, views::Labels y_pred) {
  check_lengths(y_true, y_pred);
  data_ = std::make_unique<Data>(Data{tally::count_data(y_true, y_pred)});
}

LabelTally::LabelTally(std::span<const std::string_view> names, std::span<const uint32_t> y_true,
                       std::span<const uint32_t> y_pred) {
  check_lengths(y_true, y_pred);
  data_ = std::make_unique<Data>(Data{tally::count_ids(names, y_true, y_pred)});
}

LabelTally::LabelTally(std::span<const std::string_view> names, const LabelIdCounter& counter)
    : data_(std::make_unique<Data>(Data{tally::count_counted(names, counter)})) {}

LabelTally::~LabelTally() = default;
LabelTally::LabelTally(LabelTally&&) noexcept = default;
LabelTally& LabelTally::operator=(LabelTally&&) noexcept = default;

std::vector<std::string> LabelTally::labels() const {
  ScoredLabels scored = default_labels(data_->counts);
  return {scored.names.begin(), scored.names.end()};
}

double LabelTally::precision_score(const std::optional<std::vector<std::string>>& labels,
                                   std::string_view average) const {
  Average mode = parse_average(average);
  return average_scores(scored_labels(data_->counts, labels).counts, mode).precision;
}

double LabelTally::recall_score(const std::optional<std::vector<std::string>>& labels,
                                std::string_view average) const {
  Average mode = parse_average(average);
  return average_scores(scored_labels(data_->counts, labels).counts, mode).recall;
}

double LabelTally::f1_score(const std::optional<std::vector<std::string>>& labels,
                            std::string_view average) const {
  Average mode = parse_average(average);
  return average_scores(scored_labels(data_->counts, labels).counts, mode).f1;
}

std::string LabelTally::classification_report(const std::optional<std::vector<std::string>>& labels,
                                              int digits) const {
  check_digits(digits);
  return format_report(classification_report_rows(labels), digits);
}

ReportRows LabelTally::classification_report_rows(
    const std::optional<std::vector<std::string>>& labels) const {
  return rows_of(scored_labels(data_->counts, labels));
}

double precision_score(const std::vector<std::string>& y_true,
                       const std::vector<std::string>& y_pred,
                       const std::optional<std::vector<std::string>>& labels,
                       std::string_view average) {
  return score(y_true, y_pred, labels, average).precision;
}

double recall_score(const std::vector<std::string>& y_true, const std::vector<std::string>& y_pred,
                    const std::optional<std::vector<std::string>>& labels,
                    std::string_view average) {
  return score(y_true, y_pred, labels, average).recall;
}

double f1_score(const std::vector<std::string>& y_true, const std::vector<std::string>& y_pred,
                const std::optional<std::vector<std::string>>& labels, std::string_view average) {
  return score(y_true, y_pred, labels, average).f1;
}

double accuracy_score(const std::vector<std::string>& y_true,
                      const std::vector<std::string>& y_pred) {
  return accuracy(y_true, y_pred);
}

std::string classification_report(const std::vector<std::string>& y_true,
                                  const std::vector<std::string>& y_pred,
                                  const std::optional<std::vector<std::string>>& labels,
                                  int digits) {
  return report(y_true, y_pred, labels, digits);
}

ReportRows classification_report_rows(const std::vector<std::string>& y_true,
                                      const std::vector<std::string>& y_pred,
                                      const std::optional<std::vector<std::string>>& labels) {
  return rows_of(count_labels(y_true, y_pred, labels));
}

double views::precision_score(views::Labels y_true, views::Labels y_pred,
                              const std::optional<std::vector<std::string>>& labels,
                              std::string_view average) {
  return score(y_true, y_pred, labels, average).precision;
}

double views::recall_score(views::Labels y_true, views::Labels y_pred,
                           const std::optional<std::vector<std::string>>& labels,
                           std::string_view average) {
  return score(y_true, y_pred, labels, average).recall;
}

double views::f1_score(views::Labels y_true, views::Labels y_pred,
                       const std::optional<std::vector<std::string>>& labels,
                       std::string_view average) {
  return score(y_true, y_pred, labels, average).f1;
}

double views::accuracy_score(views::Labels y_true, views::Labels y_pred) {
  return accuracy(y_true, y_pred);
}

std::string views::classification_report(views::Labels y_true, views::Labels y_pred,
                                         const std::optional<std::vector<std::string>>& labels,
                                         int digits) {
  return report(y_true, y_pred, labels, digits);
}

}  // namespace nlpeval::metrics
