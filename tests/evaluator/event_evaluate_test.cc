// evaluate() on "event" records: the registry's event mapper and miner on the driver's road.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "nlpeval/core/errors.h"
#include "nlpeval/evaluator/convertor/event_mapper.h"
#include "nlpeval/evaluator/evaluates/label_score.h"
#include "nlpeval/evaluator/evaluator.h"
#include "nlpeval/evaluator/miner_kinds.h"
#include "test_support.h"

namespace nlpeval {
namespace {

using testing::TempFile;

// A right event, one with a wrong role and a missing argument, a spurious event, and an
// instance without events.
const Records kGold = Records::parse(R"([
    {"words": ["A", "BC", "D"], "events": [{"trigger": [1, 2],
        "arguments": [{"offset": [2, 3], "type": "time", "text": "D"}]}]},
    {"words": ["他", "昨天", "到", "北京"], "events": [{"trigger": [2, 3],
        "arguments": [{"offset": [0, 1], "type": "agent", "text": "他"},
                      {"offset": [1, 2], "type": "time", "text": "昨天"},
                      {"offset": [3, 4], "type": "place", "text": "北京"}]}]},
    {"words": ["x", "y"], "events": []},
    {"words": ["q"], "events": []}])");
const Records kPred = Records::parse(R"([
    {"words": ["A", "BC", "D"], "events": [{"trigger": {"id": 1, "offset": 1, "length": 2},
        "arguments": [{"offset": 3, "length": 1, "role": "time", "text": "D"}]}]},
    {"words": ["他", "昨天", "到", "北京"], "events": [{"trigger": {"id": 2, "offset": 3, "length": 1},
        "arguments": [{"offset": 0, "length": 1, "role": "place", "text": "他"},
                      {"offset": 4, "length": 2, "role": "place", "text": "北京"}]}]},
    {"words": ["x", "y"], "events": [{"trigger": {"id": 0, "offset": 0, "length": 1},
        "arguments": [{"offset": 1, "length": 1, "role": "time", "text": "y"}]}]},
    {"words": ["q"], "events": []}])");

TEST(EvaluateEvent, ScoresAreTheLabelScoresOfTheMappedSequences) {
  std::vector<TagSequence> gold;
  std::vector<TagSequence> pred;
  for (size_t k = 0; k < kGold.size(); ++k) {
    auto [gold_part, pred_part] = EventMapper().convert(kGold[k], kPred[k]);
    gold.insert(gold.end(), gold_part.begin(), gold_part.end());
    pred.insert(pred.end(), pred_part.begin(), pred_part.end());
  }
  ASSERT_EQ(gold.size(), 6u) << "two sequences per trigger pair";
  for (const auto& labels : {std::optional<std::vector<std::string>>(),
                             std::optional<std::vector<std::string>>({"trigger", "place"})}) {
    EvaluateResult result =
        evaluate("event", kGold, kPred, {.do_print = false, .evaluate_labels = labels});
    EXPECT_EQ(to_json(result), label_score(gold, pred, labels).to_json());
  }
  // Chunks: triggers 2 of 2 gold found among 3 predicted; arguments 2 of 4 among 4.
  const ScoreResult score =
      std::get<ScoreResult>(evaluate("event", kGold, kPred, {.do_print = false}));
  EXPECT_DOUBLE_EQ(score.precision, 4.0 / 7.0);
  EXPECT_DOUBLE_EQ(score.recall, 4.0 / 6.0);
}

TEST(EvaluateEvent, TheRegistryServesEventAndABadcaseFileChangesNoScore) {
  const Instrument instrument;
  EXPECT_EQ(std::get<const EventMiner*>(instrument.get_generator("event")), &MinerKinds::Event);
  EXPECT_EQ(std::get<const EventMapper*>(instrument.get_convertor("event")),
            &ConvertorTypes::Event);

  TempFile folder("");
  const std::string badcase =
      (std::filesystem::path(folder.path()).parent_path() / "events.xlsx").string();
  EXPECT_EQ(to_json(evaluate("event", kGold, kPred, {.do_print = false})),
            to_json(evaluate("event", kGold, kPred, {.badcase_file = badcase, .do_print = false})));
  EXPECT_TRUE(std::filesystem::exists(badcase));
}

// Records are validated against the event formats before any mapping.
TEST(EvaluateEvent, MalformedRecordsAndUnequalTextsFailClearly) {
  const Records gold_in_pred_shape = Records::parse(R"([{"words": ["a"], "events": [
      {"trigger": {"id": 0, "offset": 0, "length": 1}, "arguments": []}]}])");
  EXPECT_THROW(evaluate("event", gold_in_pred_shape, gold_in_pred_shape, {.do_print = false}),
               TypeError)
      << "a predicted-shape trigger on the gold side passes validation, not the mapper";
  const Records bad = Records::parse(R"([{"words": ["a"], "events": [{"trigger": [0]}]}])");
  EXPECT_THROW(evaluate("event", bad, bad, {.do_print = false}), ValueError);
  const Records longer = Records::parse(R"([{"words": ["A", "BC", "DE"], "events": [
      {"trigger": {"id": 1, "offset": 1, "length": 2}, "arguments": []}]}])");
  const std::string first = kGold[0].to_json();
  const Records first_gold = Records::parse("[" + first + "]");
  EXPECT_THROW(evaluate("event", first_gold, longer, {.do_print = false}), ValueError)
      << "a predicted text of another length cannot be scored against the gold one";
}

}  // namespace
}  // namespace nlpeval
