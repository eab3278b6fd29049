#include "nlpeval/evaluator/badcase/attribute_miner.h"

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
using testing::message_of;

constexpr const char* kText = "AB CDE FG";
constexpr const char* kMissing = "无";

std::string joined(const std::vector<std::string>& parts) {
  std::string json;
  for (const std::string& part : parts) json += (json.empty() ? "" : ", ") + part;
  return json;
}

// A value mention; the offset is JSON text, so that a test can pass a string or an extreme
// number.
std::string value(const std::string& text, const std::string& offset,
                  std::optional<int64_t> length = 1) {
  std::string json = R"({"text": ")" + text + R"(", "offset": )" + offset;
  if (length) json += R"(, "length": )" + std::to_string(*length);
  return json + "}";
}

std::string attribute(const std::string& name, const std::string& value_json) {
  return R"({"type": ")" + name + R"(", "value": )" + value_json + "}";
}

std::string subject(const std::string& text, const std::string& offset, int64_t length,
                    const std::vector<std::string>& attributes) {
  return R"({"text": ")" + text + R"(", "type": "S", "offset": )" + offset + R"(, "length": )" +
         std::to_string(length) + R"(, "attributes": [)" + joined(attributes) + "]}";
}

std::string instance(const std::vector<std::string>& subjects, const std::string& text = kText) {
  return R"({"text": ")" + text + R"(", "subjects": [)" + joined(subjects) + "]}";
}

Label2PredData mine(const std::string& gold, const std::string& pred) {
  Records records = Records::parse("[" + gold + ", " + pred + "]");
  return AttributeMiner().generate(records[0], records[1], 2);
}

const std::string kCD5 = value("CD", "5", 2);

TEST(AttributeMiner, RightPairShowsItsMentionsAfterTheDeclaredFields) {
  const std::string both = instance({subject("AB", "0", 2, {attribute("A", kCD5)})});
  const Label2PredData data = mine(both, both);
  EXPECT_EQ(data.index, 2);
  EXPECT_EQ(data.text, kText);
  ASSERT_EQ(data.desc.size(), 1u);
  EXPECT_EQ(data.desc[0].to_string(),
            "{'pred_type': NONE, 'pred_desc': 'A(e1,e2)', 'label_type': NONE, "
            "'label_desc': 'A(e1,e2)', 'error_type': NONE, 'is_right': 1, 'other': {}, "
            "'entity': 'AB', 'value': 'CD', 'tag': 3}");
  EXPECT_TRUE(mine(instance({}), instance({})).desc.empty());
  // Without attributes a subject needs nothing but its text.
  const std::string bare = instance({R"({"text": "AB", "attributes": []})"});
  EXPECT_TRUE(mine(bare, bare).desc.empty());
}

TEST(AttributeMiner, NamesDecideRightnessAndNoErrorKindIsSet) {
  const Desc renamed = mine(instance({subject("AB", "0", 2, {attribute("A", kCD5)})}),
                            instance({subject("AB", "0", 2, {attribute("B", kCD5)})}))
                           .desc.at(0);
  EXPECT_EQ(renamed.get("label_desc"), "A(e1,e2)");
  EXPECT_EQ(renamed.get("pred_desc"), "B(e1,e2)");
  EXPECT_EQ(renamed.get("is_right"), 0);
  EXPECT_EQ(renamed.get("error_type"), Const::NONE);

  // The subject offset is not part of the key: one element, right despite the directions.
  const Label2PredData moved = mine(instance({subject("AB", "0", 1, {attribute("A", kCD5)})}),
                                    instance({subject("AB", "10", 2, {attribute("A", kCD5)})}));
  ASSERT_EQ(moved.desc.size(), 1u);
  EXPECT_EQ(moved.desc[0].get("label_desc"), "A(e1,e2)");
  EXPECT_EQ(moved.desc[0].get("pred_desc"), "A(e2,e1)");
  EXPECT_EQ(moved.desc[0].get("is_right"), 1);
  EXPECT_EQ(moved.desc[0].get("tag"), 3) << "10 - 5 - the value's length, from the prediction";

  const Label2PredData sides =
      mine(instance({subject("AB", "0", 2, {attribute("A", kCD5), attribute("B", kCD5)}),
                     subject("FG", "7", 2, {attribute("C", kCD5)})}),
           instance({subject("AB", "0", 2, {attribute("D", value("G", "8"))})}));
  ASSERT_EQ(sides.desc.size(), 3u) << "two attributes on one value share a pair";
  EXPECT_EQ(sides.desc[0].get("label_desc"), "B(e1,e2)") << "the later attribute";
  EXPECT_EQ(sides.desc[0].get("pred_desc"), kMissing);
  EXPECT_EQ(sides.desc[1].get("label_desc"), "C(e2,e1)");
  EXPECT_EQ(sides.desc[2].get("label_desc"), kMissing);
  EXPECT_EQ(sides.desc[2].get("pred_desc"), "D(e1,e2)");
  for (const Desc& desc : sides.desc) {
    EXPECT_EQ(desc.get("is_right"), 0);
    EXPECT_EQ(desc.get("error_type"), Const::NONE);
  }
}

TEST(AttributeMiner, PairKeysKeepPartsApart) {
  const Label2PredData split =
      mine(instance({subject("a", "0", 1, {attribute("A", value("bc", "5"))})}),
           instance({subject("ab", "0", 2, {attribute("A", value("c", "5"))})}));
  EXPECT_EQ(split.desc.size(), 2u) << "a+bc and ab+c would concatenate alike";
  const Label2PredData digits =
      mine(instance({subject("S", "0", 1, {attribute("A", value("x1", "2"))})}),
           instance({subject("S", "0", 1, {attribute("A", value("x", "12"))})}));
  EXPECT_EQ(digits.desc.size(), 2u) << "x1 at 2 and x at 12 would concatenate alike";

  // Offsets meet in decimal form; the mention fields come from the predicted triple.
  const Label2PredData texts =
      mine(instance({subject("AB", R"("0")", 2, {attribute("A", value("CD", R"("5")"))})}),
           instance({subject("AB", "0", 2, {attribute("A", kCD5)})}));
  ASSERT_EQ(texts.desc.size(), 1u);
  EXPECT_EQ(texts.desc[0].get("is_right"), 1);
  EXPECT_EQ(texts.desc[0].get("tag"), 3);
  EXPECT_EQ(message_of<TypeError>([] {
              mine(instance({subject("AB", R"("0")", 2, {attribute("A", value("C", R"("5")"))})}),
                   instance({}));
            }),
            "offset: expected integer, got string");
  EXPECT_THROW(
      mine(instance({subject("AB", "0", 2, {attribute("A", value("C", R"("5")"))})}), instance({})),
      TypeError);
}

TEST(AttributeMiner, TagMeasuresFromTheMentionThatStartsFirst) {
  const auto tag = [](const std::string& offset, int64_t length, const std::string& value_json) {
    const std::string both = instance({subject("S", offset, length, {attribute("A", value_json)})});
    return mine(both, both).desc.at(0).get("tag");
  };
  EXPECT_EQ(tag("0", 2, value("V", "2", std::nullopt)), 0)
      << "adjacent; the value's length is not read";
  EXPECT_EQ(tag("0", 4, value("V", "2")), -2) << "overlapping";
  EXPECT_EQ(tag("3", 1, value("V", "3")), -1) << "a tie counts the subject first";
  EXPECT_EQ(tag("6", 99, value("V", "1", 2)), 3) << "the value starts first: its length";
  EXPECT_EQ(message_of<KeyError>([&] { tag("6", 1, value("V", "1", std::nullopt)); }), "'length'");

  const std::string max = "9223372036854775807";
  EXPECT_EQ(tag(max, 1, value("V", "9223372036854775806")), 0);
  EXPECT_EQ(message_of<ValueError>([&] { tag("-9223372036854775808", 1, value("V", max)); }),
            "tag: out of the 64-bit integer range");
  EXPECT_THROW(tag("0", std::numeric_limits<int64_t>::min(), value("V", "0")), ValueError);
}

TEST(AttributeMiner, RejectsBadRecordsWithErrorsNamingTheCulprit) {
  EXPECT_EQ(message_of<ValueError>([] { mine(instance({}, "abc"), R"({"text": "abd"})"); }),
            "text is different");
  EXPECT_EQ(message_of<KeyError>([] { mine(R"({"text": "a"})", instance({}, "a")); }),
            "'subjects'");
  const std::string attributes = R"("attributes": [)" + attribute("A", kCD5) + "]";
  EXPECT_EQ(message_of<KeyError>([&] {
              mine(instance({R"({"text": "AB", "offset": 0, "length": 2, )" + attributes + "}"}),
                   instance({}));
            }),
            "'type'");
  EXPECT_EQ(message_of<KeyError>([&] {
              mine(instance({R"({"text": "AB", "type": "S", "offset": 0, )" + attributes + "}"}),
                   instance({}));
            }),
            "'length'");
  EXPECT_EQ(message_of<KeyError>([] {
              mine(instance({subject("AB", "0", 2, {R"({"type": "A"})"})}), instance({}));
            }),
            "'value'");
  EXPECT_EQ(message_of<TypeError>([] { mine(instance({}), "[]"); }),
            "prediction: expected object, got array");
  EXPECT_EQ(message_of<TypeError>([] {
              mine(instance({subject("AB", "0", 2, {R"({"type": "A", "value": "CD"})"})}),
                   instance({}));
            }),
            "value: expected object, got string");
  EXPECT_THROW(mine(instance({subject("AB", "0", 2, {R"({"type": 1, "value": )" + kCD5 + "}"})}),
                    instance({})),
               TypeError);
}

}  // namespace
}  // namespace nlpeval
