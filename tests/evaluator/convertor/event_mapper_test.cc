#include "nlpeval/evaluator/convertor/event_mapper.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "nlpeval/core/errors.h"
#include "test_support.h"

namespace nlpeval {
namespace {

using testing::message_of;
using Tags = std::vector<std::string>;
using Sequences = std::vector<Tags>;

// "O B-a I-a" as a tag list.
Tags tags(const std::string& spaced) {
  std::istringstream in(spaced);
  Tags out;
  for (std::string tag; in >> tag;) out.push_back(tag);
  return out;
}

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
std::string gold_argument(const std::string& range, const std::string& type) {
  return R"({"offset": )" + range + R"(, "type": ")" + type + R"(", "text": "t"})";
}

std::string gold_event(const std::string& trigger, const std::vector<std::string>& arguments) {
  return R"({"trigger": )" + trigger + R"(, "arguments": [)" + joined(arguments) + "]}";
}

std::string pred_argument(const std::string& offset, const std::string& length,
                          const std::string& role) {
  return R"({"offset": )" + offset + R"(, "length": )" + length + R"(, "role": ")" + role +
         R"(", "text": "t"})";
}

std::string pred_event(const std::string& id, const std::string& offset, const std::string& length,
                       const std::vector<std::string>& arguments) {
  return R"({"trigger": {"id": )" + id + R"(, "offset": )" + offset + R"(, "length": )" + length +
         R"(}, "arguments": [)" + joined(arguments) + "]}";
}

// A gold and a predicted record as records 0 and 1.
Records pair_of(const std::string& gold, const std::string& pred) {
  return Records::parse("[" + gold + ", " + pred + "]");
}

std::pair<Sequences, Sequences> convert(const std::string& gold, const std::string& pred) {
  Records records = pair_of(gold, pred);
  return EventMapper().convert(records[0], records[1], 4);
}

// The predicted side's argument sequence of an instance holding one predicted event.
Tags pred_arguments(const std::vector<std::string>& arguments, const std::string& words = kWords) {
  return convert(record({}, words), record({pred_event("0", "0", "0", arguments)}, words))
      .second.at(0);
}

// The gold side's argument and trigger sequences of an instance holding one gold event.
Sequences gold_sequences(const std::string& trigger, const std::vector<std::string>& arguments,
                         const std::string& words = kWords) {
  return convert(record({gold_event(trigger, arguments)}, words), record({}, words)).first;
}

const std::string kGoldTime = gold_event("[1, 2]", {gold_argument("[2, 3]", "time")});
const std::string kPredTime = pred_event("1", "1", "2", {pred_argument("3", "1", "time")});

// ---- pairing ------------------------------------------------------------------------------

TEST(EventMapper, PairedEventsGiveArgumentThenTriggerSequencesOnBothSides) {
  const Sequences expected{tags("O O O B-time"), tags("O B-trigger I-trigger O")};
  EXPECT_EQ(convert(record({kGoldTime}), record({kPredTime})), std::pair(expected, expected));
  EXPECT_EQ(convert(record({kGoldTime}), record({})),
            std::pair(expected, Sequences{tags("O O O O"), tags("O O O O")}));
  EXPECT_EQ(convert(record({}), record({})), std::pair(Sequences{}, Sequences{}));
  const std::string bare = gold_event("[1, 2]", {});
  EXPECT_EQ(convert(record({bare}), record({})).first,
            (Sequences{tags("O O O O"), tags("O B-trigger I-trigger O")}));
}

TEST(EventMapper, PredictedKeysComeFirstThenKeysOnlyGoldHas) {
  const std::string gold_at_0 = gold_event("[0, 1]", {gold_argument("[0, 1]", "a")});
  const std::string pred_at_2 = pred_event("2", "3", "1", {pred_argument("1", "2", "b")});
  const auto [gold, pred] = convert(record({gold_at_0, kGoldTime}), record({pred_at_2, kPredTime}));
  EXPECT_EQ(gold, (Sequences{tags("O O O O"), tags("O O O O"),  // key 2: predicted only
                             tags("O O O B-time"), tags("O B-trigger I-trigger O"),  // key 1
                             tags("B-a O O O"), tags("B-trigger O O O")}));  // key 0: gold only
  EXPECT_EQ(pred, (Sequences{tags("O B-b I-b O"), tags("O O O B-trigger"), tags("O O O B-time"),
                             tags("O B-trigger I-trigger O"), tags("O O O O"), tags("O O O O")}));
}

TEST(EventMapper, LaterEventWithAKeyTakesTheSlotAndThePairStaysOne) {
  const std::string earlier = pred_event("1", "0", "1", {pred_argument("0", "1", "x")});
  const auto [gold, pred] = convert(record({kGoldTime}), record({earlier, kPredTime}));
  EXPECT_EQ(pred, (Sequences{tags("O O O B-time"), tags("O B-trigger I-trigger O")}));
  EXPECT_EQ(gold.size(), 2u);

  const std::string later_gold = gold_event("[1, 3]", {gold_argument("[0, 1]", "y")});
  EXPECT_EQ(convert(record({kGoldTime, later_gold}), record({})).first,
            (Sequences{tags("B-y O O O"), tags("O B-trigger I-trigger I-trigger")}));
}

// A predicted "id" pairs by kind as well as value: 1 and "1" are two keys.
TEST(EventMapper, IntegerAndStringTriggerKeysNeverMeet) {
  const std::string string_id = pred_event(R"("1")", "1", "2", {pred_argument("3", "1", "time")});
  const auto [gold, pred] = convert(record({kGoldTime}), record({string_id}));
  ASSERT_EQ(gold.size(), 4u);
  EXPECT_EQ(gold[0], tags("O O O O")) << "the string key comes first and has no gold event";
  EXPECT_EQ(pred[2], tags("O O O O"));

  const std::string gold_string = gold_event(R"(["x", 2])", {});
  Records records = pair_of(record({gold_string}), record({pred_event(R"("x")", "0", "1", {})}));
  const Trigger2Event trigger2event =
      EventMapper::_get_trigger2event(records[0].at("events"), records[1].at("events"));
  ASSERT_EQ(trigger2event.size(), 1u) << "two string keys of equal text meet";
  EXPECT_TRUE(trigger2event.begin()->second.label_event.has_value());
  EXPECT_TRUE(trigger2event.begin()->second.pred_event.has_value());
}

// ---- placing arguments and triggers -------------------------------------------------------

TEST(EventMapper, LaterOverlappingArgumentWinsWhereItWrites) {
  EXPECT_EQ(pred_arguments({pred_argument("0", "3", "a"), pred_argument("1", "1", "b")}),
            tags("B-a B-b I-a O"));
  EXPECT_EQ(pred_arguments({pred_argument("1", "1", "b"), pred_argument("0", "3", "a")}),
            tags("B-a I-a I-a O"));
  EXPECT_EQ(
      gold_sequences("[0, 0]", {gold_argument("[0, 3]", "a"), gold_argument("[1, 2]", "b")}).at(0),
      tags("B-a B-b I-b I-a"));
}

TEST(EventMapper, EmptyArgumentsKeepTheirBeginTagAndEmptyTriggersTagNothing) {
  EXPECT_EQ(pred_arguments({pred_argument("2", "0", "a")}), tags("O O B-a O"));
  EXPECT_EQ(pred_arguments({pred_argument("2", "-5", "a")}), tags("O O B-a O"));
  EXPECT_EQ(gold_sequences("[2, 2]", {gold_argument("[1, 1]", "a")}),
            (Sequences{tags("O B-a O O"), tags("O O O O")}));
  EXPECT_EQ(gold_sequences("[2, 0]", {gold_argument("[2, 1]", "a")}),
            (Sequences{tags("O O O B-a"), tags("O O O O")}))
      << "an end before the start is empty too";
  const auto [gold, pred] = convert(record({}), record({pred_event("0", "1", "0", {})}));
  EXPECT_EQ(pred.at(1), tags("O O O O"));
  EXPECT_EQ(convert(record({}), record({pred_event("0", "1", "-1", {})})).second.at(1),
            tags("O O O O"));
}

// Only the characters of the text are tagged, however far the numbers reach; nothing may
// overflow or take time in proportion to them.
TEST(EventMapper, CharacterPositionsOutsideTheTextAreDropped) {
  EXPECT_EQ(pred_arguments({pred_argument("-1", "3", "a")}), tags("I-a I-a O O"));
  EXPECT_EQ(pred_arguments({pred_argument("4", "2", "a")}), tags("O O O O"));
  EXPECT_EQ(pred_arguments({pred_argument("2", "1000000000000", "a")}), tags("O O B-a I-a"));
  EXPECT_EQ(pred_arguments({pred_argument("-1000000000000", "1000000000002", "a")}),
            tags("I-a I-a O O"));
  EXPECT_EQ(pred_arguments({pred_argument("9223372036854775807", "9223372036854775807", "a"),
                            pred_argument("-9223372036854775808", "9223372036854775807", "b"),
                            pred_argument("1", "-9223372036854775808", "c")}),
            tags("O B-c O O"));
  EXPECT_EQ(convert(record({}),
                    record({pred_event("0", "-9223372036854775808", "9223372036854775807", {})}))
                .second.at(1),
            tags("O O O O"));
  EXPECT_EQ(
      convert(record({}), record({pred_event("0", "3", "9223372036854775807", {})})).second.at(1),
      tags("O O O B-trigger"));
  EXPECT_EQ(message_of<ValueError>(
                [] { pred_arguments({pred_argument("9223372036854775808", "1", "a")}); }),
            "offset: integer out of the 64-bit signed range");
}

// Word ranges read like list slices: past the end is the end, negative counts from the end.
TEST(EventMapper, GoldWordRangesFollowListSliceRules) {
  EXPECT_EQ(gold_sequences("[-2, -1]", {gold_argument("[-1, 3]", "a")}),
            (Sequences{tags("O O O B-a"), tags("O B-trigger I-trigger O")}));
  EXPECT_EQ(gold_sequences("[1, 1000000000000]", {gold_argument("[-100, 1]", "a")}),
            (Sequences{tags("B-a O O O"), tags("O B-trigger I-trigger I-trigger")}));
  EXPECT_EQ(gold_sequences("[2, 9223372036854775807]",
                           {gold_argument("[-9223372036854775808, 9223372036854775807]", "a"),
                            gold_argument("[1000000000000, 1000000000001]", "b")}),
            (Sequences{tags("B-a I-a I-a I-a"), tags("O O O B-trigger")}))
      << "a range starting past the words begins at the text's end, outside it";
}

// The mapper does not compare the texts: each side's sequences have its own length, and an
// absent event is all "O" over the gold text.
TEST(EventMapper, PredictedWordsOfAnotherLengthGiveSequencesOfThatLength) {
  const std::string longer = R"(["A", "BC", "D", "EF"])";
  const auto [gold, pred] =
      convert(record({kGoldTime}), record({kPredTime, pred_event("5", "5", "1", {})}, longer));
  EXPECT_EQ(pred, (Sequences{tags("O O O B-time O O"), tags("O B-trigger I-trigger O O O"),
                             tags("O O O O O O"), tags("O O O O O B-trigger")}));
  EXPECT_EQ(gold, (Sequences{tags("O O O B-time"), tags("O B-trigger I-trigger O"), tags("O O O O"),
                             tags("O O O O")}));
  const std::string wide = R"(["你好", "😀"])";
  EXPECT_EQ(convert(record({}, wide), record({pred_event("0", "2", "1", {})}, wide)).second,
            (Sequences{tags("O O O"), tags("O O B-trigger")}))
      << "characters are code points";
}

// ---- the driver's road and the errors ------------------------------------------------------

TEST(EventMapper, ErrorsNameTheKeyInReadingOrder) {
  const std::string ok = record({});
  auto error = [](const std::string& gold, const std::string& pred) {
    return [=] { convert(gold, pred); };
  };
  EXPECT_EQ(message_of<TypeError>(error("[]", ok)), "label: expected object, got array");
  EXPECT_EQ(message_of<KeyError>(error(R"({"words": 5})", "{}")), "'words'")
      << "the predicted words are looked up first";
  EXPECT_EQ(message_of<TypeError>(error(R"({"words": ["a", 1], "events": []})", ok)),
            "words[1]: expected string, got integer");
  EXPECT_EQ(message_of<TypeError>(error(R"({"words": [], "events": {}})", ok)),
            "label_events: expected array, got object");
  EXPECT_EQ(message_of<TypeError>(error(ok, record({pred_event("1.5", "0", "1", {})}))),
            "id: expected integer or string, got float");
  EXPECT_EQ(message_of<IndexError>(error(record({gold_event("[]", {})}), ok)),
            "trigger: expected [start, end], got no element");
  EXPECT_EQ(message_of<IndexError>(error(record({gold_event("[1]", {})}), ok)),
            "trigger: expected [start, end], got 1 element");
  EXPECT_EQ(message_of<IndexError>(
                error(record({gold_event("[1, 2]", {gold_argument("[0]", "a")})}), ok)),
            "offset: expected [start, end], got 1 element");
  EXPECT_EQ(message_of<TypeError>(
                error(record({gold_event("[1, 2]", {gold_argument(R"([0, "2"])", "a")})}), ok)),
            "offset[1]: expected integer, got string");
  EXPECT_EQ(
      message_of<TypeError>(error(ok, record({pred_event("0", "0", "1", {})}, R"({"A": 1})"))),
      "words: expected array, got object")
      << "the predicted words are read for the first predicted event";
  // Pair by pair, the predicted event is read before the gold one.
  EXPECT_EQ(message_of<KeyError>(error(record({R"({"trigger": [1, 2]})"}),
                                       record({R"({"trigger": {"id": 1}, "arguments": []})"}))),
            "'offset'");
}

}  // namespace
}  // namespace nlpeval
