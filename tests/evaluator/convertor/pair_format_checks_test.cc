// The relation and attribute mappers, asked to check the whole record format, refuse exactly
// the records the task's validator refuses: the walk over files skips validating the records
// they map, and validates only from a record they fail on. A record they took that the
// validator refuses would go unreported; one they refused that it takes would get their error
// in place of a result.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "nlpeval/core/errors.h"
#include "nlpeval/core/record.h"
#include "nlpeval/core/tag_vocabulary.h"
#include "nlpeval/data/json_validator.h"
#include "nlpeval/evaluator/convertor/attribute_mapper.h"
#include "nlpeval/evaluator/convertor/relation_mapper.h"

namespace nlpeval {
namespace {

using Json = nlohmann::ordered_json;

const char* const kRelationRecord = R"({"text": "abcdefgh", "relations": [
  {"head": {"text": "a", "offset": 0, "length": 1}, "tail": {"text": "cd", "offset": 2,
   "length": 2}, "type": "likes"},
  {"head": {"text": "a", "offset": 0, "length": 1}, "tail": {"text": "cd", "offset": 2,
   "length": 2}, "type": "knows"}]})";

const char* const kAttributeRecord = R"({"text": "abcdefgh", "subjects": [
  {"text": "ab", "offset": 0, "length": 2, "type": "product", "attributes": [
    {"type": "price", "value": {"text": "ef", "offset": 4, "length": 2}},
    {"type": "price", "value": {"text": "ef", "offset": 4, "length": 2}}]}]})";

// Every value of `record` by its path, the record itself first.
void collect_paths(const Json& value, const Json::json_pointer& at,
                   std::vector<Json::json_pointer>& paths) {
  paths.push_back(at);
  if (value.is_object()) {
    for (const auto& [key, member] : value.items()) collect_paths(member, at / key, paths);
  } else if (value.is_array()) {
    for (size_t i = 0; i < value.size(); ++i) collect_paths(value[i], at / i, paths);
  }
}

// Values of other kinds, and the integers the format refuses or barely takes.
std::vector<std::string> replacements() {
  return {"5", "-3", "5.0", "1e3", "true", "null", "\"x\"", "\"7\"", "[]", "{}", "[1]",
          "9223372036854775807", "9223372036854775808", "-9223372036854775808"};
}

// The record with the value at `path` removed (a member) or replaced by `json` text.
std::vector<std::string> variants_of(const Json& record, const Json::json_pointer& path) {
  std::vector<std::string> texts;
  if (!path.empty() && record.at(path.parent_pointer()).is_object()) {
    Json removed = record;
    removed.at(path.parent_pointer()).erase(path.back());
    texts.push_back(removed.dump());
  }
  const std::string original = record.at(path).dump();
  // Replaced in the text, so that numbers the JSON library would rewrite stay as written.
  const auto with_text_at_path = [&](const std::string& json) {
    Json marked = record;
    marked.at(path) = "\x01marker\x01";
    std::string text = marked.dump();
    text.replace(text.find("\"\\u0001marker\\u0001\""), 20, json);
    return text;
  };
  for (const std::string& json : replacements()) texts.push_back(with_text_at_path(json));
  // A repeated key: the last occurrence counts, for the validator and the mapper alike.
  if (!path.empty() && record.at(path.parent_pointer()).is_object()) {
    texts.push_back(with_text_at_path("5, \"" + path.back() + "\": " + original));
  }
  return texts;
}

template <typename Mapper>
bool mapper_refuses(const Mapper& mapper, const Record& gold, const Record& pred) {
  TagVocabulary vocabulary;
  TagIdSequence gold_ids;
  TagIdSequence pred_ids;
  try {
    mapper.convert_labels(gold, pred, 0, vocabulary, gold_ids, pred_ids,
                          FormatChecks::whole_format);
    return false;
  } catch (const Error&) {
    return true;
  }
}

bool validator_refuses(const Record& record, const char* type) {
  try {
    MvrcloudJsonValidator().validate(record, type, 0);
    return false;
  } catch (const ValueError&) {
    return true;
  }
}

template <typename Mapper>
void expect_same_refusals(const Mapper& mapper, const char* type, const char* valid_text) {
  const Json valid = Json::parse(valid_text);
  std::vector<Json::json_pointer> paths;
  collect_paths(valid, Json::json_pointer(), paths);
  int refused = 0;
  for (const Json::json_pointer& path : paths) {
    for (const std::string& text : variants_of(valid, path)) {
      SCOPED_TRACE(text);
      const Records records = Records::parse("[" + text + ", " + valid.dump() + "]");
      const bool refuses = validator_refuses(records[0], type);
      refused += refuses;
      // On either side.
      EXPECT_EQ(mapper_refuses(mapper, records[0], records[1]), refuses);
      EXPECT_EQ(mapper_refuses(mapper, records[1], records[0]), refuses);
    }
  }
  EXPECT_GT(refused, 100);  // the variants do reach the format's every rule
}

TEST(PairFormatChecks, TheRelationMapperRefusesWhatTheValidatorRefuses) {
  expect_same_refusals(RelationMapper(), "relation", kRelationRecord);
}

TEST(PairFormatChecks, TheAttributeMapperRefusesWhatTheValidatorRefuses) {
  expect_same_refusals(AttributeMapper(), "attribute", kAttributeRecord);
}

TEST(PairFormatChecks, MappingAloneStillTakesStringOffsets) {
  // A caller's schema may allow them; then the walk validates and the mapper maps.
  const Records records = Records::parse(std::string("[") + R"({"text": "ab", "relations": [
      {"head": {"text": "a", "offset": "0"}, "tail": {"text": "b", "offset": "1"},
       "type": "r"}]}, {"text": "ab", "relations": []}])");
  TagVocabulary vocabulary;
  TagIdSequence gold;
  TagIdSequence pred;
  RelationMapper().convert_labels(records[0], records[1], 0, vocabulary, gold, pred);
  EXPECT_EQ(vocabulary.strings(gold), std::vector<std::string>{"r(e1,e2)"});
  EXPECT_TRUE(mapper_refuses(RelationMapper(), records[0], records[1]));
}

}  // namespace
}  // namespace nlpeval
