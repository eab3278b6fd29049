#include "nlpeval/evaluator/internal/instance_loop.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "nlpeval/core/errors.h"
#include "test_support.h"

namespace nlpeval {
namespace {

using ::testing::HasSubstr;

// A label mapper that labels each instance with the index it was given.
struct IndexMapper {
  void convert_labels(const Record& label, const Record&, std::optional<int64_t> index,
                      TagVocabulary& vocabulary, TagIdSequence& gold, TagIdSequence& pred) const {
    std::string tag = std::string(label.get_string("text")) + "@" + std::to_string(*index);
    gold.push_back(vocabulary.intern(tag));
    gold.push_back(vocabulary.intern(tag + "+"));
    pred.push_back(vocabulary.intern(tag));
  }
};

// What the walk over the instances hands the mapper, in order, as strings.
struct Mapped {
  std::vector<std::string> y_true;
  std::vector<std::string> y_pred;
};

template <typename Miner>
Mapped map_instances(const Miner& miner, const ListedPairs& pairs, bool mine,
                     const std::optional<std::unordered_map<std::string, int64_t>>& entity2count,
                     const std::optional<std::vector<std::string>>& evaluate_labels,
                     const BadcaseSink& keep) {
  TagVocabulary vocabulary;
  TagIdSequence gold;
  TagIdSequence pred;
  BioTagger tagger;
  walk_instances(miner, pairs, mine, {entity2count, evaluate_labels, tagger}, keep, 0,
                 [&](const Record& label, const Record& prediction, int64_t index) {
                   IndexMapper().convert_labels(label, prediction, index, vocabulary, gold, pred);
                 });
  return {vocabulary.strings(gold), vocabulary.strings(pred)};
}

// A miner that reports one element for instances whose gold "bad" is true.
struct FlagMiner {
  Label2PredData generate(const Record& label, const Record&, int64_t id_) const {
    std::vector<Desc> desc;
    if (label.at("bad").element().get_bool().value()) desc.emplace_back();
    return Label2PredData(id_, std::string(label.get_string("text")), std::move(desc));
  }
};

// A miner that takes the driver's context, as the entity miner does for counts and labels.
struct CountingMiner {
  Label2PredData generate(const Record&, const Record&, int64_t id_,
                          const MiningContext& context) const {
    const auto& counts = context.entity2count;
    const auto& labels = context.evaluate_labels;
    Desc desc;
    desc.set("counts", counts ? static_cast<int64_t>(counts->size()) : -1);
    desc.set("labels", labels ? static_cast<int64_t>(labels->size()) : -1);
    return Label2PredData(id_, "", {desc});
  }
};

const Records kRecords = Records::parse(
    R"([{"text": "a", "bad": false}, {"text": "b", "bad": true}, {"text": "c", "bad": true}])");

// The badcase records an instance loop keeps.
struct Kept {
  std::vector<Label2PredData> records;
  BadcaseSink sink() {
    return [this](Label2PredData&& record) { records.push_back(std::move(record)); };
  }
};

TEST(MapInstances, MapperSeesZeroBasedIndexAndMinerOneBasedId) {
  Kept kept;
  auto mapped = map_instances(FlagMiner(), ListedPairs(kRecords, kRecords), true,
                              std::nullopt, std::nullopt, kept.sink());
  EXPECT_EQ(mapped.y_true, (std::vector<std::string>{"a@0", "a@0+", "b@1", "b@1+", "c@2", "c@2+"}));
  EXPECT_EQ(mapped.y_pred, (std::vector<std::string>{"a@0", "b@1", "c@2"}));
  ASSERT_EQ(kept.records.size(), 2u);  // the first instance has nothing to show
  EXPECT_EQ(kept.records[0].index, 2);
  EXPECT_EQ(kept.records[1].index, 3);
  EXPECT_EQ(kept.records[1].text, "c");
}

TEST(MapInstances, NoMiningWithoutABadcaseFile) {
  Kept kept;
  auto mapped = map_instances(FlagMiner(), ListedPairs(kRecords, kRecords), false,
                              std::nullopt, std::nullopt, kept.sink());
  EXPECT_EQ(mapped.y_pred.size(), 3u);
  EXPECT_TRUE(kept.records.empty());
}

TEST(MapInstances, MinersTakingTheContextReceiveCountsAndLabels) {
  Kept with;
  map_instances(CountingMiner(), ListedPairs(kRecords, kRecords), true,
                std::unordered_map<std::string, int64_t>{{"x", 1}, {"y", 2}},
                std::vector<std::string>{"PER"}, with.sink());
  EXPECT_EQ(with.records[0].desc[0].get("counts"), 2);
  EXPECT_EQ(with.records[0].desc[0].get("labels"), 1);
  Kept without;
  map_instances(CountingMiner(), ListedPairs(kRecords, kRecords), true, std::nullopt,
                std::nullopt, without.sink());
  EXPECT_EQ(without.records[0].desc[0].get("counts"), -1);
}

TEST(MapInstances, EmptyListsCallNothing) {
  Records none;
  Kept kept;
  auto mapped = map_instances(FlagMiner(), ListedPairs(none, none), true,
                              std::nullopt, std::nullopt, kept.sink());
  EXPECT_TRUE(mapped.y_true.empty());
  EXPECT_TRUE(kept.records.empty());
}

TEST(MapInstances, ShorterPredictionListIsAnIndexError) {
  Records two = Records::parse(R"([{"text": "a", "bad": false}, {"text": "b", "bad": false}])");
  Records one = Records::parse(R"([{"text": "a", "bad": false}])");
  Kept kept;
  EXPECT_THROW(map_instances(FlagMiner(), ListedPairs(two, one), false, std::nullopt,
                             std::nullopt, kept.sink()),
               IndexError);
}

// A tag mapper whose records give their gold and predicted tags as lists of strings, and
// which fails on a record holding "fail".
struct ListTagMapper {
  void convert_tags(const Record& label, const Record& prediction, std::optional<int64_t>,
                    BioTagger& tagger, InstanceTags& tags) const {
    if (label.contains("fail")) throw KeyError("fail");
    auto [gold, pred] = tags.add();
    for (const Record tag : label.get_array("tags")) {
      gold.push_back(tagger.vocabulary().intern(tag.as_string("tag")));
    }
    for (const Record tag : prediction.get_array("tags")) {
      pred.push_back(tagger.vocabulary().intern(tag.as_string("tag")));
    }
  }
};

TEST(CountInstances, CountsWhatTheSequenceScorersCount) {
  Records gold = Records::parse(
      R"([{"tags": ["B-A", "I-A", "O"]}, {"tags": ["I-B", "O"]}, {"tags": ["B-A"]}])");
  Records pred =
      Records::parse(R"([{"tags": ["B-A", "I-A", "O"]}, {"tags": ["B-B", "O"]}, {"tags": ["O"]}])");
  Kept kept;
  const auto counts = count_instances(ListTagMapper(), FlagMiner(), ListedPairs(gold, pred), false,
                                      std::nullopt, std::nullopt, kept.sink());
  EXPECT_EQ(counts.chunks, metrics::seq::count_chunks({{"B-A", "I-A", "O"}, {"I-B", "O"}, {"B-A"}},
                                                      {{"B-A", "I-A", "O"}, {"B-B", "O"}, {"O"}}));
}

TEST(CountInstances, AScoringErrorWaitsForTheEndOfTheLoop) {
  Kept kept;
  // The first pair differs in length, which scoring refuses; the mapper's error on the second
  // instance comes first, as it would if all sequences were collected before scoring.
  Records gold = Records::parse(R"([{"tags": ["O", "O"]}, {"fail": 1, "tags": []}])");
  Records pred = Records::parse(R"([{"tags": ["O"]}, {"tags": []}])");
  EXPECT_THROW(count_instances(ListTagMapper(), FlagMiner(), ListedPairs(gold, pred), false,
                               std::nullopt, std::nullopt, kept.sink()),
               KeyError);
  Records gold_ok = Records::parse(R"([{"tags": ["O", "O"]}, {"tags": ["B-A"]}])");
  Records pred_ok = Records::parse(R"([{"tags": ["O"]}, {"tags": ["B-A"]}])");
  EXPECT_THAT(testing::message_of<ValueError>([&] {
                count_instances(ListTagMapper(), FlagMiner(), ListedPairs(gold_ok, pred_ok), false,
                                std::nullopt, std::nullopt, kept.sink());
              }),
              HasSubstr("instance 1: the gold sequence has 2 tags, the predicted one 1"));
}

// A label mapper that gives each instance its text as gold label and "na" as prediction.
struct TextLabelMapper {
  void convert_labels(const Record& label, const Record&, std::optional<int64_t>,
                      TagVocabulary& vocabulary, TagIdSequence& gold, TagIdSequence& pred) const {
    gold.push_back(vocabulary.intern(label.get_string("text")));
    pred.push_back(vocabulary.intern("na"));
  }
};

TEST(CountLabels, CountsEveryInstancesLabelsAndMinesAsTheOtherRoads) {
  Kept kept;
  TagVocabulary vocabulary;
  metrics::LabelIdCounter counted;
  count_labels(TextLabelMapper(), FlagMiner(), ListedPairs(kRecords, kRecords), true,
               std::nullopt, std::nullopt, kept.sink(), vocabulary, counted);
  EXPECT_EQ(counted.positions(), 3u);
  EXPECT_EQ(counted.agreements(), 0);
  std::vector<std::string> seen;
  for (uint32_t id : counted.ids_seen()) seen.emplace_back(vocabulary.tag(id));
  EXPECT_EQ(seen, (std::vector<std::string>{"a", "na", "b", "c"}));  // gold first at each position
  EXPECT_EQ(counted.pred(vocabulary.intern("na")), 3);
  EXPECT_EQ(counted.truth(vocabulary.intern("b")), 1);
  ASSERT_EQ(kept.records.size(), 2u);
  EXPECT_EQ(kept.records[0].index, 2);
}

}  // namespace
}  // namespace nlpeval
