#include "nlpeval/data/json_validator.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "nlpeval/core/errors.h"
#include "test_support.h"

namespace nlpeval {
namespace {

using ::testing::HasSubstr;
using testing::message_of;
using ::testing::StartsWith;

// The message MvrcloudJsonValidator gives for `json` as record 4 of task `type`, or "" when
// the record conforms.
std::string task_error(std::string_view type, std::string_view json, std::string_view origin = {}) {
  Records records = Records::parse("[" + std::string(json) + "]");
  try {
    MvrcloudJsonValidator().validate(records[0], type, 3, origin);
  } catch (const ValueError& error) {
    return error.what();
  }
  return "";
}

TEST(MvrcloudJsonValidator, ValidRecordOfEveryTaskPassesWithUnknownKeysIgnored) {
  EXPECT_EQ(task_error("ner", R"({"text": "ab", "id": 7, "entities": [
      {"offset": 0, "length": 1, "type": "PER", "score": 0.5}]})"),
            "");
  EXPECT_EQ(task_error("ner", R"({"text": "", "entities": []})"), "");
  EXPECT_EQ(task_error("pos", R"({"text": "ab", "words": [
      {"offset": 0, "length": 2, "pos": "NN"}]})"),
            "");
  EXPECT_EQ(task_error("cws", R"({"text": "ab", "words": ["a", "b"]})"), "");
  EXPECT_EQ(task_error("relation", R"({"text": "ab", "relations": [{"type": "r",
      "head": {"text": "a", "offset": 0, "length": 1},
      "tail": {"text": "b", "offset": 1, "length": 1, "extra": null}}]})"),
            "");
  EXPECT_EQ(task_error("attribute", R"({"text": "ab", "subjects": [{"text": "a", "offset": 0,
      "type": "T", "length": 1, "attributes": [
      {"type": "color", "value": {"text": "b", "offset": 1, "length": 1}}]}]})"),
            "");
}

TEST(MvrcloudJsonValidator, WrongKindsAndMissingKeysNameThePath) {
  EXPECT_EQ(task_error("ner", "[]"), "record 4 (ner): expected object, got array");
  EXPECT_EQ(task_error("ner", R"({"entities": []})"), "record 4 (ner): missing key 'text'");
  EXPECT_EQ(task_error("ner", R"({"text": 3, "entities": []})"),
            "record 4 (ner): text: expected string, got integer");
  EXPECT_EQ(task_error("ner", R"({"text": "ab", "entities": {}})"),
            "record 4 (ner): entities: expected array, got object");
  EXPECT_EQ(task_error("ner", R"({"text": "ab", "entities": [
      {"offset": 0, "length": 1, "type": "A"}, {"offset": "0", "length": 1, "type": "A"}]})"),
            "record 4 (ner): entities[1].offset: expected integer, got string");
  EXPECT_EQ(task_error("ner", R"({"text": "ab", "entities": [
      {"offset": 0, "length": 1, "type": "A"}, {"length": 1, "type": "A"}]})"),
            "record 4 (ner): entities[1]: missing key 'offset'");
  EXPECT_EQ(task_error("cws", R"({"text": "ab", "words": ["a", null]})"),
            "record 4 (cws): words[1]: expected string, got null");
  EXPECT_EQ(task_error("relation", R"({"text": "ab", "relations": [{"type": "r",
      "head": {"text": "a", "offset": 0, "length": 1}, "tail": {"text": "b", "offset": 1}}]})"),
            "record 4 (relation): relations[0].tail: missing key 'length'");
  EXPECT_EQ(task_error("attribute", R"({"text": "ab", "subjects": [{"text": "a", "offset": 0,
      "type": "T", "length": 1, "attributes": [{"type": "c", "value": {"text": "b",
      "offset": 1, "length": [1]}}]}]})"),
            "record 4 (attribute): subjects[0].attributes[0].value.length: "
            "expected integer, got array");
}

TEST(MvrcloudJsonValidator, IntegersAreSigned64BitJsonIntegersOnly) {
  const auto pos_with_offset = [](std::string_view offset) {
    return task_error("pos", R"({"text": "a", "words": [{"offset": )" + std::string(offset) +
                                 R"(, "length": 1, "pos": "N"}]})");
  };
  EXPECT_EQ(pos_with_offset("true"),
            "record 4 (pos): words[0].offset: expected integer, got boolean");
  EXPECT_EQ(pos_with_offset("5.0"), "record 4 (pos): words[0].offset: expected integer, got float");
  EXPECT_EQ(pos_with_offset("9223372036854775808"),
            "record 4 (pos): words[0].offset: expected integer within the signed 64-bit range");
  EXPECT_EQ(pos_with_offset("-9223372036854775808"), "");
}

constexpr std::string_view kGoldEvent =
    R"({"words": ["a", "b"], "events": [{"trigger": [0, 1],
        "arguments": [{"offset": [1, 2], "type": "who", "text": "b"}]}]})";
constexpr std::string_view kPredictedEvent =
    R"({"words": ["a", "b"], "events": [{"trigger": {"id": 0, "offset": 0, "length": 1},
        "arguments": [{"offset": 1, "length": 1, "role": "who", "text": "b"}]}]})";

TEST(MvrcloudJsonValidator, EventRecordsMatchTheGoldOrThePredictedFormat) {
  EXPECT_EQ(task_error("event", kGoldEvent), "");
  EXPECT_EQ(task_error("event", kPredictedEvent), "");
  // A gold trigger with predicted arguments is neither.
  EXPECT_EQ(task_error("event", R"({"words": [], "events": [{"trigger": [0, 1],
      "arguments": [{"offset": 1, "length": 1, "role": "who", "text": "b"}]}]})"),
            "record 4 (event): matches neither the gold format (events[0].arguments[0].offset: "
            "expected array, got integer) nor the predicted format (events[0].trigger: "
            "expected object, got array)");
  // A fault both formats share is reported once.
  EXPECT_EQ(task_error("event", R"({"events": []})"), "record 4 (event): missing key 'words'");
}

TEST(MvrcloudJsonValidator, SpansAreExactlyTwoIntegers) {
  const auto gold_with_trigger = [](std::string_view trigger) {
    return task_error("event", R"({"words": [], "events": [{"trigger": )" + std::string(trigger) +
                                   R"(, "arguments": []}]})");
  };
  EXPECT_EQ(gold_with_trigger("[0, 1]"), "");
  EXPECT_THAT(gold_with_trigger("[0]"), HasSubstr("events[0].trigger: expected 2 elements, got 1"));
  EXPECT_THAT(gold_with_trigger("[0, 1, 2]"),
              HasSubstr("events[0].trigger: expected 2 elements, got 3"));
  EXPECT_THAT(gold_with_trigger("[0, 1.5]"),
              HasSubstr("events[0].trigger[1]: expected integer, got float"));
}

TEST(MvrcloudJsonValidator, TheLastOccurrenceOfARepeatedKeyDecides) {
  EXPECT_EQ(task_error("cws", R"({"text": 1, "words": [], "text": "a"})"), "");
  EXPECT_EQ(task_error("cws", R"({"text": "a", "words": [], "text": 1})"),
            "record 4 (cws): text: expected string, got integer");
}

TEST(MvrcloudJsonValidator, OriginPrefixesTheMessage) {
  EXPECT_EQ(task_error("cws", "1", "gold.jsonl:7"),
            "gold.jsonl:7: record 4 (cws): expected object, got integer");
}

TEST(MvrcloudJsonValidator, UnknownTypeIsKeyErrorListingTheKnownOnes) {
  Records records = Records::parse(R"([{"text": "a"}])");
  EXPECT_EQ(message_of<KeyError>([&] { MvrcloudJsonValidator().validate(records[0], "dp", 0); }),
            "'dp': unknown task type; known types: ner, pos, cws, relation, attribute, event");
  EXPECT_EQ(MvrcloudJsonValidator::known_types(),
            (std::vector<std::string>{"ner", "pos", "cws", "relation", "attribute", "event"}));
}

const nlohmann::ordered_json kEntitySchema = nlohmann::ordered_json::parse(R"({
  "type": "object", "required": ["entities"],
  "properties": {"entities": {"type": "array", "items": {
    "type": "object", "properties": {"offset": {"type": "integer"}}}}}})");

TEST(JsonValidator, ConformingRecordPassesAndBadOneNamesPointerAndRule) {
  Records records = Records::parse(R"([{"entities": [{"offset": 1}]},
                                       {"entities": [{"offset": "1"}]},
                                       {"text": "a"}])");
  JsonValidator validator;
  validator.validate(records[0], kEntitySchema, 0);
  EXPECT_EQ(message_of<ValueError>([&] { validator.validate(records[1], kEntitySchema, 1); }),
            "record 2: /entities/0/offset: Value type not permitted by 'type' constraint.");
  EXPECT_EQ(message_of<ValueError>(
                [&] { validator.validate(records[2], kEntitySchema, 2, "p.jsonl:3"); }),
            "p.jsonl:3: record 3: /: Missing required property 'entities'.");
}

TEST(JsonValidator, InvalidSchemaIsValueError) {
  Records records = Records::parse(R"([{}])");
  const auto schema_error = [&](std::string_view schema) {
    return message_of<ValueError>(
        [&] { JsonValidator().validate(records[0], nlohmann::ordered_json::parse(schema), 0); });
  };
  const auto invalid = StartsWith("invalid JSON Schema (draft 7): ");
  EXPECT_THAT(schema_error(R"({"type": 5})"), invalid);
  EXPECT_THAT(schema_error(R"({"required": "text"})"), invalid);
  EXPECT_THAT(schema_error(R"({"properties": {"a": {"pattern": "(("}}})"), invalid);
  EXPECT_THAT(schema_error(R"({"$ref": "http://example.com/s.json"})"), invalid);
}

TEST(JsonValidator, SchemasThatWouldRecurseForeverAreRefused) {
  Records records = Records::parse(R"([{"a": {"a": {}}}])");
  const auto schema_error = [&](std::string_view schema) {
    return message_of<ValueError>(
        [&] { JsonValidator().validate(records[0], nlohmann::ordered_json::parse(schema), 0); });
  };
  const auto loop = StartsWith("invalid JSON Schema (draft 7): \"$ref\" leads back to the same");
  EXPECT_THAT(schema_error(R"({"$ref": "#"})"), loop);
  EXPECT_THAT(schema_error(R"({"definitions": {"a": {"$ref": "#/definitions/b"},
      "b": {"$ref": "#/definitions/a"}}, "properties": {"x": {"$ref": "#/definitions/a"}}})"),
              loop);
  EXPECT_THAT(schema_error(R"({"anyOf": [{"type": "string"}, {"not": {"$ref": "#"}}]})"), loop);
  // Recursion that steps into the value ends with it.
  EXPECT_NO_THROW(JsonValidator().validate(
      records[0],
      nlohmann::ordered_json::parse(R"({"type": "object", "properties": {"a": {"$ref": "#"}}})"),
      0));
}

TEST(JsonValidator, ValuesValijsonCannotTakeSafelyAreRefused) {
  Records records =
      Records::parse(R"([{"n": 18446744073709551615}, {"d": ")" + std::string(5000, '7') +
                     R"("}, {"s": ")" + std::string(5000, 'a') + R"("}])");
  JsonValidator validator;
  // The adapter would wrap the number around to -1, which is below 5.
  EXPECT_EQ(message_of<ValueError>([&] {
              validator.validate(records[0], {{"properties", {{"n", {{"maximum", 5}}}}}}, 0);
            }),
            "record 1: /n: expected integer within the signed 64-bit range");
  EXPECT_EQ(message_of<ValueError>([&] {
              validator.validate(records[1], {{"properties", {{"d", {{"format", "date"}}}}}}, 1);
            }),
            "record 2: /d: 5000 digits in a row, more than the 1000 the schema's regular "
            "expressions can take");
  // A plain pattern runs on an engine without that limit; back-references need the other.
  EXPECT_NO_THROW(
      validator.validate(records[2], {{"properties", {{"s", {{"pattern", "^a*$"}}}}}}, 2));
  EXPECT_THAT(
      message_of<ValueError>([&] {
        validator.validate(records[2], {{"properties", {{"s", {{"pattern", "^(a)\\1*$"}}}}}}, 2);
      }),
      StartsWith("record 3: /s: a string of 5000 bytes"));
}

TEST(JsonValidator, AlternatingSchemasEachGiveTheirOwnAnswer) {
  Records records = Records::parse(R"([{"n": 1}])");
  const auto wants = [](std::string_view kind) {
    return nlohmann::ordered_json{{"properties", {{"n", {{"type", kind}}}}}};
  };
  JsonValidator validator;
  for (int round = 0; round < 2; ++round) {
    EXPECT_NO_THROW(validator.validate(records[0], wants("integer"), 0));
    EXPECT_THROW(validator.validate(records[0], wants("string"), 0), ValueError);
  }
  // A schema that fails to compile must not be paired with the one compiled before it.
  const nlohmann::ordered_json broken = {{"type", 5}};
  validator.validate(records[0], wants("integer"), 0);
  for (int round = 0; round < 2; ++round) {
    EXPECT_THROW(validator.validate(records[0], broken, 0), ValueError);
  }
  EXPECT_NO_THROW(validator.validate(records[0], wants("integer"), 0));
}

}  // namespace
}  // namespace nlpeval
