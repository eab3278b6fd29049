#include "nlpeval/evaluator/convertor/pos_mapper.h"

#include <gtest/gtest.h>

#include <string>

#include "nlpeval/core/errors.h"
#include "test_support.h"

namespace nlpeval {
namespace {

using testing::message_of;

// The gold and predicted tags of two records given as JSON.
std::pair<TagSequence, TagSequence> tags_of(const std::string& gold, const std::string& pred) {
  Records records = Records::parse("[" + gold + ", " + pred + "]");
  auto [gold_part, pred_part] = PosMapper().convert(records[0], records[1], 0);
  EXPECT_EQ(gold_part.size(), 1u);
  EXPECT_EQ(pred_part.size(), 1u);
  return {gold_part.at(0), pred_part.at(0)};
}

TagSequence tags_of(const std::string& record) { return tags_of(record, record).first; }

TEST(PosMapper, TagsWordsByTheirPartOfSpeechAndLeavesUncoveredCharactersO) {
  EXPECT_EQ(tags_of(R"({"text": "abc", "words": [{"offset": 0, "length": 1, "pos": "n"},
                                                 {"offset": 1, "length": 2, "pos": "v"}]})"),
            TagSequence({"B-n", "B-v", "I-v"}));
  EXPECT_EQ(tags_of(R"({"text": "北京欢迎你", "words": []})"), TagSequence(5, "O"));
  EXPECT_EQ(tags_of(R"({"text": "😀北京欢迎", "words": [{"offset": 1, "length": 2, "pos": "ns"},
                                                      {"offset": 4, "length": 9, "pos": "v"}]})"),
            TagSequence({"O", "B-ns", "I-ns", "O", "B-v"}))
      << "code points, a gap, and a word cut at the end of the text";
  // the later word wins where words overlap, as entities do
  EXPECT_EQ(tags_of(R"({"text": "abcde", "words": [{"offset": 0, "length": 5, "pos": "X"},
                                                   {"offset": 2, "length": 2, "pos": "Y"}]})"),
            TagSequence({"B-X", "I-X", "B-Y", "I-Y", "I-X"}));
}

TEST(PosMapper, ReadsOnlyWordsAndPosAndChecksTextsBeforeAnyWord) {
  const std::string words = R"({"text": "ab", "words": [{"offset": 0, "length": 2, "pos": "n"}]})";
  const std::string entities =
      R"({"text": "ab", "entities": [{"offset": 0, "length": 2, "type": "n"}]})";
  EXPECT_EQ(message_of<KeyError>([&] { tags_of(entities, words); }), "'words'");
  EXPECT_EQ(message_of<KeyError>([&] {
              tags_of(words,
                      R"({"text": "ab", "words": [{"offset": 0, "length": 2, "type": "n"}]})");
            }),
            "'pos'");
  EXPECT_EQ(message_of<KeyError>([&] {
              tags_of(R"({"text": "ab", "words": [{"pos": "n"}]})",
                      R"({"text": "ab", "words": [{"offset": 0, "length": 1}]})");
            }),
            "'pos'")
      << "the prediction is converted first";
  EXPECT_EQ(message_of<ValueError>([&] { tags_of(words, R"({"text": "ax"})"); }),
            "text is different on line: 0");
  Records records = Records::parse(R"([{"text": "a", "words": []}, {"text": "b", "words": []}])");
  EXPECT_EQ(message_of<ValueError>([&] { PosMapper().convert(records[0], records[1]); }),
            "text is different on line: None");
  EXPECT_EQ(message_of<TypeError>([&] {
              tags_of(R"({"text": "ab", "words": [{"offset": 0, "length": 1, "pos": 3}]})");
            }),
            "pos: expected string, got integer");
}

}  // namespace
}  // namespace nlpeval
