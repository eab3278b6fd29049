#include "nlpeval/evaluator/badcase/event_miner.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "nlpeval/core/errors.h"
#include "test_support.h"

namespace nlpeval {
namespace {

using badcase::Const;
using testing::message_of;

std::string joined(const std::vector<std::string>& parts) {
  std::string json;
  for (const std::string& part : parts) json += (json.empty() ? "" : ", ") + part;
  return json;
}

constexpr const char* kWords = R"(["A", "BC", "D"])";  // text ABCD

std::string record(const std::vector<std::string>& events, const std::string& words = kWords) {
  return R"({"words": )" + words + R"(, "events": [)" + joined(events) + "]}";
}

// Numbers are JSON text, so a test can pass extremes or strings.
std::string gold_argument(const std::string& range, const std::string& type,
                          const std::string& text) {
  return R"({"offset": )" + range + R"(, "type": ")" + type + R"(", "text": ")" + text + "\"}";
}

std::string gold_event(const std::string& trigger, const std::vector<std::string>& arguments) {
  return R"({"trigger": )" + trigger + R"(, "arguments": [)" + joined(arguments) + "]}";
}

std::string pred_argument(const std::string& offset, const std::string& role,
                          const std::string& text) {
  return R"({"offset": )" + offset + R"(, "length": 1, "role": ")" + role + R"(", "text": ")" +
         text + "\"}";
}

std::string pred_event(const std::string& id, const std::vector<std::string>& arguments) {
  return R"({"trigger": {"id": )" + id + R"(, "offset": 1, "length": 2}, "arguments": [)" +
         joined(arguments) + "]}";
}

Label2PredData mine(const std::string& gold, const std::string& pred) {
  Records records = Records::parse("[" + gold + ", " + pred + "]");
  return EventMiner().generate(records[0], records[1], 3);
}

// The (label_type, pred_type, is_right, other) of each Desc, for checking many at once.
std::vector<std::vector<Value>> summary(const Label2PredData& data) {
  std::vector<std::vector<Value>> rows;
  for (const Desc& desc : data.desc) {
    rows.push_back(
        {desc.get("label_type"), desc.get("pred_type"), desc.get("is_right"), desc.get("other")});
  }
  return rows;
}

const std::string kGoldTime =
    record({gold_event("[1, 2]", {gold_argument("[2, 3]", "time", "D")})});

// ---- matching arguments -------------------------------------------------------------------

TEST(EventMiner, ArgumentsMeetAtTheirStartWithinOneTriggerPair) {
  const Label2PredData right =
      mine(kGoldTime, record({pred_event("1", {pred_argument("3", "time", "D")})}));
  EXPECT_EQ(right.index, 3);
  EXPECT_EQ(right.text, "ABCD");
  EXPECT_TRUE(mine(record({gold_event("[0, 1]", {})}), record({})).desc.empty());
  ASSERT_EQ(right.desc.size(), 1u);
  EXPECT_EQ(right.desc[0].to_string(),
            "{'pred_type': 'time', 'pred_desc': 'D', 'label_type': 'time', 'label_desc': 'D', "
            "'error_type': NONE, 'is_right': 1, 'other': 'BC', 'pred_trigger': 'BC'}");

  const Desc wrong_role =
      mine(kGoldTime, record({pred_event("1", {pred_argument("3", "place", "D")})})).desc.at(0);
  EXPECT_EQ(wrong_role.get("pred_type"), "place");
  EXPECT_EQ(wrong_role.get("is_right"), 0);

  const Label2PredData shifted =
      mine(kGoldTime, record({pred_event("1", {pred_argument("2", "time", "C")})}));
  ASSERT_EQ(shifted.desc.size(), 2u);
  EXPECT_EQ(shifted.desc[0].to_string(),
            "{'pred_type': NONE, 'pred_desc': NONE, 'label_type': 'time', 'label_desc': 'D', "
            "'error_type': NONE, 'is_right': 0, 'other': 'BC'}");
  EXPECT_EQ(shifted.desc[1].to_string(),
            "{'pred_type': 'time', 'pred_desc': 'C', 'label_type': NONE, 'label_desc': NONE, "
            "'error_type': NONE, 'is_right': 0, 'other': 'BC'}")
      << "pred_trigger only where both sides meet";
}

TEST(EventMiner, GoldOnlyTriggersComeAfterEveryPredictedPair) {
  const std::string gold = record({gold_event("[0, 1]", {gold_argument("[0, 1]", "a", "A")}),
                                   gold_event("[1, 2]", {gold_argument("[2, 3]", "time", "D")})});
  const std::string pred = record({pred_event("2", {pred_argument("0", "b", "A")}),
                                   pred_event("1", {pred_argument("3", "time", "D")})});
  EXPECT_EQ(summary(mine(gold, pred)), (std::vector<std::vector<Value>>{
                                           {Const::NONE, "b", 0, "D"},  // key 2, predicted only
                                           {"time", "time", 1, "BC"},   // key 1
                                           {"a", Const::NONE, 0, "A"},  // key 0, gold only
                                       }))
      << "arguments of different pairs never meet, though both start at 0";
}

// Within a side, a later argument at a start replaces the earlier one at the earlier place;
// what a Desc finally shows is consistent: is_right follows the role it shows.
TEST(EventMiner, LaterArgumentAtAStartReplacesTheEarlierInPlace) {
  const std::string gold = record(
      {gold_event("[1, 2]", {gold_argument("[1, 2]", "x", "BC"), gold_argument("[2, 3]", "y", "D"),
                             gold_argument("[1, 3]", "z", "BCD")})});
  const std::string pred =
      record({pred_event("1", {pred_argument("1", "z", "B"), pred_argument("3", "y", "D"),
                               pred_argument("1", "w", "BC"), pred_argument("0", "p", "A"),
                               pred_argument("0", "q", "AB")})});
  const Label2PredData data = mine(gold, pred);
  EXPECT_EQ(summary(data), (std::vector<std::vector<Value>>{
                               {"z", "w", 0, "BC"},
                               {"y", "y", 1, "BC"},
                               {Const::NONE, "q", 0, "BC"},
                           }));
  EXPECT_EQ(data.desc[0].get("label_desc"), "BCD");
  EXPECT_EQ(data.desc[0].get("pred_desc"), "BC");
  EXPECT_EQ(data.desc[2].get("pred_desc"), "AB");
  EXPECT_FALSE(data.desc[2].has("pred_trigger")) << "two predicted arguments do not meet";
}

// ---- triggers ------------------------------------------------------------------------------

TEST(EventMiner, OtherShowsTheTriggerTextAndNoTriggerReadsAsWu) {
  const std::string gold =
      record({gold_event("[-2, 100]", {gold_argument("[0, 1]", "a", "A")})}, R"(["A", "BC", "D"])");
  const std::string pred =
      record({pred_event("-2", {pred_argument("0", "a", "A")})}, R"(["A", "BC", "D", "EF"])");
  const Desc met = mine(gold, pred).desc.at(0);
  EXPECT_EQ(met.get("other"), "BCD") << "gold: the words of the trigger range";
  EXPECT_EQ(met.get("pred_trigger"), "D") << "predicted: the word at id, counted from the end";

  Records records =
      Records::parse(R"([{"arguments": [{"offset": [0, 1], "type": "a", "text": "A"}]},
                                       {"arguments": [{"offset": 0, "role": "a", "text": "A"},
                                                      {"offset": 2, "role": "b", "text": "C"}]},
                                       ["A", "BC", "D"]])");
  Trigger2Event trigger2event;
  trigger2event[int64_t{0}] = EventPair{records[1], records[0]};
  const Label2PredData data =
      EventMiner::_get_label2preddataset(trigger2event, records[2], records[2], 9);
  EXPECT_EQ(data.index, 9);
  ASSERT_EQ(data.desc.size(), 2u);
  EXPECT_EQ(data.desc[0].get("other"), "无");
  EXPECT_EQ(data.desc[0].get("pred_trigger"), "无");
  EXPECT_EQ(data.desc[1].get("other"), "无");
}

TEST(EventMiner, TriggerIdOutsideThePredictedWordsIsAnIndexError) {
  for (const char* id : {"3", "-4", "1000000000000", "-9223372036854775808"}) {
    EXPECT_EQ(message_of<IndexError>([&] {
                mine(kGoldTime, record({pred_event(id, {pred_argument("3", "time", "D")})}));
              }),
              std::string("trigger id ") + id + " is outside the 3 words");
  }
  EXPECT_TRUE(mine(record({}), record({pred_event("7", {})})).desc.empty())
      << "an event without arguments needs no trigger text";
}

// 1 and "1" are different keys: the string-keyed event pairs with nothing.
TEST(EventMiner, IntegerAndStringTriggerKeysNeverMeet) {
  EXPECT_EQ(summary(mine(kGoldTime, record({pred_event(R"("1")", {})}))),
            (std::vector<std::vector<Value>>{{"time", Const::NONE, 0, "BC"}}));
  EXPECT_EQ(message_of<TypeError>([] {
              mine(kGoldTime, record({pred_event(R"("1")", {pred_argument("3", "time", "D")})}));
            }),
            "id: expected integer, got string")
      << "a string cannot pick a predicted word";
}

// ---- positions -----------------------------------------------------------------------------

TEST(EventMiner, GoldStartsFollowListSliceRulesAndPredictedOffsetsAreKeysAsTheyAre) {
  const std::string gold = record({gold_event(
      "[1, 2]", {gold_argument("[-1, 3]", "a", "D"), gold_argument("[1000000000000, 0]", "b", ""),
                 gold_argument("[-9223372036854775808, 1]", "c", "A")})});
  const std::string pred = record({pred_event(
      "1", {pred_argument("3", "a", "D"), pred_argument("4", "b", ""),
            pred_argument("1000000000000", "x", "?"),
            pred_argument("-9223372036854775808", "y", "?"), pred_argument("0", "c", "A")})});
  EXPECT_EQ(summary(mine(gold, pred)), (std::vector<std::vector<Value>>{
                                           {"a", "a", 1, "BC"},
                                           {"b", "b", 1, "BC"},
                                           {"c", "c", 1, "BC"},
                                           {Const::NONE, "x", 0, "BC"},
                                           {Const::NONE, "y", 0, "BC"},
                                       }));
}

TEST(EventMiner, ErrorsNameTheArgumentOrKey) {
  const std::string ok = record({});
  auto error = [](const std::string& gold, const std::string& pred) {
    return [=] { mine(gold, pred); };
  };
  EXPECT_EQ(message_of<TypeError>(error("1", ok)), "label: expected object, got integer");
  EXPECT_EQ(message_of<KeyError>(error(R"({"words": []})", "{}")), "'events'");
  EXPECT_EQ(message_of<KeyError>(error(R"({"events": []})", "{}")), "'words'");
  EXPECT_EQ(message_of<TypeError>(error(R"({"words": "ABCD", "events": []})", ok)),
            "label_words: expected array, got string");
  EXPECT_EQ(message_of<TypeError>(error(ok, R"({"words": {}, "events": []})")),
            "pred_words: expected array, got object");
  EXPECT_EQ(message_of<KeyError>(error(record({R"({"arguments": []})"}), ok)), "'trigger'");
  EXPECT_EQ(message_of<KeyError>(
                error(record({gold_event("[0, 1]", {R"({"offset": [0, 1], "type": "a"})"})}), ok)),
            "'text'");
}

}  // namespace
}  // namespace nlpeval
