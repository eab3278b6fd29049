// The "pos" and "cws" tasks through evaluate(): registry, instance loop, scoring, printing.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "nlpeval/core/errors.h"
#include "nlpeval/evaluator/evaluates/label_score.h"
#include "nlpeval/evaluator/evaluator.h"
#include "nlpeval/evaluator/miner_kinds.h"
#include "test_support.h"

namespace nlpeval {
namespace {

using testing::TempFile;
using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStdout;

std::string output_beside(const TempFile& file, const std::string& name) {
  return (std::filesystem::path(file.path()).parent_path() / name).string();
}

// One right sentence, one with a retagged and a resplit word, one missing a word.
const Records kPosGold = Records::parse(R"([
    {"text": "我爱北京", "words": [{"offset": 0, "length": 1, "pos": "r"},
        {"offset": 1, "length": 1, "pos": "v"}, {"offset": 2, "length": 2, "pos": "ns"}]},
    {"text": "他们去上海了", "words": [{"offset": 0, "length": 2, "pos": "r"},
        {"offset": 2, "length": 1, "pos": "v"}, {"offset": 3, "length": 2, "pos": "ns"},
        {"offset": 5, "length": 1, "pos": "u"}]},
    {"text": "😀好", "words": [{"offset": 0, "length": 1, "pos": "x"},
        {"offset": 1, "length": 1, "pos": "a"}]}])");
const Records kPosPred = Records::parse(R"([
    {"text": "我爱北京", "words": [{"offset": 0, "length": 1, "pos": "r"},
        {"offset": 1, "length": 1, "pos": "v"}, {"offset": 2, "length": 2, "pos": "ns"}]},
    {"text": "他们去上海了", "words": [{"offset": 0, "length": 2, "pos": "n"},
        {"offset": 2, "length": 1, "pos": "v"}, {"offset": 3, "length": 1, "pos": "ns"},
        {"offset": 4, "length": 2, "pos": "ns"}]},
    {"text": "😀好", "words": [{"offset": 1, "length": 1, "pos": "a"}]}])");

TEST(EvaluatePos, ScoresAreTheLabelScoresOfThePosSequences) {
  std::vector<TagSequence> gold;
  std::vector<TagSequence> pred;
  for (size_t k = 0; k < kPosGold.size(); ++k) {
    auto [gold_part, pred_part] = PosMapper().convert(kPosGold[k], kPosPred[k], k);
    gold.push_back(gold_part.at(0));
    pred.push_back(pred_part.at(0));
  }
  const ScoreResult expected = label_score(gold, pred, std::nullopt);
  EXPECT_EQ(expected.precision, 5.0 / 8);
  TempFile folder("");
  const std::string badcase = output_beside(folder, "pos.xlsx");
  const EvaluateResult with =
      evaluate("pos", kPosGold, kPosPred, {.badcase_file = badcase, .do_print = false});
  EXPECT_EQ(to_json(with), expected.to_json());
  EXPECT_TRUE(std::filesystem::exists(badcase));
  const auto only_ns = std::optional<std::vector<std::string>>({"ns"});
  EXPECT_EQ(
      to_json(evaluate("pos", kPosGold, kPosPred, {.do_print = false, .evaluate_labels = only_ns})),
      label_score(gold, pred, only_ns).to_json());
}

TEST(EvaluatePos, EntityRecordsFailValidationAndTheMinerSharesTheRegistry) {
  const Records entities =
      Records::parse(R"([{"text": "ab", "entities": [{"offset": 0, "length": 2, "type": "n"}]}])");
  EXPECT_THROW(evaluate("pos", entities, entities, {.do_print = false}), Error);
  EXPECT_EQ(Instrument().get_generator("pos"), Instrument().get_generator("pos"));
  EXPECT_EQ(std::get<const PosMiner*>(Instrument().get_generator("pos")), &MinerKinds::Pos);
  EXPECT_EQ(std::get<const CwsMapper*>(Instrument().get_convertor("cws")), &ConvertorTypes::Cws);
}

const Records kCwsGold = Records::parse(R"([
    {"text": "北京欢迎你", "words": ["北京", "欢迎", "你"]},
    {"text": "abc", "words": ["ab", "c"]}])");
const Records kCwsPred = Records::parse(R"([
    {"text": "北京欢迎你", "words": ["北京", "欢迎", "你"]},
    {"text": "abc", "words": ["a", "b", "c"]}])");

TEST(EvaluateCws, ScoresPooledWordsAndPrintsTheScoreLineAndAnEmptyLine) {
  CaptureStdout();
  const ScoreResult score = std::get<ScoreResult>(evaluate("cws", kCwsGold, kCwsPred));
  EXPECT_EQ(GetCapturedStdout(), "precision: 0.667\trecall: 0.800\tf1: 0.727\n\n");
  EXPECT_DOUBLE_EQ(score.precision, 4.0 / 6);
  EXPECT_DOUBLE_EQ(score.recall, 4.0 / 5);
  EXPECT_EQ(score.classification_report, "");
}

TEST(EvaluateCws, NoRightWordAndNoInstanceScoreZeros) {
  const Records gold = Records::parse(R"([{"text": "abc", "words": ["ab", "c"]}])");
  const Records pred = Records::parse(R"([{"text": "abc", "words": ["a", "bc"]}])");
  const Records none_predicted = Records::parse(R"([{"text": "abc", "words": []}])");
  const ScoreResult zeros{0.0, 0.0, 0.0, ""};
  EXPECT_EQ(std::get<ScoreResult>(evaluate("cws", gold, pred, {.do_print = false})), zeros);
  EXPECT_EQ(std::get<ScoreResult>(evaluate("cws", gold, none_predicted, {.do_print = false})),
            zeros);
  TempFile folder("");
  const std::string badcase = output_beside(folder, "empty.xlsx");
  Records none;
  EXPECT_EQ(std::get<ScoreResult>(
                evaluate("cws", none, none, {.badcase_file = badcase, .do_print = false})),
            zeros);
  EXPECT_TRUE(std::filesystem::exists(badcase));
}

}  // namespace
}  // namespace nlpeval
