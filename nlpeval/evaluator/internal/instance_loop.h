#ifndef NLPEVAL_EVALUATOR_INTERNAL_INSTANCE_LOOP_H_
#define NLPEVAL_EVALUATOR_INTERNAL_INSTANCE_LOOP_H_

// The heart of `evaluate` for the record tasks: walk gold and predicted instances in step,
// count what the mapper makes of each instance as it comes (the chunks of tag sequences, flat
// labels, word spans), and keep the miner's badcase records that have something to show.
// Memory does not grow with the number of instances. Generic over the task's mapper and miner
// classes.

#include <cstdint>
#include <exception>
#include <functional>
#include <iterator>
#include <optional>
#include <string>
#include <tuple>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <vector>

#include "nlpeval/core/errors.h"
#include "nlpeval/core/record.h"
#include "nlpeval/core/tags.h"
#include "nlpeval/core/internal/tags_ahead.h"
#include "nlpeval/core/word_span.h"
#include "nlpeval/evaluator/badcase/types.h"
#include "nlpeval/evaluator/evaluates/cws_score.h"
#include "nlpeval/evaluator/internal/task_counts.h"
#include "nlpeval/evaluator/internal/vouching.h"
#include "nlpeval/metrics/metrics.h"
#include "nlpeval/metrics/sequence_metrics.h"
#include "nlpeval/tasks/mentions.h"

namespace nlpeval {

// Takes each badcase record that has something to show, in instance order.
using BadcaseSink = std::function<void(Label2PredData&&)>;

// Asks the miner for one instance's badcase record, lending it the driver's context when it
// takes one (the miners that tag, and the entity miner, which also reads counts and labels).
template <typename Miner>
Label2PredData mine_instance(const Miner& miner, const Record& label, const Record& prediction,
                             int64_t id_, const MiningContext& context) {
  if constexpr (requires { miner.generate(label, prediction, id_, context); }) {
    return miner.generate(label, prediction, id_, context);
  } else {
    return miner.generate(label, prediction, id_);
  }
}

// Gold and predicted instances, walked in step by for_each(visit), which calls
// visit(label, prediction, index) with the 0-based position of each instance in order.
template <typename Pairs>
concept InstancePairs = requires(const Pairs& pairs) {
  pairs.for_each([](const Record&, const Record&, size_t) {});
};

// The instances of two lists in memory. Lists of equal length are the caller's check; a
// shorter predicted list is an IndexError here.
class ListedPairs {
 public:
  ListedPairs(const Records& true_list, const Records& pred_list)
      : true_list_(true_list), pred_list_(pred_list) {}

  template <typename Visit>
  void for_each(Visit&& visit) const {
    for (size_t index = 0; index < true_list_.size(); ++index) {
      visit(true_list_[index], pred_list_.at(index), index);
    }
  }

 private:
  const Records& true_list_;
  const Records& pred_list_;
};

// Walks gold and predicted instances in step: map_instance(label, prediction, index) gets the
// 0-based position, and what else the pairs pass about an instance (AheadTags, say) when it
// takes that; then, when `mine` is true, the miner gets the 1-based instance number, counted
// from `first_index` instances before these, and `keep` its records that have a Desc.
template <typename Miner, InstancePairs Pairs, typename MapInstance>
void walk_instances(const Miner& badcase_generator, const Pairs& pairs, bool mine,
                    const MiningContext& context, const BadcaseSink& keep, int64_t first_index,
                    MapInstance&& map_instance) {
  pairs.for_each(
      [&](const Record& label, const Record& prediction, size_t index, const auto&... more) {
        if constexpr (std::is_invocable_v<MapInstance&, const Record&, const Record&, int64_t,
                                          decltype(more)...>) {
          map_instance(label, prediction, static_cast<int64_t>(index), more...);
        } else {
          map_instance(label, prediction, static_cast<int64_t>(index));
        }
        if (!mine) return;
        Label2PredData found = mine_instance(badcase_generator, label, prediction,
                                             first_index + static_cast<int64_t>(index) + 1,
                                             context);
        if (!found.desc.empty()) keep(std::move(found));
      });
}

// A mapper that also writes its tag sequences as ids (convert_tags).
template <typename Mapper>
concept TagMapper = requires(const Mapper& mapper, BioTagger& tagger, InstanceTags& tags) {
  mapper.convert_tags(Record(), Record(), std::optional<int64_t>(), tagger, tags);
};

// Maps an instance from the tags its files were tagged ahead with (by the keys the mapper
// tags with), learning the tags of each batch as it comes; the mapper's own way when a side
// was not tagged ahead.
template <TagMapper Mapper>
void map_tagged_ahead(const Mapper& convertor, const Record& label, const Record& prediction,
                      int64_t index, const AheadTags& gold, const AheadTags& pred,
                      TagTranslation& gold_translation, TagTranslation& pred_translation,
                      BioTagger& tagger, InstanceTags& tags) {
  if (gold.batch != nullptr && pred.batch != nullptr) {
    gold_translation.learn(*gold.batch, tagger.vocabulary());
    pred_translation.learn(*pred.batch, tagger.vocabulary());
    if (add_tagged_ahead(TaggedSide{*gold.batch, gold.position, gold_translation},
                         TaggedSide{*pred.batch, pred.position, pred_translation}, index, tags)) {
      return;
    }
  }
  convertor.convert_tags(label, prediction, index, tagger, tags);
}

// The road of the tag-sequence tasks: what the mapper's convert and count_chunks would give, but
// each instance's tags are counted as they come and dropped, so the data set's sequences are
// never all in memory. A scoring error is raised after the loop, as if the sequences had
// been collected first: an error of a later mapper or miner call comes first. Instances whose
// files were tagged ahead (Pairs passing AheadTags) are mapped from those tags: the pairs
// must have been tagged by the keys the mapper tags with (its task's element_keys).
template <TagMapper Mapper, typename Miner, InstancePairs Pairs>
CountedInstances count_instances(
    const Mapper& convertor, const Miner& badcase_generator, const Pairs& pairs, bool mine,
    const std::optional<std::unordered_map<std::string, int64_t>>& entity2count,
    const std::optional<std::vector<std::string>>& evaluate_labels, const BadcaseSink& keep,
    int64_t first_index = 0) {
  BioTagger tagger;
  InstanceTags tags;
  TagTranslation gold_translation;
  TagTranslation pred_translation;
  metrics::seq::ChunkCounter counter(tagger.vocabulary());
  TagCollisions collisions;
  std::exception_ptr scoring_error;
  walk_instances(
      badcase_generator, pairs, mine, {entity2count, evaluate_labels, tagger}, keep, first_index,
      [&](const Record& label, const Record& prediction, int64_t index, const auto&... ahead) {
        tags.clear();
        if constexpr (sizeof...(ahead) == 2) {
          map_tagged_ahead(convertor, label, prediction, index, ahead..., gold_translation,
                           pred_translation, tagger, tags);
        } else {
          convertor.convert_tags(label, prediction, index, tagger, tags);
        }
        collisions += tags.collisions;
        if (scoring_error) return;
        try {
          for (size_t k = 0; k < tags.size(); ++k) counter.add(tags.gold(k), tags.pred(k));
        } catch (const ValueError&) {
          scoring_error = std::current_exception();
        }
      });
  if (scoring_error) std::rethrow_exception(scoring_error);
  return {counter.counts(), collisions};
}

// A mapper that also writes its flat labels as ids (convert_labels).
template <typename Mapper>
concept LabelMapper = requires(const Mapper& mapper, TagVocabulary& vocabulary,
                               TagIdSequence& labels) {
  mapper.convert_labels(Record(), Record(), std::optional<int64_t>(), vocabulary, labels, labels);
};

// The road of the flat-label tasks: what the mapper's convert over every instance would give,
// as ids of `vocabulary`, but each instance's labels are counted into `counted` as they come
// and dropped, so the data set's labels are never all in memory.
template <LabelMapper Mapper, typename Miner, InstancePairs Pairs>
void count_labels(const Mapper& convertor, const Miner& badcase_generator, const Pairs& pairs,
                  bool mine,
                  const std::optional<std::unordered_map<std::string, int64_t>>& entity2count,
                  const std::optional<std::vector<std::string>>& evaluate_labels,
                  const BadcaseSink& keep, TagVocabulary& vocabulary,
                  metrics::LabelIdCounter& counted, int64_t first_index = 0) {
  BioTagger tagger;  // for miners that tag; these do not
  TagIdSequence gold;
  TagIdSequence pred;
  // Where the walk leaves validating to the visits, the mapper checks the whole format.
  const bool checks_format = visits_vouch(pairs);
  walk_instances(badcase_generator, pairs, mine, {entity2count, evaluate_labels, tagger}, keep,
                 first_index,
                 [&](const Record& label, const Record& prediction, int64_t index) {
                   gold.clear();
                   pred.clear();
                   if constexpr (requires {
                                   convertor.convert_labels(label, prediction, index, vocabulary,
                                                            gold, pred, FormatChecks{});
                                 }) {
                     convertor.convert_labels(label, prediction, index, vocabulary, gold, pred,
                                              checks_format ? FormatChecks::whole_format
                                                            : FormatChecks::mapped_keys);
                   } else {
                     convertor.convert_labels(label, prediction, index, vocabulary, gold, pred);
                   }
                   for (size_t k = 0; k < gold.size(); ++k) counted.add(gold[k], pred[k]);
                 });
}

// A mapper that writes each instance's word spans into buffers it reuses (convert_spans).
template <typename Mapper>
concept SpanMapper = requires(const Mapper& mapper, WordSpans& spans) {
  mapper.convert_spans(Record(), Record(), std::optional<int64_t>(), spans, spans);
};

// The road of word segmentation: what the mapper's convert and cws_score would see, but each
// instance's spans are counted as they come and dropped, so the data set's spans are never
// all in memory.
template <SpanMapper Mapper, typename Miner, InstancePairs Pairs>
CwsCounts count_spans(const Mapper& convertor, const Miner& badcase_generator, const Pairs& pairs,
                      bool mine,
                      const std::optional<std::unordered_map<std::string, int64_t>>& entity2count,
                      const std::optional<std::vector<std::string>>& evaluate_labels,
                      const BadcaseSink& keep, int64_t first_index = 0) {
  BioTagger tagger;  // for miners that tag; this one does not
  WordSpans true_spans;
  WordSpans pred_spans;
  CwsCounter counter;
  walk_instances(badcase_generator, pairs, mine, {entity2count, evaluate_labels, tagger}, keep,
                 first_index,
                 [&](const Record& label, const Record& prediction, int64_t index) {
                   convertor.convert_spans(label, prediction, index, true_spans, pred_spans);
                   counter.add(true_spans, pred_spans);
                 });
  return counter.counts();
}

}  // namespace nlpeval

#endif  // NLPEVAL_EVALUATOR_INTERNAL_INSTANCE_LOOP_H_
