#ifndef NLPEVAL_EVALUATOR_INSTANCE_LOOP_H_
#define NLPEVAL_EVALUATOR_INSTANCE_LOOP_H_

// The heart of `evaluate` for the record tasks: walk gold and predicted instances in step,
// append what the mapper returns to the running sequences, and keep the miner's badcase
// records that have something to show. Generic over the task's mapper and miner classes.

#include <cstdint>
#include <iterator>
#include <optional>
#include <string>
#include <tuple>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <vector>

#include "nlpeval/core/record.h"
#include "nlpeval/evaluator/badcase/types.h"

namespace nlpeval {

// The running gold and predicted sequences of a whole data set, and its badcase records.
template <typename Element>
struct MappedInstances {
  std::vector<Element> y_true;
  std::vector<Element> y_pred;
  std::vector<Label2PredData> label2preddataset;
};

// Asks the miner for one instance's badcase record. The entity miner alone also takes the
// entity counts and the labels to evaluate.
template <typename Miner>
Label2PredData mine_instance(
    const Miner& miner, const Record& label, const Record& prediction, int64_t id_,
    const std::optional<std::unordered_map<std::string, int64_t>>& entity2count,
    const std::optional<std::vector<std::string>>& evaluate_labels) {
  if constexpr (requires {
                  miner.generate(label, prediction, id_, entity2count, evaluate_labels);
                }) {
    return miner.generate(label, prediction, id_, entity2count, evaluate_labels);
  } else {
    return miner.generate(label, prediction, id_);
  }
}

// Maps every instance (the mapper sees the 0-based position) and, when `mine` is true, mines
// it (the miner sees the 1-based instance number). Lists of equal length are the caller's
// check; a shorter predicted list is an IndexError here.
template <typename Mapper, typename Miner>
auto map_instances(const Mapper& convertor, const Miner& badcase_generator,
                   const Records& true_list, const Records& pred_list, bool mine,
                   const std::optional<std::unordered_map<std::string, int64_t>>& entity2count,
                   const std::optional<std::vector<std::string>>& evaluate_labels) {
  using Parts = decltype(convertor.convert(Record(), Record(), std::optional<int64_t>()));
  using Element = typename std::tuple_element_t<0, Parts>::value_type;
  MappedInstances<Element> mapped;
  for (size_t index = 0; index < true_list.size(); ++index) {
    Record label = true_list[index];
    Record prediction = pred_list.at(index);
    auto [gold_part, pred_part] = convertor.convert(label, prediction, static_cast<int64_t>(index));
    std::move(gold_part.begin(), gold_part.end(), std::back_inserter(mapped.y_true));
    std::move(pred_part.begin(), pred_part.end(), std::back_inserter(mapped.y_pred));
    if (!mine) continue;
    Label2PredData found =
        mine_instance(badcase_generator, label, prediction, static_cast<int64_t>(index) + 1,
                      entity2count, evaluate_labels);
    if (!found.desc.empty()) mapped.label2preddataset.push_back(std::move(found));
  }
  return mapped;
}

}  // namespace nlpeval

#endif  // NLPEVAL_EVALUATOR_INSTANCE_LOOP_H_
