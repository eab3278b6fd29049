#ifndef NLPEVAL_METRICS_METRICS_H_
#define NLPEVAL_METRICS_METRICS_H_

// Flat-label metrics: two parallel lists of labels, gold and predicted, scored position by
// position. For a label l, TP(l) counts the positions where both lists hold l, PRED(l) those
// where the predicted list does and TRUE(l) (its support) those where the gold list does.
//
// `labels` chooses the labels scored and the order of the report's rows. Null means every
// label of either list, sorted by code point (byte order of UTF-8). A listed label that
// occurs nowhere scores zeros; a position whose labels both lie outside the list counts
// nowhere.
//
// Averages over the label list:
//   "micro":    sums of TP, PRED and TRUE first, then the ratios;
//   "macro":    plain mean of the per-label values;
//   "weighted": mean of the per-label values weighted by TRUE(l), 0 when no label has support.
// A ratio over a zero denominator is 0, never an error, and so is every average over an empty
// label list.
//
// Every function throws ValueError naming both lengths when the lists differ in length; the
// scores throw ValueError for an average other than the three above.

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "nlpeval/metrics/report.h"

namespace nlpeval::metrics {

double precision_score(const std::vector<std::string>& y_true,
                       const std::vector<std::string>& y_pred,
                       const std::optional<std::vector<std::string>>& labels = std::nullopt,
                       std::string_view average = "micro");

double recall_score(const std::vector<std::string>& y_true, const std::vector<std::string>& y_pred,
                    const std::optional<std::vector<std::string>>& labels = std::nullopt,
                    std::string_view average = "micro");

// F1 = 2PR / (P + R), per label or from the averaged P and R under "micro"; the mean of the
// per-label F1 under "macro" and "weighted".
double f1_score(const std::vector<std::string>& y_true, const std::vector<std::string>& y_pred,
                const std::optional<std::vector<std::string>>& labels = std::nullopt,
                std::string_view average = "micro");

// The share of positions where the two lists agree; 0 for two empty lists.
double accuracy_score(const std::vector<std::string>& y_true,
                      const std::vector<std::string>& y_pred);

// The report text (layout in report.h): one row per label of the label list, then the micro,
// macro and weighted rows, each with the summed support. The micro row is headed "accuracy"
// and shows the F1 alone when `labels` is null or names exactly the labels of the data (as
// sets); otherwise it is headed "micro avg". Values show `digits` decimals. Also throws
// ValueError for a negative `digits`.
std::string classification_report(
    const std::vector<std::string>& y_true, const std::vector<std::string>& y_pred,
    const std::optional<std::vector<std::string>>& labels = std::nullopt, int digits = 2);

// The same report as numbers (report.h): the label rows and the three average rows.
ReportRows classification_report_rows(
    const std::vector<std::string>& y_true, const std::vector<std::string>& y_pred,
    const std::optional<std::vector<std::string>>& labels = std::nullopt);

// The same five over views of labels kept elsewhere, for callers that score a selection of
// positions without copying the labels (the character-level metrics do). A namespace of their
// own keeps calls with empty braces, f1_score({}, {}), unambiguous.
namespace views {

using Labels = std::span<const std::string_view>;

double precision_score(Labels y_true, Labels y_pred,
                       const std::optional<std::vector<std::string>>& labels,
                       std::string_view average);
double recall_score(Labels y_true, Labels y_pred,
                    const std::optional<std::vector<std::string>>& labels,
                    std::string_view average);
double f1_score(Labels y_true, Labels y_pred, const std::optional<std::vector<std::string>>& labels,
                std::string_view average);
double accuracy_score(Labels y_true, Labels y_pred);
std::string classification_report(Labels y_true, Labels y_pred,
                                  const std::optional<std::vector<std::string>>& labels,
                                  int digits);

}  // namespace views

// The counts of two lists of label ids, taken position by position as the ids come, so that
// the lists themselves need not be kept: per id how often it is gold, predicted and both, in
// order of first sight (gold before predicted at each position), and, when asked, how often
// each (gold, predicted) pair occurs, which a confusion matrix needs.
class LabelIdCounter {
 public:
  // How often one (gold, predicted) pair of ids occurs.
  struct Pair {
    uint32_t gold;
    uint32_t predicted;
    int64_t count;
  };

  explicit LabelIdCounter(bool keep_pairs = false) : keep_pairs_(keep_pairs) {}

  void add(uint32_t gold, uint32_t predicted) {
    if (const uint32_t top = std::max(gold, predicted); top >= truth_.size()) grow(top);
    see(gold);
    see(predicted);
    ++truth_[gold];
    ++pred_[predicted];
    if (gold == predicted) {
      ++tp_[gold];
      ++agreements_;
    }
    ++positions_;
    if (keep_pairs_) add_pair(gold, predicted);
  }

  size_t positions() const { return positions_; }
  int64_t agreements() const { return agreements_; }
  // The ids met, in order of first sight, and their counts by id.
  const std::vector<uint32_t>& ids_seen() const { return order_; }
  int64_t truth(uint32_t id) const { return truth_[id]; }
  int64_t pred(uint32_t id) const { return pred_[id]; }
  int64_t tp(uint32_t id) const { return tp_[id]; }
  // The pairs met (none unless kept), in no particular order.
  std::vector<Pair> pairs() const;

  // Adds what another counter counted, its id k being `ids[k]` here: as if this counter had
  // also been given the other's positions after its own. Its ids keep the other's order of
  // first sight after this one's.
  void merge(const LabelIdCounter& other, std::span<const uint32_t> ids);

  // Adds counts of `id` read back from a saved tally, and positions and agreements.
  void add_counts(uint32_t id, int64_t truth, int64_t pred, int64_t tp);
  void add_positions(size_t positions, int64_t agreements);

 private:
  void grow(uint32_t id);
  void see(uint32_t id) {
    if (seen_[id]) return;
    seen_[id] = true;
    order_.push_back(id);
  }
  void add_pair(uint32_t gold, uint32_t predicted) {
    ++pair_counts_[static_cast<uint64_t>(gold) << 32 | predicted];
  }

  bool keep_pairs_;
  std::vector<int64_t> truth_;
  std::vector<int64_t> pred_;
  std::vector<int64_t> tp_;
  std::vector<bool> seen_;
  std::vector<uint32_t> order_;
  std::unordered_map<uint64_t, int64_t> pair_counts_;  // by gold << 32 | predicted, when kept
  int64_t agreements_ = 0;
  size_t positions_ = 0;
};

// The per-label counts every score and the report above are made of, taken in one pass over
// two lists, for callers that want several of them from long lists: each then costs a pass
// over the distinct labels only. The results equal those of the functions above on the
// same lists.
class LabelTally {
 public:
  // Throws ValueError naming both lengths when the lists differ in length.
  LabelTally(views::Labels y_true, views::Labels y_pred);

  // Lists of label ids, `names[id]` naming each (names must be distinct): counted per id, with
  // no label hashed per position. Also throws IndexError for an id without a name.
  LabelTally(std::span<const std::string_view> names, std::span<const uint32_t> y_true,
             std::span<const uint32_t> y_pred);

  // The same from ids already counted, `names[id]` naming each. Throws IndexError for an id
  // without a name.
  LabelTally(std::span<const std::string_view> names, const LabelIdCounter& counter);

  ~LabelTally();
  LabelTally(LabelTally&&) noexcept;
  LabelTally& operator=(LabelTally&&) noexcept;

  // Every label of either list, sorted by code point.
  std::vector<std::string> labels() const;

  double precision_score(const std::optional<std::vector<std::string>>& labels,
                         std::string_view average) const;
  double recall_score(const std::optional<std::vector<std::string>>& labels,
                      std::string_view average) const;
  double f1_score(const std::optional<std::vector<std::string>>& labels,
                  std::string_view average) const;
  std::string classification_report(const std::optional<std::vector<std::string>>& labels,
                                    int digits) const;
  ReportRows classification_report_rows(
      const std::optional<std::vector<std::string>>& labels) const;

 private:
  struct Data;
  std::unique_ptr<Data> data_;
};

}  // namespace nlpeval::metrics

#endif  // NLPEVAL_METRICS_METRICS_H_
