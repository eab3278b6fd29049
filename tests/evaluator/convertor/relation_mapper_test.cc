#include "nlpeval/evaluator/convertor/relation_mapper.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "nlpeval/core/errors.h"
#include "test_support.h"

namespace nlpeval {
namespace {

using testing::message_of;
using Labels = std::vector<std::string>;

// A mention; `offset` is JSON text, so 5 is an integer and "\"5\"" a string.
struct M {
  std::string text;
  std::string offset;
};

std::string mention(const M& m) {
  return R"({"text": ")" + m.text + R"(", "offset": )" + m.offset + R"(, "length": 1})";
}

std::string relation(const std::string& type, const M& head, const M& tail) {
  return R"({"head": )" + mention(head) + R"(, "tail": )" + mention(tail) + R"(, "type": ")" +
         type + "\"}";
}

std::string instance(const std::vector<std::string>& relations) {
  std::string json = R"({"text": "abcdefgh", "relations": [)";
  for (const std::string& r : relations) json += (json.back() == '[' ? "" : ", ") + r;
  return json + "]}";
}

std::pair<Labels, Labels> convert(const std::string& gold, const std::string& pred,
                                  std::optional<int64_t> index = {}) {
  Records records = Records::parse("[" + gold + ", " + pred + "]");
  return RelationMapper().convert(records[0], records[1], index);
}

const M a{"a", "0"}, b{"b", "5"}, c{"c", "7"};

// Pair keys written as bare concatenations, or joined by a separator, would merge two of these
// pairs.
TEST(PairLabels, KeysOfDifferentPairsDifferAndIntegerOffsetsMeetTheirDecimalText) {
  using S = std::string_view;
  auto key = [](S head, Offset head_offset, S tail, Offset tail_offset) {
    return pair_key({head, head_offset.key_text(), tail, tail_offset.key_text()});
  };
  EXPECT_EQ(key("a", Offset(5), "b", Offset(12)), key("a", Offset(S("5")), "b", Offset(S("12"))));
  const std::set<std::string> keys{
      key("a", Offset(12), "b", Offset(0)),       key("a1", Offset(2), "b", Offset(0)),
      key("a", Offset(S("05")), "b", Offset(0)),  key("a", Offset(5), "b", Offset(0)),
      key("a:1", Offset(S("b")), "c", Offset(0)), key("a", Offset(S("1:b")), "c", Offset(0)),
      key("", Offset(S("")), "ab", Offset(0)),    key("ab", Offset(S("")), "", Offset(0))};
  EXPECT_EQ(keys.size(), 8u);
}

TEST(RelationMapper, LinesUpGoldPairsThenPredictedOnes) {
  EXPECT_EQ(convert(instance({}), instance({})), std::pair(Labels{}, Labels{}));
  const std::string ab = relation("T", a, b);
  EXPECT_EQ(convert(instance({ab}), instance({ab})),
            std::pair(Labels{"T(e1,e2)"}, Labels{"T(e1,e2)"}));
  EXPECT_EQ(convert(instance({ab}), instance({relation("T", b, a)})),
            std::pair(Labels{"T(e1,e2)", "na"}, Labels{"na", "T(e2,e1)"}))
      << "swapping head and tail makes another pair";
  EXPECT_EQ(convert(instance({relation("A", a, b)}), instance({relation("B", a, b)})),
            std::pair(Labels{"A(e1,e2)"}, Labels{"B(e1,e2)"}));
  EXPECT_EQ(convert(instance({ab}), instance({})), std::pair(Labels{"T(e1,e2)"}, Labels{"na"}));
  EXPECT_EQ(convert(instance({}), instance({ab})), std::pair(Labels{"na"}, Labels{"T(e1,e2)"}));
  EXPECT_EQ(convert(instance({relation("X", c, a), relation("Y", a, b)}),
                    instance({relation("Z", b, c), relation("Y", a, b), relation("W", a, c)})),
            std::pair(Labels{"X(e2,e1)", "Y(e1,e2)", "na", "na"},
                      Labels{"na", "Y(e1,e2)", "Z(e1,e2)", "W(e1,e2)"}));
  EXPECT_EQ(convert(instance({ab}), instance({relation("T", b, a)}), 7),
            convert(instance({ab}), instance({relation("T", b, a)})))
      << "the index is not used";
}

TEST(RelationMapper, SuffixFollowsTheOffsetsAndTheTypeStaysAsItIs) {
  auto gold_of = [](const std::string& relation_json) {
    return convert(instance({relation_json}), instance({})).first.at(0);
  };
  EXPECT_EQ(gold_of(relation("T", {"a", "3"}, {"b", "3"})), "T(e1,e2)");
  EXPECT_EQ(gold_of(relation("T", {"a", "1000000000000000000"}, {"b", "999999999999999999"})),
            "T(e2,e1)");
  EXPECT_EQ(gold_of(relation("T", {"a", "-9223372036854775808"}, {"b", "9223372036854775807"})),
            "T(e1,e2)");
  EXPECT_EQ(gold_of(relation("part_of_rev", a, b)), "part_of_rev(e1,e2)");
  EXPECT_EQ(gold_of(relation("na", a, b)), "na(e1,e2)");
}

// A later relation on the same pair replaces the earlier one and keeps its place.
TEST(RelationMapper, LaterRelationOnAPairWins) {
  EXPECT_EQ(convert(instance({relation("A", a, b), relation("X", b, c), relation("B", a, b)}),
                    instance({relation("C", b, c)})),
            std::pair(Labels{"B(e1,e2)", "X(e1,e2)"}, Labels{"na", "C(e1,e2)"}));
}

TEST(RelationMapper, TextAndOffsetStayApartInKeys) {
  EXPECT_EQ(convert(instance({relation("T", {"a1", "2"}, c), relation("U", {"a", "12"}, c)}),
                    instance({relation("U", {"a", "12"}, c)})),
            std::pair(Labels{"T(e1,e2)", "U(e2,e1)"}, Labels{"na", "U(e2,e1)"}));
}

TEST(RelationMapper, StringOffsetsKeyAsWrittenAndCompareAsNumbersWhenTheyAreNumbers) {
  EXPECT_EQ(convert(instance({relation("T", {"a", "0"}, {"b", "5"})}),
                    instance({relation("T", {"a", R"("0")"}, {"b", R"("5")"})})),
            std::pair(Labels{"T(e1,e2)"}, Labels{"T(e1,e2)"}))
      << "5 and \"5\" are one offset in keys";
  EXPECT_EQ(convert(instance({relation("T", {"a", "0"}, b)}),
                    instance({relation("T", {"a", R"("00")"}, {"b", R"("5")"})}))
                .first.size(),
            2u)
      << "a string offset is not read as a number";
  // Decimal integers compare by value, written as integers or as digits: "12" starts after 3.
  for (const auto& [head, tail] : std::vector<std::pair<std::string, std::string>>{
           {R"("12")", R"("3")"},
           {R"("12")", "3"},
           {"12", R"("3")"},
           {R"("+12")", R"("0003")"},
           {R"("-1")", R"("-20")"},
           {R"("100000000000000000000")", "9223372036854775807"}}) {
    EXPECT_EQ(convert(instance({relation("T", {"a", head}, {"b", tail})}), instance({})).first,
              Labels{"T(e2,e1)"})
        << head << " after " << tail;
    EXPECT_EQ(convert(instance({relation("T", {"a", tail}, {"b", head})}), instance({})).first,
              Labels{"T(e1,e2)"})
        << tail << " before " << head;
  }
  EXPECT_EQ(convert(instance({relation("T", {"a", R"("-0")"}, {"b", "0"})}), instance({})).first,
            Labels{"T(e1,e2)"})
      << "equal offsets";
  // Other strings compare with strings alone, as text.
  EXPECT_EQ(
      convert(instance({relation("T", {"a", R"("b2")"}, {"b", R"("b10")"})}), instance({})).first,
      Labels{"T(e2,e1)"});
  for (const char* not_a_number : {R"("x")", R"("1.5")", R"(" 1")", R"("")", R"("-")"}) {
    EXPECT_EQ(message_of<TypeError>([&] {
                convert(instance({relation("T", {"a", not_a_number}, b)}), instance({}));
              }),
              "offset: cannot compare a string with an integer")
        << not_a_number;
  }
}

TEST(RelationMapper, ChecksArgumentsAndKeysInReadingOrder) {
  const std::string ok = instance({});
  auto error = [](const std::string& gold, const std::string& pred) {
    return [=] { convert(gold, pred); };
  };
  auto with = [](const std::string& relation_json) { return instance({relation_json}); };
  EXPECT_EQ(message_of<TypeError>(error("[]", ok)), "label: expected object, got array");
  EXPECT_EQ(message_of<TypeError>(error(ok, "3")), "prediction: expected object, got integer");
  EXPECT_EQ(message_of<KeyError>(error("{}", ok)), "'relations'");
  EXPECT_EQ(message_of<KeyError>(error(ok, "{}")), "'relations'");
  EXPECT_EQ(message_of<TypeError>(error(R"({"relations": {}})", ok)),
            "relations: expected array, got object");
  EXPECT_EQ(message_of<TypeError>(error(R"({"relations": [null]})", ok)),
            "relation: expected object, got null");
  EXPECT_EQ(message_of<KeyError>(error(R"({"relations": [{"tail": {}}]})", ok)), "'head'");
  EXPECT_EQ(message_of<TypeError>(error(R"({"relations": [{"head": "a"}]})", ok)),
            "head: expected object, got string");
  EXPECT_EQ(message_of<KeyError>(error(R"({"relations": [{"head": {}}]})", ok)), "'text'");
  EXPECT_EQ(message_of<KeyError>(error(R"({"relations": [{"head": {"text": "a"}}]})", ok)),
            "'offset'");
  EXPECT_EQ(message_of<KeyError>(
                error(R"({"relations": [{"head": {"text": "a", "offset": 0}, "tail": {}}]})", ok)),
            "'text'");
  EXPECT_EQ(message_of<KeyError>(error(R"({"relations": [{"head": {"text": "a", "offset": 0},
                                          "tail": {"text": "b"}}]})",
                                       ok)),
            "'offset'");
  EXPECT_EQ(message_of<TypeError>(error(with(relation("T", {"a", "1.5"}, b)), ok)),
            "offset: expected integer or string, got float");
  EXPECT_EQ(
      message_of<TypeError>(error(R"({"relations": [{"head": {"text": 7, "offset": 0}}]})", ok)),
      "text: expected string, got integer");
  EXPECT_EQ(
      message_of<ValueError>(error(with(relation("T", {"a", "18446744073709551615"}, b)), ok)),
      "offset: integer out of the 64-bit signed range");
  const std::string untyped =
      R"({"relations": [{"head": )" + mention(a) + R"(, "tail": )" + mention(b) + "}]}";
  EXPECT_EQ(message_of<KeyError>(error(untyped, ok)), "'type'");
  EXPECT_EQ(message_of<KeyError>(error(untyped, "{}")), "'relations'")
      << "both sides' pairs are gathered before any is labelled";
  const std::string numbered = R"({"relations": [{"head": )" + mention(a) + R"(, "tail": )" +
                               mention(b) + R"(, "type": 3}]})";
  EXPECT_EQ(message_of<TypeError>(error(numbered, ok)), "type: expected string, got integer");
}

// The driver keeps one vocabulary and two growing sequences for a whole data set.
TEST(RelationMapper, LabelIdsAreOnlyAppendedAndNotAppendedOnError) {
  Records records =
      Records::parse("[" + instance({relation("T", a, b)}) + ", " +
                     instance({relation("T", b, a), relation("U", a, c)}) + ", " +
                     instance({relation("T", a, b), relation("V", b, {"c", "\"c7\""})}) + "]");
  TagVocabulary vocabulary;
  const TagId earlier = vocabulary.intern("B-X");
  TagIdSequence gold{earlier, TagVocabulary::kOutside};
  TagIdSequence pred{TagVocabulary::kOutside};
  RelationMapper().convert_labels(records[0], records[1], 0, vocabulary, gold, pred);
  EXPECT_EQ(vocabulary.strings(gold), Labels({"B-X", "O", "T(e1,e2)", "na", "na"}));
  EXPECT_EQ(vocabulary.strings(pred), Labels({"O", "na", "T(e2,e1)", "U(e1,e2)"}));

  const TagIdSequence gold_before = gold, pred_before = pred;
  EXPECT_THROW(RelationMapper().convert_labels(records[2], records[0], 1, vocabulary, gold, pred),
               TypeError)
      << "the second gold pair compares an integer with a string";
  EXPECT_EQ(gold, gold_before);
  EXPECT_EQ(pred, pred_before);

  // The buffers the mapper keeps between calls hold nothing of the failed call.
  RelationMapper().convert_labels(records[0], records[1], 2, vocabulary, gold, pred);
  EXPECT_EQ(vocabulary.strings(gold),
            Labels({"B-X", "O", "T(e1,e2)", "na", "na", "T(e1,e2)", "na", "na"}));
}

TEST(RelationMapper, AMissingTypeIsReportedBeforeOffsetsThatCannotBeCompared) {
  const std::string untyped_mixed = R"({"relations": [{"head": )" + mention(a) + R"(, "tail": )" +
                                    mention({"b", "\"5\""}) + "}]}";
  EXPECT_EQ(message_of<KeyError>([&] { convert(untyped_mixed, instance({})); }), "'type'");
}

}  // namespace
}  // namespace nlpeval
