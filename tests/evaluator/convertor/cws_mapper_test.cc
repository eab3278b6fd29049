#include "nlpeval/evaluator/convertor/cws_mapper.h"

#include <gtest/gtest.h>

#include <string>

#include "nlpeval/core/errors.h"
#include "test_support.h"

namespace nlpeval {
namespace {

using testing::message_of;

std::pair<WordSpans, WordSpans> spans_of(const std::string& gold, const std::string& pred,
                                         std::optional<int64_t> index = 0) {
  Records records = Records::parse("[" + gold + ", " + pred + "]");
  auto [gold_part, pred_part] = CwsMapper().convert(records[0], records[1], index);
  EXPECT_EQ(gold_part.size(), 1u);
  EXPECT_EQ(pred_part.size(), 1u);
  return {gold_part.at(0), pred_part.at(0)};
}

TEST(CwsMapper, EachSideTilesFromZeroByCodePoints) {
  auto [gold, pred] = spans_of(R"({"text": "abc", "words": ["ab", "c"]})",
                               R"({"text": "abc", "words": ["a", "bc"]})");
  EXPECT_EQ(gold, WordSpans({{0, 2}, {2, 3}}));
  EXPECT_EQ(pred, WordSpans({{0, 1}, {1, 3}}));
  EXPECT_EQ(spans_of(R"({"text": "北京欢迎你", "words": ["北京", "欢迎", "你"]})",
                     R"({"text": "北京欢迎你", "words": []})"),
            std::make_pair(WordSpans({{0, 2}, {2, 4}, {4, 5}}), WordSpans()));
  // the words alone decide: an empty word, and words that do not spell the text
  EXPECT_EQ(
      spans_of(R"({"text": "ab", "words": ["a", "", "😀xyz"]})", R"({"text": "ab", "words": []})")
          .first,
      WordSpans({{0, 1}, {1, 1}, {1, 5}}));
}

TEST(CwsMapper, ReusedBuffersHoldOnlyTheLastInstance) {
  Records records = Records::parse(
      R"([{"text": "abc", "words": ["a", "b", "c"]}, {"text": "x", "words": ["x"]}])");
  WordSpans gold = {{7, 9}};
  WordSpans pred;
  CwsMapper().convert_spans(records[0], records[0], 0, gold, pred);
  CwsMapper().convert_spans(records[1], records[1], 1, gold, pred);
  EXPECT_EQ(gold, WordSpans({{0, 1}}));
  EXPECT_EQ(pred, WordSpans({{0, 1}}));
}

TEST(CwsMapper, ChecksTextsThenWordsInOrder) {
  const std::string ok = R"({"text": "ab", "words": ["ab"]})";
  EXPECT_EQ(message_of<ValueError>([&] { spans_of(ok, R"({"text": "ax"})", 7); }),
            "text is different on line: 7");
  EXPECT_EQ(message_of<ValueError>([&] { spans_of(ok, R"({"text": "ax"})", std::nullopt); }),
            "text is different on line: None");
  EXPECT_EQ(message_of<KeyError>([&] { spans_of(R"({"words": []})", ok); }), "'text'");
  const std::string bad_word = R"({"text": "ab", "words": ["a", 2]})";
  EXPECT_EQ(message_of<KeyError>([&] { spans_of(bad_word, R"({"text": "ab"})"); }), "'words'")
      << "both word lists are read before any span";
  EXPECT_EQ(message_of<TypeError>([&] { spans_of(bad_word, ok); }),
            "words[1]: expected string, got integer");
  EXPECT_EQ(message_of<TypeError>([&] { spans_of(R"({"text": "ab", "words": "ab"})", ok); }),
            "words: expected array, got string");
  EXPECT_EQ(message_of<TypeError>([&] { spans_of("[]", ok); }),
            "label: expected object, got array");
}

}  // namespace
}  // namespace nlpeval
