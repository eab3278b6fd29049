#include "nlpeval/metrics/internal/label_counts.h"

#include <algorithm>
#include <string>

#include "nlpeval/core/errors.h"

namespace nlpeval::metrics::tally {

DataCounts count_ids(std::span<const std::string_view> names, std::span<const uint32_t> y_true,
                     std::span<const uint32_t> y_pred) {
  Counts by_id;
  by_id.resize(names.size());
  int64_t agreements = 0;
  for (size_t i = 0; i < y_true.size(); ++i) {
    uint32_t gold = y_true[i];
    uint32_t predicted = y_pred[i];
    if (gold >= names.size() || predicted >= names.size()) {
      throw IndexError("label id " + std::to_string(std::max(gold, predicted)) + " out of range (" +
                       std::to_string(names.size()) + " names)");
    }
    ++by_id.truth[gold];
    ++by_id.pred[predicted];
    if (gold == predicted) {
      ++by_id.tp[gold];
      ++agreements;
    }
  }
  // Ids in order of first sight, as count_data gives them; an id that occurs nowhere is no
  // label of the data.
  DataCounts data;
  data.size = y_true.size();
  data.agreements = agreements;
  std::vector<bool> seen(names.size(), false);
  auto add = [&](uint32_t id) {
    if (seen[id]) return;
    seen[id] = true;
    size_t index = data.index.intern(names[id]);
    data.counts.resize(data.index.size());
    data.counts.tp[index] += by_id.tp[id];
    data.counts.pred[index] += by_id.pred[id];
    data.counts.truth[index] += by_id.truth[id];
  };
  for (size_t i = 0; i < y_true.size() && data.index.size() < names.size(); ++i) {
    add(y_true[i]);
    add(y_pred[i]);
  }
  return data;
}

}  // namespace nlpeval::metrics::tally
