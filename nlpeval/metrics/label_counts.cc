#include "nlpeval/metrics/internal/label_counts.h"

#include <algorithm>
#include <string>

#include "nlpeval/core/errors.h"
#include "nlpeval/metrics/metrics.h"

namespace nlpeval::metrics::tally {

DataCounts count_ids(std::span<const std::string_view> names, std::span<const uint32_t> y_true,
                     std::span<const uint32_t> y_pred) {
  LabelIdCounter counter;
  for (size_t i = 0; i < y_true.size(); ++i) {
    const uint32_t gold = y_true[i];
    const uint32_t predicted = y_pred[i];
    if (gold >= names.size() || predicted >= names.size()) {
      throw IndexError("label id " + std::to_string(std::max(gold, predicted)) + " out of range (" +
                       std::to_string(names.size()) + " names)");
    }
    counter.add(gold, predicted);
  }
  return count_counted(names, counter);
}

DataCounts count_counted(std::span<const std::string_view> names, const LabelIdCounter& counter) {
  // Ids in order of first sight, as count_data gives them; an id that occurs nowhere is no
  // label of the data.
  DataCounts data;
  data.size = counter.positions();
  data.agreements = counter.agreements();
  for (const uint32_t id : counter.ids_seen()) {
    if (id >= names.size()) {
      throw IndexError("label id " + std::to_string(id) + " out of range (" +
                       std::to_string(names.size()) + " names)");
    }
    const size_t index = data.index.intern(names[id]);
    data.counts.resize(data.index.size());
    data.counts.tp[index] += counter.tp(id);
    data.counts.pred[index] += counter.pred(id);
    data.counts.truth[index] += counter.truth(id);
  }
  return data;
}

}  // namespace nlpeval::metrics::tally

namespace nlpeval::metrics {

void LabelIdCounter::grow(uint32_t id) {
  const size_t size = std::max<size_t>(static_cast<size_t>(id) + 1, 2 * truth_.size());
  truth_.resize(size);
  pred_.resize(size);
  tp_.resize(size);
  seen_.resize(size);
}

void LabelIdCounter::add_counts(uint32_t id, int64_t truth, int64_t pred, int64_t tp) {
  if (id >= truth_.size()) grow(id);
  see(id);
  truth_[id] += truth;
  pred_[id] += pred;
  tp_[id] += tp;
}

void LabelIdCounter::add_positions(size_t positions, int64_t agreements) {
  positions_ += positions;
  agreements_ += agreements;
}

void LabelIdCounter::merge(const LabelIdCounter& other, std::span<const uint32_t> ids) {
  for (uint32_t id : other.order_) {
    add_counts(ids[id], other.truth_[id], other.pred_[id], other.tp_[id]);
  }
  add_positions(other.positions_, other.agreements_);
  if (!keep_pairs_) return;
  for (const auto& [key, count] : other.pair_counts_) {
    const uint64_t gold = ids[key >> 32];
    const uint64_t predicted = ids[static_cast<uint32_t>(key)];
    pair_counts_[gold << 32 | predicted] += count;
  }
}

std::vector<LabelIdCounter::Pair> LabelIdCounter::pairs() const {
  std::vector<Pair> pairs;
  pairs.reserve(pair_counts_.size());
  for (const auto& [key, count] : pair_counts_) {
    pairs.push_back({static_cast<uint32_t>(key >> 32), static_cast<uint32_t>(key), count});
  }
  return pairs;
}

}  // namespace nlpeval::metrics
