#ifndef NLPEVAL_METRICS_INTERNAL_LABEL_COUNTS_H_
#define NLPEVAL_METRICS_INTERNAL_LABEL_COUNTS_H_

// The per-label counts every flat-label score is made of (metrics.h), taken in one pass over
// two lists of labels.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "nlpeval/core/internal/short_strings.h"
#include "nlpeval/metrics/metrics.h"

namespace nlpeval::metrics::tally {

// Dense ids for the distinct labels of the data, in order of first sight. The views point
// into the caller's lists, which outlive every use.
class LabelIndex {
 public:
  static constexpr size_t kAbsent = SIZE_MAX;

  // The id of `label`, adding it on first sight.
  size_t intern(std::string_view label) {
    if (const size_t* id = ids_.find(label)) return *id;
    ids_.insert(label, names_.size());
    names_.push_back(label);
    return names_.size() - 1;
  }

  // The id of `label`, or kAbsent when the data never holds it.
  size_t find(std::string_view label) const {
    const size_t* id = ids_.find(label);
    return id == nullptr ? kAbsent : *id;
  }

  size_t size() const { return names_.size(); }
  std::string_view name(size_t id) const { return names_[id]; }

 private:
  ShortStringMap<size_t> ids_;
  std::vector<std::string_view> names_;
};

// TP, PRED and TRUE per label, indexed alike.
struct Counts {
  std::vector<int64_t> tp;
  std::vector<int64_t> pred;
  std::vector<int64_t> truth;

  void resize(size_t size) {
    tp.resize(size);
    pred.resize(size);
    truth.resize(size);
  }
};

// What one pass over the data yields: the counts per distinct label (by LabelIndex id) and the
// number of agreeing positions.
struct DataCounts {
  LabelIndex index;
  Counts counts;
  int64_t agreements = 0;
  size_t size = 0;
};

// The counts of two lists of labels of equal length (strings or views).
template <typename Labels>
DataCounts count_data(const Labels& y_true, const Labels& y_pred) {
  DataCounts data;
  data.size = y_true.size();
  Counts& counts = data.counts;
  for (size_t i = 0; i < y_true.size(); ++i) {
    std::string_view gold = y_true[i];
    std::string_view predicted = y_pred[i];
    size_t gold_id = data.index.intern(gold);
    // Agreeing positions, the common case, need one lookup.
    size_t predicted_id = same_key(gold, predicted) ? gold_id : data.index.intern(predicted);
    if (counts.tp.size() < data.index.size()) counts.resize(data.index.size());
    ++counts.truth[gold_id];
    ++counts.pred[predicted_id];
    if (gold_id == predicted_id) {
      ++counts.tp[gold_id];
      ++data.agreements;
    }
  }
  return data;
}

// The same over two lists of ids of equal length, `names` naming each id: a count per id,
// then per name, without hashing a position. Throws IndexError for an id without a name.
DataCounts count_ids(std::span<const std::string_view> names, std::span<const uint32_t> y_true,
                     std::span<const uint32_t> y_pred);

// The same from ids counted as they came.
DataCounts count_counted(std::span<const std::string_view> names, const LabelIdCounter& counter);

}  // namespace nlpeval::metrics::tally

#endif  // NLPEVAL_METRICS_INTERNAL_LABEL_COUNTS_H_
