#include "nlpeval/evaluator/convertor/attribute_mapper.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "nlpeval/core/errors.h"
#include "test_support.h"

namespace nlpeval {
namespace {

using testing::message_of;
using Labels = std::vector<std::string>;

// A mention; `offset` is JSON text, so 5 is an integer and "\"5\"" a string.
struct M {
  std::string text;
  std::string offset;
};

struct Attribute {
  std::string type;
  M value;
};

std::string fields(const M& m) {
  return R"("text": ")" + m.text + R"(", "offset": )" + m.offset + R"(, "length": 1)";
}

std::string subject(const M& m, const std::vector<Attribute>& attributes) {
  std::string json = "{";  // appended, not "{" + temporary: GCC 12 warns on that falsely
  json += fields(m);
  json += R"(, "type": "S", "attributes": [)";
  for (const Attribute& a : attributes) {
    json += std::string(json.back() == '[' ? "" : ", ") + R"({"type": ")" + a.type +
            R"(", "value": {)" + fields(a.value) + "}}";
  }
  return json + "]}";
}

std::string instance(const std::vector<std::string>& subjects) {
  std::string json = R"({"text": "abcdefgh", "subjects": [)";
  for (const std::string& s : subjects) json += (json.back() == '[' ? "" : ", ") + s;
  return json + "]}";
}

std::pair<Labels, Labels> convert(const std::string& gold, const std::string& pred,
                                  std::optional<int64_t> index = {}) {
  Records records = Records::parse("[" + gold + ", " + pred + "]");
  return AttributeMapper().convert(records[0], records[1], index);
}

const M s{"s", "2"}, v{"v", "5"}, w{"w", "0"};

TEST(AttributeMapper, OffsetsThatAreDecimalIntegersCompareByValue) {
  // As text "12" would come before "3"; as numbers the subject starts after its value.
  EXPECT_EQ(convert(instance({subject({"s", R"("12")"}, {{"A", {"v", R"("3")"}}})}),
                    instance({subject({"s", "12"}, {{"A", {"v", "3"}}})})),
            std::pair(Labels{"A(e2,e1)"}, Labels{"A(e2,e1)"}));
}

TEST(AttributeMapper, LinesUpGoldPairsThenPredictedOnes) {
  EXPECT_EQ(convert(instance({}), instance({})), std::pair(Labels{}, Labels{}));
  EXPECT_EQ(convert(instance({subject(s, {}), subject(v, {})}), instance({subject(s, {})})),
            std::pair(Labels{}, Labels{}));
  const std::string sv = instance({subject(s, {{"A", v}})});
  EXPECT_EQ(convert(sv, sv), std::pair(Labels{"A(e1,e2)"}, Labels{"A(e1,e2)"}));
  EXPECT_EQ(convert(instance({subject(s, {{"A", w}})}), instance({subject(s, {{"B", w}})})),
            std::pair(Labels{"A(e2,e1)"}, Labels{"B(e2,e1)"}));
  EXPECT_EQ(convert(sv, instance({})), std::pair(Labels{"A(e1,e2)"}, Labels{"na"}));
  EXPECT_EQ(convert(instance({}), sv), std::pair(Labels{"na"}, Labels{"A(e1,e2)"}));
  EXPECT_EQ(
      convert(instance({subject(v, {{"A", w}, {"B", s}}), subject(s, {{"C", v}})}),
              instance({subject(w, {{"D", s}}), subject(s, {{"C", v}}), subject(v, {{"E", s}})})),
      std::pair(Labels{"A(e2,e1)", "B(e2,e1)", "C(e1,e2)", "na"},
                Labels{"na", "E(e2,e1)", "C(e1,e2)", "D(e1,e2)"}));
  const std::string same_offset = instance({subject(s, {{"A", {"v", "2"}}})});
  EXPECT_EQ(convert(same_offset, same_offset).first, Labels{"A(e1,e2)"})
      << "subject and value at one offset";
  EXPECT_EQ(convert(sv, same_offset, 7), convert(sv, same_offset)) << "the index is not used";
}

TEST(AttributeMapper, PairsAreKeyedByBothTextsAndBothOffsets) {
  EXPECT_EQ(convert(instance({subject({"s", "1"}, {{"A", v}}), subject({"s", "3"}, {{"B", v}})}),
                    instance({subject({"s", "3"}, {{"B", v}})})),
            std::pair(Labels{"A(e1,e2)", "B(e1,e2)"}, Labels{"na", "B(e1,e2)"}))
      << "one subject text at two offsets";
  EXPECT_EQ(convert(instance({subject({"a1", "2"}, {{"A", v}}), subject({"a", "12"}, {{"B", v}})}),
                    instance({}))
                .first,
            Labels({"A(e1,e2)", "B(e2,e1)"}))
      << "text and offset do not run into each other";
  EXPECT_EQ(convert(instance({subject({"s", "2"}, {{"A", v}})}),
                    instance({subject({"s", R"("2")"}, {{"A", {"v", R"("5")"}}})})),
            std::pair(Labels{"A(e1,e2)"}, Labels{"A(e1,e2)"}))
      << "an integer offset meets its decimal text";
}

// A later attribute on the same pair replaces the earlier one and keeps its place, also when
// it comes from another subject record with the same text and offset.
TEST(AttributeMapper, LaterAttributeOnAPairWins) {
  EXPECT_EQ(convert(instance({subject(s, {{"A", v}, {"X", w}, {"B", v}}), subject(s, {{"C", w}})}),
                    instance({}))
                .first,
            Labels({"B(e1,e2)", "C(e2,e1)"}));
}

TEST(AttributeMapper, ChecksArgumentsAndKeysInReadingOrder) {
  const std::string ok = instance({});
  auto error = [](const std::string& gold, const std::string& pred) {
    return [=] { convert(gold, pred); };
  };
  auto with = [](const std::string& subject_json) {
    return R"({"subjects": [)" + subject_json + "]}";
  };
  EXPECT_EQ(message_of<TypeError>(error("null", ok)), "label: expected object, got null");
  EXPECT_EQ(message_of<TypeError>(error(ok, R"("x")")), "prediction: expected object, got string");
  EXPECT_EQ(message_of<KeyError>(error("{}", ok)), "'subjects'");
  EXPECT_EQ(message_of<KeyError>(error(ok, "{}")), "'subjects'");
  EXPECT_EQ(message_of<TypeError>(error(R"({"subjects": 1})", ok)),
            "subjects: expected array, got integer");
  EXPECT_EQ(message_of<TypeError>(error(with("[]"), ok)), "subject: expected object, got array");
  EXPECT_EQ(message_of<KeyError>(error(with("{}"), ok)), "'text'");
  EXPECT_EQ(message_of<KeyError>(error(with(R"({"text": "s"})"), ok)), "'offset'");
  EXPECT_EQ(message_of<KeyError>(error(with(R"({"text": "s", "offset": 0})"), ok)), "'attributes'");
  const std::string head = R"("text": "s", "offset": 0, "attributes": )";
  EXPECT_EQ(message_of<TypeError>(error(with("{" + head + "[7]}"), ok)),
            "attribute: expected object, got integer");
  EXPECT_EQ(message_of<KeyError>(error(with("{" + head + "[{}]}"), ok)), "'value'");
  EXPECT_EQ(message_of<TypeError>(error(with("{" + head + R"([{"value": []}]})"), ok)),
            "value: expected object, got array");
  EXPECT_EQ(message_of<KeyError>(error(with("{" + head + R"([{"value": {}}]})"), ok)), "'text'");
  EXPECT_EQ(message_of<KeyError>(error(with("{" + head + R"([{"value": {"text": "v"}}]})"), ok)),
            "'offset'");
  const std::string untyped = with("{" + head + R"([{"value": {"text": "v", "offset": 1}}]})");
  EXPECT_EQ(message_of<KeyError>(error(untyped, "{}")), "'type'")
      << "the type is read while gathering pairs";
  EXPECT_EQ(message_of<TypeError>(error(with(subject({"s", "true"}, {})), ok)),
            "offset: expected integer or string, got boolean");

  const std::string numbered =
      with("{" + head + R"([{"type": 3, "value": {"text": "v", "offset": 1}}]})");
  EXPECT_EQ(message_of<TypeError>(error(numbered, ok)), "type: expected string, got integer");
  EXPECT_EQ(message_of<KeyError>(error(numbered, "{}")), "'subjects'")
      << "but taken as a string only when labelled";
  EXPECT_EQ(message_of<TypeError>(error(instance({subject({"s", R"("s1")"}, {{"A", v}})}), ok)),
            "offset: cannot compare a string with an integer");
}

// The driver keeps one vocabulary and two growing sequences for a whole data set.
TEST(AttributeMapper, LabelIdsAreOnlyAppended) {
  // Joined with std::string on the left: "[" + a temporary trips a false -Wrestrict in GCC 12.
  Records records = Records::parse(std::string("[") + instance({subject(s, {{"A", v}})}) + ", " +
                                   instance({subject(s, {{"B", w}})}) + "]");
  TagVocabulary vocabulary;
  TagIdSequence gold{vocabulary.intern("B-X")};
  TagIdSequence pred{TagVocabulary::kOutside, TagVocabulary::kOutside};
  AttributeMapper().convert_labels(records[0], records[1], {}, vocabulary, gold, pred);
  EXPECT_EQ(vocabulary.strings(gold), Labels({"B-X", "A(e1,e2)", "na"}));
  EXPECT_EQ(vocabulary.strings(pred), Labels({"O", "O", "na", "B(e2,e1)"}));
}

}  // namespace
}  // namespace nlpeval
