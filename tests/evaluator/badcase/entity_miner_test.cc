#include "nlpeval/evaluator/badcase/entity_miner.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "nlpeval/core/errors.h"
#include "test_support.h"

namespace nlpeval {
namespace {

using badcase::Const;
using ErrorKind = badcase::Error;
using testing::message_of;
using Counts = std::optional<std::unordered_map<std::string, int64_t>>;
using Labels = std::optional<std::vector<std::string>>;
using Kinds = std::vector<std::string>;

struct Entity {
  int64_t offset, length;
  std::string type;
};

std::string record(const std::string& text, const std::vector<Entity>& entities) {
  std::string json = R"({"text": ")" + text + R"(", "entities": [)";
  for (const Entity& e : entities) {
    json += std::string(json.back() == '[' ? "" : ", ") + R"({"offset": )" +
            std::to_string(e.offset) + R"(, "length": )" + std::to_string(e.length) +
            R"(, "type": ")" + e.type + "\"}";
  }
  return json + "]}";
}

Label2PredData mine(const std::string& gold, const std::string& pred, const Counts& counts = {},
                    const Labels& labels = {}) {
  Records records = Records::parse("[" + gold + ", " + pred + "]");
  return EntityMiner().generate(records[0], records[1], 3, counts, labels);
}

// The error kind of each Desc, "" for a right one.
Kinds kinds(const Label2PredData& data) {
  Kinds found;
  for (const Desc& desc : data.desc) {
    found.push_back(desc.get("is_right") == 1 ? "" : desc.get("error_type").get<std::string>());
  }
  return found;
}

Kinds kinds(const std::string& text, const Entity& gold, const Entity& pred) {
  return kinds(mine(record(text, {gold}), record(text, {pred})));
}

TEST(EntityMiner, ErrorKindsFollowTheirRulesInOrder) {
  EXPECT_EQ(kinds("abcdef", {0, 2, "PER"}, {0, 2, "LOC"}), Kinds({ErrorKind::TYPE_ERROR}));
  EXPECT_EQ(kinds("aaa", {0, 2, "PER"}, {1, 2, "LOC"}), Kinds({ErrorKind::TYPE_ERROR}))
      << "equal texts, not extents";
  EXPECT_EQ(kinds("abc", {0, 2, "PER"}, {1, 2, "LOC"}), Kinds({ErrorKind::PRED_CROSS_TRUE}));
  EXPECT_EQ(kinds("abcdef", {0, 4, "PER"}, {1, 2, "PER"}), Kinds({ErrorKind::PRED_IN_TRUE}));
  EXPECT_EQ(kinds("abcdef", {1, 3, "PER"}, {1, 4, "PER"}), Kinds({ErrorKind::TRUE_IN_PRED}));
  EXPECT_EQ(kinds("abcdef", {2, 2, "PER"}, {1, 5, "PER"}),
            Kinds({ErrorKind::PRED_NONE_ERROR, ErrorKind::TRUE_NONE_ERROR}));
  const std::string both = record("abcdef", {{0, 2, "PER"}, {3, 1, "X"}});
  EXPECT_EQ(kinds(mine(both, both)), Kinds({"", ""}));
  EXPECT_TRUE(mine(record("abc", {}), record("abc", {})).desc.empty());
  constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
  constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
  EXPECT_EQ(kinds("ab", {kMin, kMax, "X"}, {1, 1'000'000'000'000'000, "X"}),
            Kinds({ErrorKind::TRUE_NONE_ERROR}));
}

TEST(EntityMiner, DescFieldsComeInOrderWithCodePointTextsAndCounts) {
  Label2PredData data = mine(record("😀北京x", {{1, 2, "LOC"}}), record("😀北京x", {{1, 3, "LOC"}}),
                             Counts({{"北京", 3}}));
  EXPECT_EQ(data.index, 3);
  EXPECT_EQ(data.text, "😀北京x");
  ASSERT_EQ(data.desc.size(), 1u);
  EXPECT_EQ(data.desc[0].to_string(),
            "{'pred_type': NONE, 'pred_desc': NONE, 'label_type': NONE, 'label_desc': NONE, "
            "'error_type': 'TRUE_IN_PRED', 'is_right': 0, 'other': {}, 'true_label': 'LOC', "
            "'true_text': '北京', 'true_count': 3, 'pred_label': 'LOC', 'pred_text': '北京x', "
            "'pred_count': 0}");
  const Desc missing =
      mine(record("ab", {{0, 1, "X"}}), record("ab", {}), Counts(std::in_place)).desc.at(0);
  EXPECT_EQ(missing.get("pred_label"), Const::NONE);
  EXPECT_EQ(missing.get("pred_text"), Const::NONE);
  EXPECT_EQ(missing.get("pred_count"), 0);
  const Desc uncounted = mine(record("ab", {{0, 1, "X"}}), record("ab", {{0, 1, "X"}})).desc.at(0);
  EXPECT_FALSE(uncounted.has("true_count") || uncounted.has("pred_count"));
  EXPECT_TRUE(uncounted.get("is_right").is_number_integer());
}

TEST(EntityMiner, LabelFilterKeepsPairsWithEitherSideListed) {
  const Labels per = std::vector<std::string>{"PER"};
  const std::string loc = record("ab", {{0, 2, "LOC"}});
  EXPECT_TRUE(mine(loc, record("ab", {{0, 1, "LOC"}}), {}, per).desc.empty());
  EXPECT_EQ(mine(record("ab", {{0, 2, "PER"}}), loc, {}, per).desc.size(), 1u);
  EXPECT_EQ(
      kinds(mine(record("abcd", {{0, 1, "PER"}, {2, 1, "LOC"}}), record("abcd", {}), {}, per)),
      Kinds({ErrorKind::PRED_NONE_ERROR}));
}

TEST(EntityMiner, ReadsNesAndNeWhenPresentAndRejectsBadRecords) {
  const std::string both =
      R"({"text": "abc", "nes": [{"offset": 1, "length": 2, "ne": "N", "type": "T"}],
          "entities": [{"offset": 0, "length": 1, "type": "E"}]})";
  Label2PredData data = mine(both, both);
  ASSERT_EQ(data.desc.size(), 1u);
  EXPECT_EQ(data.desc[0].get("true_label"), "N");
  EXPECT_EQ(data.desc[0].get("true_text"), "bc");

  EXPECT_EQ(message_of<ValueError>([] { mine(record("abc", {}), record("abd", {})); }),
            "text is different");
  const std::string no_type = R"({"text": "a", "nes": [{"offset": 0, "length": 1}]})";
  EXPECT_EQ(message_of<KeyError>([&] { mine(no_type, record("a", {})); }), "'type'");
  EXPECT_THROW(mine("[]", record("a", {})), TypeError);
}

}  // namespace
}  // namespace nlpeval
