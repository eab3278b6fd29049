// What the walk over two files takes on trust from the mappers: those that claim
// kChecksRecordFormat fail on every record their task's format refuses (relation and attribute
// when asked to check the format, and then on no other record), and mapping from
// records tagged ahead by the reading threads gives what mapping the records gives.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "nlpeval/core/errors.h"
#include "nlpeval/core/internal/tags_ahead.h"
#include "nlpeval/data/json_validator.h"
#include "nlpeval/evaluator/convertor/attribute_mapper.h"
#include "nlpeval/evaluator/convertor/cws_mapper.h"
#include "nlpeval/evaluator/convertor/entity_mapper.h"
#include "nlpeval/evaluator/convertor/pos_mapper.h"
#include "nlpeval/evaluator/convertor/relation_mapper.h"
#include "nlpeval/evaluator/internal/instance_loop.h"
#include "nlpeval/tasks/task.h"

namespace nlpeval {
namespace {

using Json = nlohmann::ordered_json;

// The values of a JSON value inside it, each as the steps to it: keys or array positions.
using Path = std::vector<Json>;

void collect_paths(const Json& value, Path& at, std::vector<Path>& paths) {
  if (!value.is_structured()) return;
  if (value.is_object()) {
    for (const auto& [key, member] : value.items()) {
      at.push_back(key);
      paths.push_back(at);
      collect_paths(member, at, paths);
      at.pop_back();
    }
    return;
  }
  for (size_t i = 0; i < value.size(); ++i) {
    at.push_back(i);
    paths.push_back(at);
    collect_paths(value[i], at, paths);
    at.pop_back();
  }
}

Json& parent_of(Json& root, const Path& path) {
  Json* value = &root;
  for (size_t i = 0; i + 1 < path.size(); ++i) {
    value = path[i].is_string() ? &(*value)[path[i].get<std::string>()]
                                : &(*value)[path[i].get<size_t>()];
  }
  return *value;
}

// Every record one change away from `record`: the record or any value in it replaced by a
// value of each kind, each key removed, each array element removed.
std::vector<Json> one_change_away(const Json& record) {
  const std::vector<Json> replacements = {"x",
                                          1,
                                          -1,
                                          1.5,
                                          true,
                                          nullptr,
                                          Json::array(),
                                          Json::object(),
                                          Json::array({1}),
                                          "7",
                                          Json::parse("9223372036854775807"),
                                          Json::parse("-9223372036854775808"),
                                          Json::parse("9223372036854775808"),
                                          Json::parse("18446744073709551615")};
  std::vector<Path> paths;
  Path at;
  collect_paths(record, at, paths);
  std::vector<Json> changed(replacements);
  for (const Path& path : paths) {
    for (const Json& replacement : replacements) {
      Json copy = record;
      Json& parent = parent_of(copy, path);
      if (path.back().is_string()) {
        parent[path.back().get<std::string>()] = replacement;
      } else {
        parent[path.back().get<size_t>()] = replacement;
      }
      changed.push_back(copy);
    }
    Json removed = record;
    Json& parent = parent_of(removed, path);
    if (path.back().is_string()) {
      parent.erase(path.back().get<std::string>());
    } else {
      parent.erase(path.back().get<size_t>());
    }
    changed.push_back(removed);
  }
  return changed;
}

// `record` with each key of each object written twice, first with another value: the last
// occurrence counts.
std::vector<std::string> with_a_key_repeated(const Json& record) {
  std::vector<Path> paths;
  Path at;
  collect_paths(record, at, paths);
  std::vector<std::string> texts;
  for (const Path& path : paths) {
    if (!path.back().is_string()) continue;
    Json marked = record;
    Json& member = parent_of(marked, path)[path.back().get<std::string>()];
    const std::string value = member.dump();
    member = "\x01marker\x01";
    std::string text = marked.dump();
    const std::string marker = "\"\\u0001marker\\u0001\"";
    text.replace(text.find(marker), marker.size(),
                 "5, \"" + path.back().get<std::string>() + "\": " + value);
    texts.push_back(text);
  }
  return texts;
}

// A list of the one record.
Records single(const std::string& record) {
  return Records::parse(std::string("[").append(record).append("]"));
}

bool format_refuses(const Record& record, const std::string& type) {
  try {
    MvrcloudJsonValidator().validate(record, type, 0);
    return false;
  } catch (const ValueError&) {
    return true;
  }
}

template <typename Mapper>
bool maps(const Record& label, const Record& prediction) {
  try {
    Mapper().convert(label, prediction, 0);
    return true;
  } catch (const Error&) {
    return false;
  }
}

template <typename Mapper>
void expect_refused_records_fail(const std::string& type, const std::string& valid_text) {
  static_assert(Mapper::kChecksRecordFormat);
  const Json valid = Json::parse(valid_text);
  const Records reference = single(valid_text);
  ASSERT_FALSE(format_refuses(reference[0], type));
  ASSERT_TRUE(maps<Mapper>(reference[0], reference[0]));
  size_t refused = 0;
  for (const Json& changed : one_change_away(valid)) {
    const Records records = single(changed.dump());
    if (!format_refuses(records[0], type)) continue;
    ++refused;
    EXPECT_FALSE(maps<Mapper>(records[0], reference[0])) << "as gold: " << changed.dump();
    EXPECT_FALSE(maps<Mapper>(reference[0], records[0])) << "as prediction: " << changed.dump();
  }
  EXPECT_GT(refused, 20u);
}

TEST(MappersThatCheckTheFormat, FailOnEveryRecordTheFormatRefuses) {
  expect_refused_records_fail<EntityMapper>(
      "ner", R"({"text": "abcdef", "entities": [{"offset": 0, "length": 2, "type": "A"},
                                                 {"offset": 3, "length": 1, "type": "B"}]})");
  expect_refused_records_fail<PosMapper>(
      "pos", R"({"text": "abcdef", "words": [{"offset": 0, "length": 2, "pos": "N"},
                                              {"offset": 2, "length": 4, "pos": "V"}]})");
  expect_refused_records_fail<CwsMapper>("cws",
                                         R"({"text": "abcdef", "words": ["ab", "cd", "ef"]})");
}

template <typename Mapper>
bool maps_checking_format(const Record& label, const Record& prediction) {
  TagVocabulary vocabulary;
  TagIdSequence gold;
  TagIdSequence pred;
  try {
    Mapper().convert_labels(label, prediction, 0, vocabulary, gold, pred,
                            FormatChecks::whole_format);
    return true;
  } catch (const Error&) {
    return false;
  }
}

// The relation and attribute mappers take more than the format (string offsets) unless asked
// to check it: asked, they refuse exactly what it refuses, as gold or as prediction. A record
// they took that the format refuses would go unreported; one they refused that it takes
// would get their error in place of a result.
template <typename Mapper>
void expect_exactly_the_refused_records_fail(const std::string& type,
                                             const std::string& valid_text) {
  static_assert(Mapper::kChecksRecordFormat);
  const Json valid = Json::parse(valid_text);
  const Records reference = single(valid_text);
  std::vector<std::string> variants;
  for (const Json& changed : one_change_away(valid)) variants.push_back(changed.dump());
  for (std::string& repeated : with_a_key_repeated(valid)) variants.push_back(repeated);
  size_t refused = 0;
  for (const std::string& text : variants) {
    const Records records = single(text);
    const bool refuses = format_refuses(records[0], type);
    refused += refuses;
    EXPECT_EQ(maps_checking_format<Mapper>(records[0], reference[0]), !refuses)
        << "as gold: " << text;
    EXPECT_EQ(maps_checking_format<Mapper>(reference[0], records[0]), !refuses)
        << "as prediction: " << text;
  }
  EXPECT_GT(refused, 100u);
}

TEST(MappersThatCheckTheFormatWhenAsked, FailOnExactlyTheRecordsTheFormatRefuses) {
  // Two elements on one pair: the later replaces the earlier, which is checked all the same.
  expect_exactly_the_refused_records_fail<RelationMapper>(
      "relation", R"({"text": "abcdefgh", "relations": [
        {"head": {"text": "a", "offset": 0, "length": 1},
         "tail": {"text": "cd", "offset": 2, "length": 2}, "type": "likes"},
        {"head": {"text": "a", "offset": 0, "length": 1},
         "tail": {"text": "cd", "offset": 2, "length": 2}, "type": "knows"}]})");
  expect_exactly_the_refused_records_fail<AttributeMapper>(
      "attribute", R"({"text": "abcdefgh", "subjects": [
        {"text": "ab", "offset": 0, "length": 2, "type": "product", "attributes": [
          {"type": "price", "value": {"text": "ef", "offset": 4, "length": 2}},
          {"type": "price", "value": {"text": "ef", "offset": 4, "length": 2}}]}]})");
}

TEST(MappersThatCheckTheFormatWhenAsked, MapStringOffsetsWhenNotAsked) {
  // A caller's schema may allow them; then the walk validates every record and the mapper maps.
  const Records records = Records::parse(R"([{"text": "ab", "relations": [
      {"head": {"text": "a", "offset": "0"}, "tail": {"text": "b", "offset": "1"},
       "type": "r"}]}, {"text": "ab", "relations": []}])");
  TagVocabulary vocabulary;
  TagIdSequence gold;
  TagIdSequence pred;
  RelationMapper().convert_labels(records[0], records[1], 0, vocabulary, gold, pred);
  EXPECT_EQ(vocabulary.strings(gold), std::vector<std::string>{"r(e1,e2)"});
  EXPECT_FALSE(maps_checking_format<RelationMapper>(records[0], records[1]));
}

// The tags of an instance as strings.
std::string outcome(const TagVocabulary& vocabulary, const InstanceTags& tags) {
  std::string text;
  for (size_t k = 0; k < tags.size(); ++k) {
    for (const TagId id : tags.gold(k)) text.append(vocabulary.tag(id)).append(" ");
    text += "| ";
    for (const TagId id : tags.pred(k)) text.append(vocabulary.tag(id)).append(" ");
  }
  return text;
}

// Both files' reading threads as the walk has them: one tagger and one translation a side,
// kept from instance to instance so that the tags they learn build up.
// The files are tagged by the task's element keys, as the evaluation tags them.
template <typename Mapper>
class AheadRoad {
 public:
  explicit AheadRoad(TaskId task)
      : gold_tagger_(*task_of(task).element_keys), pred_tagger_(*task_of(task).element_keys) {}

  // The tags of the first instance of `gold` and `pred`, or the error mapping it threw.
  std::string map(const Records& gold, const Records& pred) {
    gold_tagger_.tag(gold, gold_batch_);
    pred_tagger_.tag(pred, pred_batch_);
    InstanceTags tags;
    try {
      map_tagged_ahead(Mapper(), gold[0], pred[0], 7, AheadTags{&gold_batch_, 0},
                       AheadTags{&pred_batch_, 0}, gold_translation_, pred_translation_, tagger_,
                       tags);
    } catch (const Error& error) {
      return error.what();
    }
    return outcome(tagger_.vocabulary(), tags);
  }

 private:
  AheadTagger gold_tagger_;
  AheadTagger pred_tagger_;
  TaggedBatch gold_batch_;
  TaggedBatch pred_batch_;
  TagTranslation gold_translation_;
  TagTranslation pred_translation_;
  BioTagger tagger_;
};

template <typename Mapper>
std::string map_usual_way(const Record& label, const Record& prediction) {
  BioTagger tagger;
  InstanceTags tags;
  try {
    Mapper().convert_tags(label, prediction, 7, tagger, tags);
  } catch (const Error& error) {
    return error.what();
  }
  return outcome(tagger.vocabulary(), tags);
}

template <typename Mapper>
void expect_both_roads_agree(TaskId task, const std::string& valid_text) {
  const Records valid = single(valid_text);
  AheadRoad<Mapper> road(task);
  // The record as written, repeated keys and all (the changed ones keep one of each).
  EXPECT_EQ(road.map(valid, valid), map_usual_way<Mapper>(valid[0], valid[0]));
  size_t compared = 0;
  for (const Json& changed : one_change_away(Json::parse(valid_text))) {
    const Records records = single(changed.dump());
    for (const auto& [gold, pred] : {std::pair{&records, &valid}, std::pair{&valid, &records},
                                     std::pair{&records, &records}}) {
      EXPECT_EQ(road.map(*gold, *pred), map_usual_way<Mapper>((*gold)[0], (*pred)[0]))
          << "gold " << (*gold)[0].to_json() << ", prediction " << (*pred)[0].to_json();
      ++compared;
    }
  }
  EXPECT_GT(compared, 100u);
}

TEST(MappingFromTagsAhead, GivesTheTagsOrTheErrorOfMappingTheRecords) {
  // Repeated keys (the last counts), elements out of order and overlapping, and types met
  // first in later instances.
  expect_both_roads_agree<EntityMapper>(
      TaskId::ner, R"({"text": "abcdéfgh", "text": "abcdefgh", "entities": [{"offset": 4, "length": 9,
          "type": "B"}, {"type": "X", "offset": 0, "length": 2, "type": "A", "extra": [1]},
          {"offset": -1, "length": 2, "type": "C"}, {"offset": 5, "length": 1, "type": "D"}]})");
  expect_both_roads_agree<PosMapper>(
      TaskId::pos, R"({"words": [{"offset": 0, "length": 2, "pos": "N"}, {"offset": 2, "length": 4,
          "pos": "V"}, {"offset": 6, "length": 1, "pos": "P"}], "text": "abcdefg"})");
}

}  // namespace
}  // namespace nlpeval
