#include "nlpeval/evaluator/instance_loop.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "nlpeval/core/errors.h"

namespace nlpeval {
namespace {

// A mapper that tags each instance with the index it was given.
struct IndexMapper {
  std::pair<std::vector<std::string>, std::vector<std::string>> convert(
      const Record& label, const Record&, std::optional<int64_t> index) const {
    std::string tag = std::string(label.get_string("text")) + "@" + std::to_string(*index);
    return {{tag, tag + "+"}, {tag}};
  }
};

// A miner that reports one element for instances whose gold "bad" is true.
struct FlagMiner {
  Label2PredData generate(const Record& label, const Record&, int64_t id_) const {
    std::vector<Desc> desc;
    if (label.at("bad").element().get_bool().value()) desc.emplace_back();
    return Label2PredData(id_, std::string(label.get_string("text")), std::move(desc));
  }
};

// A miner with the entity miner's longer signature, which also receives counts and labels.
struct CountingMiner {
  Label2PredData generate(const Record&, const Record&, int64_t id_,
                          const std::optional<std::unordered_map<std::string, int64_t>>& counts,
                          const std::optional<std::vector<std::string>>& labels) const {
    Desc desc;
    desc.set("counts", counts ? static_cast<int64_t>(counts->size()) : -1);
    desc.set("labels", labels ? static_cast<int64_t>(labels->size()) : -1);
    return Label2PredData(id_, "", {desc});
  }
};

const Records kRecords = Records::parse(
    R"([{"text": "a", "bad": false}, {"text": "b", "bad": true}, {"text": "c", "bad": true}])");

TEST(MapInstances, MapperSeesZeroBasedIndexAndMinerOneBasedId) {
  auto mapped = map_instances(IndexMapper(), FlagMiner(), kRecords, kRecords, true, std::nullopt,
                              std::nullopt);
  EXPECT_EQ(mapped.y_true, (std::vector<std::string>{"a@0", "a@0+", "b@1", "b@1+", "c@2", "c@2+"}));
  EXPECT_EQ(mapped.y_pred, (std::vector<std::string>{"a@0", "b@1", "c@2"}));
  ASSERT_EQ(mapped.label2preddataset.size(), 2u);  // the first instance has nothing to show
  EXPECT_EQ(mapped.label2preddataset[0].index, 2);
  EXPECT_EQ(mapped.label2preddataset[1].index, 3);
  EXPECT_EQ(mapped.label2preddataset[1].text, "c");
}

TEST(MapInstances, NoMiningWithoutABadcaseFile) {
  auto mapped = map_instances(IndexMapper(), FlagMiner(), kRecords, kRecords, false, std::nullopt,
                              std::nullopt);
  EXPECT_EQ(mapped.y_pred.size(), 3u);
  EXPECT_TRUE(mapped.label2preddataset.empty());
}

TEST(MapInstances, EntityMinerAlsoReceivesCountsAndLabels) {
  auto with = map_instances(IndexMapper(), CountingMiner(), kRecords, kRecords, true,
                            std::unordered_map<std::string, int64_t>{{"x", 1}, {"y", 2}},
                            std::vector<std::string>{"PER"});
  EXPECT_EQ(with.label2preddataset[0].desc[0].get("counts"), 2);
  EXPECT_EQ(with.label2preddataset[0].desc[0].get("labels"), 1);
  auto without = map_instances(IndexMapper(), CountingMiner(), kRecords, kRecords, true,
                               std::nullopt, std::nullopt);
  EXPECT_EQ(without.label2preddataset[0].desc[0].get("counts"), -1);
}

TEST(MapInstances, EmptyListsCallNothing) {
  Records none;
  auto mapped =
      map_instances(IndexMapper(), FlagMiner(), none, none, true, std::nullopt, std::nullopt);
  EXPECT_TRUE(mapped.y_true.empty());
  EXPECT_TRUE(mapped.label2preddataset.empty());
}

TEST(MapInstances, ShorterPredictionListIsAnIndexError) {
  Records two = Records::parse(R"([{"text": "a", "bad": false}, {"text": "b", "bad": false}])");
  Records one = Records::parse(R"([{"text": "a", "bad": false}])");
  EXPECT_THROW(
      map_instances(IndexMapper(), FlagMiner(), two, one, false, std::nullopt, std::nullopt),
      IndexError);
}

}  // namespace
}  // namespace nlpeval
