#include "nlpeval/evaluator/convertor/entity_mapper.h"

#include <gtest/gtest.h>

#include <string>

#include "nlpeval/core/errors.h"
#include "test_support.h"

namespace nlpeval {
namespace {

using testing::message_of;

// The tags of one record (as JSON) mapped against itself.
TagSequence tags_of(const std::string& record) {
  Records records = Records::parse("[" + record + "]");
  auto [gold, pred] = EntityMapper().convert(records[0], records[0]);
  EXPECT_EQ(gold, pred);
  return gold.at(0);
}

// The tags of one entity over `text`.
TagSequence tags_of(const std::string& text, const std::string& offset, const std::string& length) {
  return tags_of(R"({"text": ")" + text + R"(", "entities": [{"offset": )" + offset +
                 R"(, "length": )" + length + R"(, "type": "X"}]})");
}

TEST(EntityMapper, LaterEntitiesOverwriteEarlierOnesPositionByPosition) {
  const std::string a = R"({"offset": 0, "length": 5, "type": "X"})";
  const std::string b = R"({"offset": 2, "length": 2, "type": "Y"})";
  EXPECT_EQ(tags_of(R"({"text": "abcde", "entities": [)" + a + ", " + b + "]}"),
            TagSequence({"B-X", "I-X", "B-Y", "I-Y", "I-X"}));
  EXPECT_EQ(tags_of(R"({"text": "abcde", "entities": [)" + b + ", " + a + "]}"),
            TagSequence({"B-X", "I-X", "I-X", "I-X", "I-X"}));
}

TEST(EntityMapper, KeepsWhatLiesInTheTextAndDropsTheRest) {
  EXPECT_EQ(tags_of(R"({"text": "abc", "entities": []})"), TagSequence({"O", "O", "O"}));
  EXPECT_EQ(tags_of("", "0", "3"), TagSequence());
  EXPECT_EQ(tags_of("abcdefgh", "5", "10"),
            TagSequence({"O", "O", "O", "O", "O", "B-X", "I-X", "I-X"}));
  EXPECT_EQ(tags_of("abcd", "-2", "4"), TagSequence({"I-X", "I-X", "O", "O"}));
  EXPECT_EQ(tags_of("abc", "1", "0"), TagSequence({"O", "B-X", "O"}));
  EXPECT_EQ(tags_of("abc", "1", "-5"), TagSequence({"O", "B-X", "O"}));
  EXPECT_EQ(tags_of("abc", "3", "2"), TagSequence({"O", "O", "O"}));
  EXPECT_EQ(tags_of("😀北京", "1", "2"), TagSequence({"O", "B-X", "I-X"}));
}

TEST(EntityMapper, ExtremeOffsetsAndLengthsNeitherOverflowNorCostTime) {
  const std::string min = "-9223372036854775808", max = "9223372036854775807";
  EXPECT_EQ(tags_of("abcd", "3", "1000000000000"), TagSequence({"O", "O", "O", "B-X"}));
  EXPECT_EQ(tags_of("abcd", "-1000000000000000", "1000000000000002"),
            TagSequence({"I-X", "I-X", "O", "O"}));
  EXPECT_EQ(tags_of("ab", "0", max), TagSequence({"B-X", "I-X"}));
  EXPECT_EQ(tags_of("ab", "-1", max), TagSequence({"I-X", "I-X"}));
  EXPECT_EQ(tags_of("ab", min, max), TagSequence({"O", "O"}));
  EXPECT_EQ(tags_of("ab", max, max), TagSequence({"O", "O"}));
  EXPECT_EQ(tags_of("ab", "0", min), TagSequence({"B-X", "O"}));
  EXPECT_EQ(tags_of("ab", min, min), TagSequence({"O", "O"}));
}

TEST(EntityMapper, ChecksArgumentsTextsAndKeysInTheirOrder) {
  Records records = Records::parse(R"([[], {"text": "abc", "entities": []},
      {"text": "abd", "entities": []}, {"text": "abc", "entities": [{"length": 1}]},
      {"text": "abc", "entities": [{"offset": 0, "length": 1}]}, {"text": "abc"}])");
  const EntityMapper mapper;
  auto convert = [&](size_t gold, size_t pred, std::optional<int64_t> index = {}) {
    return [&, gold, pred, index] { mapper.convert(records[gold], records[pred], index); };
  };
  EXPECT_EQ(message_of<TypeError>(convert(0, 1)), "label: expected object, got array");
  EXPECT_EQ(message_of<TypeError>(convert(1, 0)), "prediction: expected object, got array");
  EXPECT_EQ(message_of<ValueError>(convert(1, 2, 7)), "text is different on line: 7");
  EXPECT_EQ(message_of<ValueError>(convert(1, 2)), "text is different on line: None");
  EXPECT_EQ(message_of<KeyError>(convert(1, 3)), "'offset'");
  EXPECT_EQ(message_of<KeyError>(convert(1, 4)), "'type'");
  EXPECT_EQ(message_of<KeyError>(convert(1, 5)), "'entities'");
  EXPECT_EQ(message_of<KeyError>(convert(3, 4)), "'type'") << "the prediction goes first";
}

// The driver reuses one tagger and one set of buffers for every instance: what an instance
// leaves behind must not show in the next one.
TEST(EntityMapper, TagsAsIdsEqualTheStringsWhateverCameBefore) {
  Records records = Records::parse(R"([
      {"text": "北京天安门广场", "entities": [{"offset": 0, "length": 7, "type": "LOC"},
                                             {"offset": 2, "length": 3, "type": "ORG"}]},
      {"text": "ab", "entities": [{"offset": 1, "length": 1, "type": "PER"}]},
      {"text": "abc", "entities": []},
      {"text": "", "entities": [{"offset": 0, "length": 2, "type": "LOC"}]}])");
  BioTagger tagger;
  InstanceTags tags;
  for (size_t k = 0; k < records.size(); ++k) {
    tags.clear();
    EntityMapper().convert_tags(records[k], records[k], static_cast<int64_t>(k), tagger, tags);
    ASSERT_EQ(tags.size(), 1u);
    const auto [gold, pred] = EntityMapper().convert(records[k], records[k]);
    EXPECT_EQ(tagger.vocabulary().strings(tags.gold(0)), gold.at(0)) << "record " << k;
    EXPECT_EQ(tagger.vocabulary().strings(tags.pred(0)), pred.at(0)) << "record " << k;
  }
}

}  // namespace
}  // namespace nlpeval
