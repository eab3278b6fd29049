#include "nlpeval/evaluator/badcase/cws_miner.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "nlpeval/core/errors.h"
#include "test_support.h"

namespace nlpeval {
namespace {

using badcase::Const;
using ErrorKind = badcase::Error;
using testing::message_of;

std::string record(const std::string& text, const std::vector<std::string>& words) {
  std::string json = R"({"text": ")" + text + R"(", "words": [)";
  for (const std::string& word : words) {
    json += std::string(json.back() == '[' ? "\"" : ", \"") + word + "\"";
  }
  return json + "]}";
}

Label2PredData mine(const std::string& text, const std::vector<std::string>& gold,
                    const std::vector<std::string>& pred) {
  std::string both = "[";
  both.append(record(text, gold)).append(", ").append(record(text, pred)).append("]");
  Records records = Records::parse(both);
  return CwsMiner().generate(records[0], records[1], 2);
}

// Each Desc as (true_text, pred_text, error kind or "" when right); NONE shows as "NONE".
struct Element {
  std::string true_text, pred_text, kind;
  friend bool operator==(const Element&, const Element&) = default;
  friend std::ostream& operator<<(std::ostream& out, const Element& e) {
    return out << "(" << e.true_text << ", " << e.pred_text << ", " << e.kind << ")";
  }
};
using Elements = std::vector<Element>;

std::string shown(const Value& value) {
  return value == Const::NONE ? "NONE" : value.get<std::string>();
}

Elements elements(const Label2PredData& data) {
  Elements found;
  for (const Desc& desc : data.desc) {
    found.push_back({shown(desc.get("true_text")), shown(desc.get("pred_text")),
                     desc.get("is_right") == 1 ? "" : shown(desc.get("error_type"))});
  }
  return found;
}

TEST(CwsMiner, BoundaryDisagreementsGetTheirErrorKindsInPairOrder) {
  EXPECT_EQ(elements(mine("北京欢迎你", {"北京", "欢迎", "你"}, {"北京", "欢迎", "你"})),
            Elements({{"北京", "北京", ""}, {"欢迎", "欢迎", ""}, {"你", "你", ""}}));
  EXPECT_EQ(elements(mine("abc", {"ab", "c"}, {"a", "bc"})),
            Elements({{"ab", "a", ErrorKind::PRED_IN_TRUE},
                      {"ab", "bc", ErrorKind::PRED_CROSS_TRUE},
                      {"c", "bc", ErrorKind::TRUE_IN_PRED}}));
  EXPECT_EQ(elements(mine("abc", {"abc"}, {"a", "b", "c"})),
            Elements({{"abc", "a", ErrorKind::PRED_IN_TRUE},
                      {"abc", "b", ErrorKind::PRED_IN_TRUE},
                      {"abc", "c", ErrorKind::PRED_IN_TRUE}}));
  // a predicted word strictly covering a gold word is not paired with it
  EXPECT_EQ(elements(mine("abc", {"a", "b", "c"}, {"abc"})),
            Elements({{"a", "abc", ErrorKind::TRUE_IN_PRED},
                      {"b", "NONE", ErrorKind::PRED_NONE_ERROR},
                      {"c", "abc", ErrorKind::TRUE_IN_PRED}}));
  EXPECT_TRUE(mine("", {}, {}).desc.empty());
}

TEST(CwsMiner, PositionsFollowTheWordsAndTextsAreClippedAtTheEnd) {
  // predicted words beyond the gold ones: the last lies wholly past the text
  EXPECT_EQ(elements(mine("ab", {"ab"}, {"ab", "cd"})),
            Elements({{"ab", "ab", ""}, {"NONE", "", ErrorKind::TRUE_NONE_ERROR}}));
  // the empty gold word takes position 1, so "bc" is read at 2..3: "c", clipped
  EXPECT_EQ(elements(mine("abc", {"a", "", "bc"}, {"a", "bc"})),
            Elements({{"a", "a", ""},
                      {"b", "bc", ErrorKind::TRUE_IN_PRED},
                      {"c", "bc", ErrorKind::PRED_CROSS_TRUE}}));
}

TEST(CwsMiner, DescFieldsComeInOrderAndAMissingPredictionCountsZero) {
  const Label2PredData data = mine("😀北京", {"😀", "北京"}, {"😀"});
  EXPECT_EQ(data.index, 2);
  EXPECT_EQ(data.text, "😀北京");
  ASSERT_EQ(data.desc.size(), 2u);
  EXPECT_EQ(data.desc[0].to_string(),
            "{'pred_type': NONE, 'pred_desc': NONE, 'label_type': NONE, 'label_desc': NONE, "
            "'error_type': NONE, 'is_right': 1, 'other': {}, 'true_label': 'word', "
            "'true_text': '😀', 'pred_label': 'word', 'pred_text': '😀'}");
  EXPECT_EQ(data.desc[1].to_string(),
            "{'pred_type': NONE, 'pred_desc': NONE, 'label_type': NONE, 'label_desc': NONE, "
            "'error_type': 'PRED_NONE_ERROR', 'is_right': 0, 'other': {}, 'true_label': 'word', "
            "'true_text': '北京', 'pred_label': NONE, 'pred_text': NONE, 'pred_count': 0}");
}

TEST(CwsMiner, RejectsDifferentTextsAndMalformedWords) {
  Records records = Records::parse(R"([{"text": "ab", "words": ["ab"]}, {"text": "ax", "words": []},
      {"text": "ab", "words": ["a", null]}, {"text": "ab"}])");
  const CwsMiner miner;
  EXPECT_EQ(message_of<ValueError>([&] { miner.generate(records[0], records[1], 1); }),
            "text is different");
  EXPECT_EQ(message_of<TypeError>([&] { miner.generate(records[2], records[0], 1); }),
            "words[1]: expected string, got null");
  EXPECT_EQ(message_of<KeyError>([&] { miner.generate(records[0], records[3], 1); }), "'words'");
}

}  // namespace
}  // namespace nlpeval
