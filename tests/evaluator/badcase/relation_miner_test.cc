#include "nlpeval/evaluator/badcase/relation_miner.h"

#include <gtest/gtest.h>

#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "nlpeval/core/errors.h"
#include "test_support.h"

namespace nlpeval {
namespace {

using badcase::Const;
using ErrorKind = badcase::Error;
using testing::message_of;

constexpr const char* kText = "AB CDE FG";

// The offset is JSON text, so that a test can pass a string or an extreme number.
std::string mention(const std::string& text, const std::string& offset,
                    std::optional<int64_t> length = 1) {
  std::string json = R"({"text": ")" + text + R"(", "offset": )" + offset;
  if (length) json += R"(, "length": )" + std::to_string(*length);
  return json + "}";
}

std::string relation(const std::string& type, const std::string& head, const std::string& tail) {
  return R"({"type": ")" + type + R"(", "head": )" + head + R"(, "tail": )" + tail + "}";
}

std::string instance(const std::vector<std::string>& relations, const std::string& text = kText) {
  std::string json = R"({"text": ")" + text + R"(", "relations": [)";
  for (const std::string& one : relations) json += (json.back() == '[' ? "" : ", ") + one;
  return json + "]}";
}

Label2PredData mine(const std::string& gold, const std::string& pred) {
  Records records = Records::parse("[" + gold + ", " + pred + "]");
  return RelationMiner().generate(records[0], records[1], 4);
}

std::string tag_of(const std::string& relation_json) {
  Records records = Records::parse("[" + relation_json + "]");
  return RelationMiner::_get_tag(records[0]);
}

const std::string kAB = mention("AB", "0", 2);
const std::string kCDE = mention("CDE", "3", 3);
const std::string kFG = mention("FG", "7", 2);

TEST(RelationMiner, RightPairShowsItsMentionsAfterTheDeclaredFields) {
  const std::string both = instance({relation("T", mention("AB", "0", 2), mention("CD", "5"))});
  const Label2PredData data = mine(both, both);
  EXPECT_EQ(data.index, 4);
  EXPECT_EQ(data.text, kText);
  ASSERT_EQ(data.desc.size(), 1u);
  EXPECT_EQ(data.desc[0].to_string(),
            "{'pred_type': NONE, 'pred_desc': 'T(e1,e2)', 'label_type': NONE, "
            "'label_desc': 'T(e1,e2)', 'error_type': NONE, 'is_right': 1, 'other': {}, "
            "'head_entity': 'AB', 'tail_entity': 'CD', 'tag': 3}");
  EXPECT_TRUE(mine(instance({}), instance({})).desc.empty());
}

TEST(RelationMiner, ErrorKindsAndOrderOfElements) {
  const Label2PredData swapped =
      mine(instance({relation("T", kAB, kCDE)}), instance({relation("T", kCDE, kAB)}));
  ASSERT_EQ(swapped.desc.size(), 1u);
  const Desc& order = swapped.desc[0];
  EXPECT_EQ(order.get("label_desc"), "T(e1,e2)");
  EXPECT_EQ(order.get("pred_desc"), "T(e2,e1)");
  EXPECT_EQ(order.get("error_type"), ErrorKind::ORDER_ERROR);
  EXPECT_EQ(order.get("is_right"), 0);
  EXPECT_EQ(order.get("head_entity"), "AB") << "the mention that starts first";
  EXPECT_EQ(order.get("tail_entity"), "CDE");

  EXPECT_EQ(mine(instance({relation("A", kAB, kCDE)}), instance({relation("B", kAB, kCDE)}))
                .desc.at(0)
                .get("error_type"),
            ErrorKind::TYPE_ERROR);

  // Gold pairs in gold order, then the pairs only the prediction has.
  const Label2PredData sides = mine(instance({relation("A", kAB, kCDE), relation("B", kCDE, kFG)}),
                                    instance({relation("C", kAB, kFG), relation("B", kCDE, kFG)}));
  ASSERT_EQ(sides.desc.size(), 3u);
  EXPECT_EQ(sides.desc[0].get("pred_desc"), Const::NONE);
  EXPECT_EQ(sides.desc[0].get("error_type"), ErrorKind::PRED_NONE_ERROR);
  EXPECT_EQ(sides.desc[1].get("is_right"), 1);
  EXPECT_EQ(sides.desc[1].get("error_type"), Const::NONE);
  EXPECT_EQ(sides.desc[2].get("label_desc"), Const::NONE);
  EXPECT_EQ(sides.desc[2].get("pred_desc"), "C(e1,e2)");
  EXPECT_EQ(sides.desc[2].get("error_type"), ErrorKind::TRUE_NONE_ERROR);
}

TEST(RelationMiner, ReversedTypesNameTheirDirection) {
  const Desc agree =
      mine(instance({relation("X_rev", kAB, kCDE)}), instance({relation("X", kCDE, kAB)})).desc[0];
  EXPECT_EQ(agree.get("label_desc"), "X(e2,e1)");
  EXPECT_EQ(agree.get("is_right"), 1);
  const Desc disagree =
      mine(instance({relation("X_rev", kAB, kCDE)}), instance({relation("X", kAB, kCDE)})).desc[0];
  EXPECT_EQ(disagree.get("pred_desc"), "X(e1,e2)");
  EXPECT_EQ(disagree.get("error_type"), ErrorKind::ORDER_ERROR);

  EXPECT_EQ(tag_of(relation("X_rev", kCDE, kAB)), "X(e2,e1)") << "whatever the offsets";
  EXPECT_EQ(tag_of(relation("A_rev_B_rev", kAB, kCDE)), "A_B(e2,e1)");
  EXPECT_EQ(tag_of(relation("X_r_revev_rev", kAB, kCDE)), "X_rev(e2,e1)") << "one pass";
  EXPECT_EQ(tag_of(relation("X_revised", kAB, kCDE)), "X_revised(e1,e2)");
}

TEST(RelationMiner, PairKeysKeepPartsApartAndLaterRecordsReplace) {
  const std::string tail = mention("b", "20");
  const Label2PredData apart = mine(instance({relation("T", mention("a1", "2"), tail)}),
                                    instance({relation("T", mention("a", "12"), tail)}));
  ASSERT_EQ(apart.desc.size(), 2u) << "a1 at 2 and a at 12 would concatenate alike";
  EXPECT_EQ(apart.desc[0].get("error_type"), ErrorKind::PRED_NONE_ERROR);

  const Label2PredData replaced =
      mine(instance({relation("A", kAB, kCDE), relation("B", kCDE, kFG), relation("C", kCDE, kAB)}),
           instance({relation("B", kCDE, kFG)}));
  ASSERT_EQ(replaced.desc.size(), 2u);
  EXPECT_EQ(replaced.desc[0].get("label_desc"), "C(e2,e1)") << "keeps the first position";
  EXPECT_EQ(replaced.desc[1].get("is_right"), 1);

  // Offsets meet in decimal form; the mention fields come from the predicted record.
  const Label2PredData texts =
      mine(instance({relation("T", mention("AB", R"("0")"), mention("CD", R"("5")"))}),
           instance({relation("T", mention("AB", "0", 2), mention("CD", "5"))}));
  ASSERT_EQ(texts.desc.size(), 1u);
  EXPECT_EQ(texts.desc[0].get("is_right"), 1);
  EXPECT_EQ(texts.desc[0].get("tag"), 3);
  EXPECT_EQ(message_of<TypeError>([&] {
              mine(instance({}),
                   instance({relation("T", mention("AB", R"("0")"), mention("CD", R"("5")"))}));
            }),
            "offset: expected integer, got string");
  EXPECT_THROW(mine(instance({relation("T", kAB, mention("CD", R"("5")"))}), instance({})),
               TypeError);
}

TEST(RelationMiner, TagMeasuresFromTheFirstMentionOfTheShownRecord) {
  const auto tag = [](const std::string& gold, const std::string& pred) {
    return mine(instance({gold}), instance({pred})).desc.at(0).get("tag");
  };
  const std::string ab_cde = relation("T", kAB, kCDE);
  EXPECT_EQ(tag(ab_cde, ab_cde), 1);
  EXPECT_EQ(tag(ab_cde, relation("T", mention("AB", "0", 3), kCDE)), 0) << "adjacent";
  EXPECT_EQ(tag(ab_cde, relation("T", mention("AB", "0", 5), kCDE)), -2) << "overlapping";
  EXPECT_EQ(tag(ab_cde, relation("T", mention("CDE", "3", std::nullopt), mention("AB", "0", 1))), 2)
      << "the tail starts first: only its length is read";
  EXPECT_EQ(tag(ab_cde, relation("T", kAB, mention("CDE", "3", std::nullopt))), 1);
  EXPECT_EQ(message_of<KeyError>(
                [&] { tag(ab_cde, relation("T", mention("AB", "0", std::nullopt), kCDE)); }),
            "'length'");

  const std::string min = "-9223372036854775808";
  const std::string max = "9223372036854775807";
  const std::string edge = relation("T", mention("a", "9223372036854775806"), mention("b", max));
  EXPECT_EQ(tag(edge, edge), 0);
  const std::string wide = relation("T", mention("a", min), mention("b", max));
  EXPECT_EQ(message_of<ValueError>([&] { tag(wide, wide); }),
            "tag: out of the 64-bit integer range");
  const std::string long_first =
      relation("T", mention("a", "0", std::numeric_limits<int64_t>::min()), mention("b", "0"));
  EXPECT_THROW(tag(long_first, long_first), ValueError);
  EXPECT_THROW(tag(ab_cde, relation("T", kAB, mention("b", "9223372036854775808"))), ValueError);
}

TEST(RelationMiner, RejectsBadRecordsWithErrorsNamingTheCulprit) {
  EXPECT_EQ(
      message_of<ValueError>([] { mine(instance({}, "AB CDE FG"), R"({"text": "AB CDE FH"})"); }),
      "text is different");
  EXPECT_EQ(message_of<KeyError>([] { mine(R"({"text": "a"})", instance({}, "a")); }),
            "'relations'");
  EXPECT_EQ(
      message_of<KeyError>([] { mine(instance({R"({"type": "T", "head": {}})"}), instance({})); }),
      "'tail'");
  EXPECT_EQ(message_of<KeyError>([] { mine(instance({}), instance({relation("T", kAB, "{}")})); }),
            "'offset'");
  EXPECT_EQ(message_of<KeyError>([] {
              mine(instance({R"({"head": )" + kAB + R"(, "tail": )" + kCDE + "}"}), instance({}));
            }),
            "'type'");
  EXPECT_EQ(message_of<TypeError>([] { mine("[]", instance({})); }),
            "label: expected object, got array");
  EXPECT_EQ(message_of<TypeError>([] { mine(instance({"7"}), instance({})); }),
            "relation: expected object, got integer");
  EXPECT_EQ(message_of<TypeError>([] { mine(instance({relation("T", "[]", kAB)}), instance({})); }),
            "head: expected object, got array");
  EXPECT_THROW(mine(instance({R"({"type": 3, "head": )" + kAB + R"(, "tail": )" + kCDE + "}"}),
                    instance({})),
               TypeError);
}

}  // namespace
}  // namespace nlpeval
