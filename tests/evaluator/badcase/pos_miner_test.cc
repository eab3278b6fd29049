#include "nlpeval/evaluator/badcase/pos_miner.h"

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
using Kinds = std::vector<std::string>;

struct Word {
  int64_t offset, length;
  std::string pos;
};

std::string record(const std::string& text, const std::vector<Word>& words) {
  std::string json = R"({"text": ")" + text + R"(", "words": [)";
  for (const Word& w : words) {
    json += std::string(json.back() == '[' ? "" : ", ") + R"({"offset": )" +
            std::to_string(w.offset) + R"(, "length": )" + std::to_string(w.length) +
            R"(, "pos": ")" + w.pos + "\"}";
  }
  return json + "]}";
}

Label2PredData mine(const std::string& gold, const std::string& pred) {
  Records records = Records::parse("[" + gold + ", " + pred + "]");
  return PosMiner().generate(records[0], records[1], 4);
}

// The error kind of each Desc, "" for a right one.
Kinds kinds(const Label2PredData& data) {
  Kinds found;
  for (const Desc& desc : data.desc) {
    found.push_back(desc.get("is_right") == 1 ? "" : desc.get("error_type").get<std::string>());
  }
  return found;
}

Kinds kinds(const std::string& text, const std::vector<Word>& gold, const std::vector<Word>& pred) {
  return kinds(mine(record(text, gold), record(text, pred)));
}

TEST(PosMiner, DifferentPartsOfSpeechAreTypeErrorsWhateverTheExtents) {
  EXPECT_EQ(kinds("abc", {{0, 2, "n"}}, {{0, 3, "v"}}), Kinds({ErrorKind::TYPE_ERROR}))
      << "the entity miner would say TRUE_IN_PRED";
  EXPECT_EQ(kinds("abc", {{0, 3, "n"}}, {{0, 1, "n"}, {1, 2, "n"}}),
            Kinds({ErrorKind::PRED_IN_TRUE, ErrorKind::PRED_IN_TRUE}));
  EXPECT_EQ(kinds("abcd", {{1, 2, "n"}}, {{1, 3, "n"}}), Kinds({ErrorKind::TRUE_IN_PRED}));
  EXPECT_EQ(kinds("abcd", {{0, 2, "n"}}, {{1, 2, "n"}}), Kinds({ErrorKind::PRED_CROSS_TRUE}));
  EXPECT_EQ(kinds("abcd", {{1, 1, "n"}}, {{0, 3, "n"}}),
            Kinds({ErrorKind::PRED_NONE_ERROR, ErrorKind::TRUE_NONE_ERROR}))
      << "a prediction strictly covering a gold word is not paired with it";
  const std::vector<Word> words = {{0, 1, "r"}, {1, 2, "v"}};
  EXPECT_EQ(kinds("我喜欢", words, words), Kinds({"", ""}));
  EXPECT_TRUE(mine(record("abc", {}), record("abc", {})).desc.empty());
}

TEST(PosMiner, DescFieldsComeInOrderWithCodePointTextsAndNoCounts) {
  const Label2PredData data =
      mine(record("😀北京x", {{1, 2, "ns"}, {3, 1, "x"}}), record("😀北京x", {{1, 2, "nr"}}));
  EXPECT_EQ(data.index, 4);
  EXPECT_EQ(data.text, "😀北京x");
  ASSERT_EQ(data.desc.size(), 2u);
  EXPECT_EQ(data.desc[0].to_string(),
            "{'pred_type': NONE, 'pred_desc': NONE, 'label_type': NONE, 'label_desc': NONE, "
            "'error_type': 'TYPE_ERROR', 'is_right': 0, 'other': {}, 'true_label': 'ns', "
            "'true_text': '北京', 'pred_label': 'nr', 'pred_text': '北京'}");
  const Desc& missing = data.desc[1];
  EXPECT_EQ(missing.get("true_text"), "x");
  EXPECT_EQ(missing.get("pred_label"), Const::NONE);
  EXPECT_EQ(missing.get("pred_text"), Const::NONE);
  EXPECT_EQ(missing.get("error_type"), ErrorKind::PRED_NONE_ERROR);
  EXPECT_FALSE(missing.has("pred_count"));
}

TEST(PosMiner, ReadsOnlyTheWordLayoutAndRejectsBadRecords) {
  const std::string entities =
      R"({"text": "ab", "entities": [{"offset": 0, "length": 2, "type": "n"}]})";
  EXPECT_EQ(message_of<KeyError>([&] { mine(entities, entities); }), "'words'");
  EXPECT_EQ(message_of<ValueError>([] { mine(record("abc", {}), record("abd", {})); }),
            "text is different");
  EXPECT_EQ(message_of<KeyError>([] {
              mine(record("ab", {}), R"({"text": "ab", "words": [{"offset": 0, "length": 1}]})");
            }),
            "'pos'");
  EXPECT_THROW(mine("[]", record("a", {})), TypeError);
}

}  // namespace
}  // namespace nlpeval
