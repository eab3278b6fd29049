#include "nlpeval/evaluator/badcase/span_tools.h"

#include <gtest/gtest.h>

#include <ostream>
#include <random>

#include "nlpeval/core/errors.h"
#include "test_support.h"

namespace nlpeval {

void PrintTo(const TypedStringSpan& span, std::ostream* out) {
  *out << "(" << span.type << ", (" << span.start << ", " << span.end << "))";
}

namespace {

using testing::message_of;
using Spans = std::vector<TypedStringSpan>;
using Pairs = std::vector<SpanPair>;

std::string error_of(const TagSequence& gold, const TagSequence& pred) {
  return message_of<ValueError>([&] { align_spans(gold, pred); });
}

TEST(Iob1TagsToSpans, ChunksStartAtBAtIAfterOAndAtATypeChange) {
  EXPECT_EQ(iob1_tags_to_spans({"B-PER", "I-PER", "O", "B-LOC"}),
            Spans({{"PER", 0, 1}, {"LOC", 3, 3}}));
  EXPECT_EQ(iob1_tags_to_spans({"I-PER", "I-PER"}), Spans({{"PER", 0, 1}}));
  EXPECT_EQ(iob1_tags_to_spans({"B-PER", "I-LOC"}), Spans({{"PER", 0, 0}, {"LOC", 1, 1}}));
  EXPECT_EQ(iob1_tags_to_spans({"B-PER", "B-PER"}), Spans({{"PER", 0, 0}, {"PER", 1, 1}}));
  EXPECT_EQ(iob1_tags_to_spans({"O", "I-X", "O", "I-X"}), Spans({{"X", 1, 1}, {"X", 3, 3}}));
  EXPECT_EQ(iob1_tags_to_spans({"O", "O"}), Spans());
  EXPECT_EQ(iob1_tags_to_spans({}), Spans());
  // The second character is skipped whatever it is, a multi-byte one included.
  EXPECT_EQ(iob1_tags_to_spans({"B", "I北京", "I_京"}), Spans({{"", 0, 0}, {"京", 1, 2}}));
  EXPECT_EQ(iob1_tags_to_spans({"B-PER", "I-PER", "B-LOC"}, {{"PER"}}), Spans({{"LOC", 2, 2}}));
  EXPECT_EQ(iob1_tags_to_spans({"B-LOC", "B-PER", "I-LOC"}, {{"PER"}}),
            Spans({{"LOC", 0, 0}, {"LOC", 2, 2}}));
}

TEST(AlignSpans, RejectsBadLettersEmptyTagsAndBareSOrEGoldFirst) {
  EXPECT_EQ(error_of({"O"}, {"B-PER", "X-PER"}), "['B-PER', 'X-PER'] is invalid tag sequence");
  EXPECT_EQ(error_of({"北-X", "b-X"}, {"O"}), "['北-X', 'b-X'] is invalid tag sequence");
  EXPECT_EQ(error_of({"E-X"}, {"S-X"}), "['E-X'] is invalid tag sequence");
  EXPECT_EQ(error_of({"B-X", "E"}, {"B-X", "O"}), "invalid BIO tag sequence");
  EXPECT_EQ(error_of({"S"}, {"X"}), "invalid BIO tag sequence");
  EXPECT_EQ(error_of({"O"}, {"S"}), "['S'] is invalid tag sequence");
  EXPECT_THROW(align_spans({"O"}, {"O", ""}), IndexError);
}

TEST(AlignSpans, PairsByEndpointsGoldByGoldThenUnmatchedPredictions) {
  const TypedStringSpan gold{"PER", 2, 4}, p{"Y", 1, 3};
  const TagSequence gold_tags = {"O", "O", "B-PER", "I-PER", "I-PER", "O", "O"};
  EXPECT_EQ(align_spans(gold_tags, {"O", "O", "O", "B-PER", "I-PER", "I-PER", "I-PER"}),
            Pairs({{gold, TypedStringSpan{"PER", 3, 6}}}));
  EXPECT_EQ(align_spans(gold_tags, {"O", "O", "O", "O", "O", "B-PER", "I-PER"}),
            Pairs({{gold, {}}, {{}, TypedStringSpan{"PER", 5, 6}}}));
  // A prediction strictly covering a gold span shares no endpoint with it.
  EXPECT_EQ(align_spans({"O", "O", "B-PER", "I-PER", "O", "O"},
                        {"O", "B-PER", "I-PER", "I-PER", "I-PER", "I-PER"}),
            Pairs({{TypedStringSpan{"PER", 2, 3}, {}}, {{}, TypedStringSpan{"PER", 1, 5}}}));
  EXPECT_EQ(align_spans({"B-X", "I-X", "O", "B-X", "I-X"}, {"O", "B-Y", "I-Y", "I-Y", "O"}),
            Pairs({{TypedStringSpan{"X", 0, 1}, p}, {TypedStringSpan{"X", 3, 4}, p}}));
}

// The pairing rule applied literally: every gold span against every predicted one.
Pairs align_by_brute_force(const Spans& gold, const Spans& pred) {
  Pairs pairs;
  std::vector<bool> matched(pred.size());
  for (const TypedStringSpan& g : gold) {
    const size_t before = pairs.size();
    auto within = [&](size_t at) { return g.start <= at && at <= g.end; };
    for (size_t k = 0; k < pred.size(); ++k) {
      if (!within(pred[k].start) && !within(pred[k].end)) continue;
      pairs.emplace_back(g, pred[k]);
      matched[k] = true;
    }
    if (pairs.size() == before) pairs.emplace_back(g, std::nullopt);
  }
  for (size_t k = 0; k < pred.size(); ++k) {
    if (!matched[k]) pairs.emplace_back(std::nullopt, pred[k]);
  }
  return pairs;
}

TEST(AlignSpans, AgreesWithTheRuleAppliedToEveryPairOfSpans) {
  std::mt19937 random(20240611);
  const char* tags[] = {"O", "B-X", "I-X", "B-Y", "I-Y"};
  auto random_tags = [&](size_t size) {
    TagSequence sequence(size);
    for (std::string& tag : sequence) tag = tags[random() % 5];
    return sequence;
  };
  for (int round = 0; round < 2000; ++round) {
    const TagSequence gold = random_tags(random() % 12), pred = random_tags(gold.size());
    ASSERT_EQ(align_spans(gold, pred),
              align_by_brute_force(iob1_tags_to_spans(gold), iob1_tags_to_spans(pred)))
        << ::testing::PrintToString(gold) << " vs " << ::testing::PrintToString(pred);
  }
}

}  // namespace
}  // namespace nlpeval
