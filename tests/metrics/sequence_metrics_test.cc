#include "nlpeval/metrics/sequence_metrics.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <nlohmann/json.hpp>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "nlpeval/core/errors.h"
#include "test_support.h"

namespace nlpeval::metrics::seq {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using testing::message_of;

using Sequences = std::vector<TagSequence>;
using Labels = std::optional<std::vector<std::string>>;

// The report of a data set with nothing to score.
constexpr const char* kEmptyReport =
    "              precision    recall  f1-score   support\n"
    "\n"
    "\n"
    "   micro avg       0.00      0.00      0.00         0\n"
    "   macro avg       0.00      0.00      0.00         0\n"
    "weighted avg       0.00      0.00      0.00         0\n";

// ---------------------------------------------------------------------------------------
// The reference cases, each checked through the four scorers and through score().

std::vector<nlohmann::json> reference_cases() {
  std::ifstream file(NLPEVAL_REFERENCE_DIR "/sequence_scores.json");
  if (!file) return {};
  return nlohmann::json::parse(file).at("cases").get<std::vector<nlohmann::json>>();
}

class SequenceReferenceCase : public ::testing::TestWithParam<nlohmann::json> {};

TEST(SequenceReferenceFile, HoldsCases) { EXPECT_GE(reference_cases().size(), 50u); }

TEST_P(SequenceReferenceCase, ReproducesScoresAndReport) {
  const nlohmann::json& c = GetParam();
  SCOPED_TRACE(c.at("what").get<std::string>());
  auto y_true = c.at("y_true").get<Sequences>();
  auto y_pred = c.at("y_pred").get<Sequences>();
  Labels labels;
  if (!c.at("labels").is_null()) labels = c.at("labels").get<std::vector<std::string>>();
  const nlohmann::json& expected = c.at("expected");

  if (expected.contains("raises")) {
    auto kind = expected.at("raises").get<std::string>();
    auto expect_raises = [&](auto&& call) {
      try {
        call();
        ADD_FAILURE() << "threw nothing";
      } catch (const Error& error) {
        EXPECT_EQ(error.kind(), kind) << error.what();
      }
    };
    expect_raises([&] { precision_score(y_true, y_pred, labels); });
    expect_raises([&] { recall_score(y_true, y_pred, labels); });
    expect_raises([&] { f1_score(y_true, y_pred, labels); });
    expect_raises([&] { classification_report(y_true, y_pred, labels); });
    expect_raises([&] { score(y_true, y_pred, labels); });
    return;
  }

  // Micro values are exact: they are single divisions of counts.
  ScoreResult result = score(y_true, y_pred, labels);
  EXPECT_EQ(result.precision, expected.at("precision").get<double>());
  EXPECT_EQ(result.recall, expected.at("recall").get<double>());
  EXPECT_EQ(result.f1, expected.at("f1").get<double>());
  EXPECT_EQ(result.classification_report, expected.at("classification_report").get<std::string>());

  EXPECT_EQ(precision_score(y_true, y_pred, labels), result.precision);
  EXPECT_EQ(recall_score(y_true, y_pred, labels), result.recall);
  EXPECT_EQ(f1_score(y_true, y_pred, labels), result.f1);
  EXPECT_EQ(classification_report(y_true, y_pred, labels), result.classification_report);
}

std::string case_name(const ::testing::TestParamInfo<nlohmann::json>& info) {
  std::string name = info.param.at("id").get<std::string>();
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return name;
}

INSTANTIATE_TEST_SUITE_P(SequenceScores, SequenceReferenceCase,
                         ::testing::ValuesIn(reference_cases()), case_name);

// ---------------------------------------------------------------------------------------
// Chunk decoding beyond the reference cases.

TEST(GetChunks, GivesTypeAndHalfOpenSpanInOrder) {
  EXPECT_THAT(get_chunks({"B-PER", "I-PER", "O", "B-LOC"}),
              ElementsAre(Chunk{"PER", 0, 2}, Chunk{"LOC", 3, 4}));
  EXPECT_THAT(get_chunks({}), ElementsAre());
  EXPECT_THAT(get_chunks({"O", "O"}), ElementsAre());
}

TEST(GetChunks, EndAndSingleTagsCloseTheirChunk) {
  // E and S end a chunk whatever follows; I or E right after them starts a new one.
  EXPECT_THAT(get_chunks({"B-A", "E-A", "E-A"}), ElementsAre(Chunk{"A", 0, 2}, Chunk{"A", 2, 3}));
  EXPECT_THAT(get_chunks({"S-A", "I-A", "S-A", "S-A"}),
              ElementsAre(Chunk{"A", 0, 1}, Chunk{"A", 1, 2}, Chunk{"A", 2, 3}, Chunk{"A", 3, 4}));
  // E after O starts a chunk; B after B, or S after I, ends one.
  EXPECT_THAT(get_chunks({"O", "E-A", "B-A", "B-A", "I-A", "S-A"}),
              ElementsAre(Chunk{"A", 1, 2}, Chunk{"A", 2, 3}, Chunk{"A", 3, 5}, Chunk{"A", 5, 6}));
}

TEST(GetChunks, TypeIsWhatFollowsTheFirstHyphenAfterThePrefix) {
  // A prefix of several UTF-8 bytes is one character: "人名" reads prefix 人, type 名.
  EXPECT_THAT(get_chunks({"人名", "人名", "O"}), ElementsAre(Chunk{"名", 0, 2}));
  EXPECT_THAT(get_chunks({"B-地-名", "I-地-名"}), ElementsAre(Chunk{"地-名", 0, 2}));
  // Nothing after the prefix, or after the hyphen, is the type "_".
  EXPECT_THAT(get_chunks({"B", "I-", "B-"}), ElementsAre(Chunk{"_", 0, 2}, Chunk{"_", 2, 3}));
}

TEST(GetChunks, AnIAfterADotStartsNothing) {
  // Unlike "O", "." does not let a following I start a chunk: the chunk begins at 0.
  EXPECT_THAT(get_chunks({".-A", "I-A"}), ElementsAre(Chunk{"A", 0, 2}));
  EXPECT_THAT(get_chunks({"O-A", "I-A"}), ElementsAre(Chunk{"A", 1, 2}));
}

TEST(GetChunks, MalformedUtf8NeitherCrashesNorReadsPastTheTag) {
  EXPECT_THAT(get_chunks({"\xE4", "\xE4\xBA-A"}), ElementsAre(Chunk{"_", 0, 1}, Chunk{"A", 1, 2}));
  EXPECT_THAT(get_chunks({"\x80\x80-A", "\xFF"}), ElementsAre(Chunk{"A", 0, 1}));
}

TEST(CountChunks, ChunkWithoutAStartReachesBackAcrossSequences) {
  // "X" after "O" starts nothing (both types are "_"); the chunk that "B-B" ends therefore
  // begins at the latest start: tag 1 of the first gold sequence, the stream start for the
  // prediction. The spans differ, so that chunk is not correct.
  Sequences gold = {{"O", "B-A"}, {"X", "B-B"}};
  Sequences pred = {{"O", "O"}, {"X", "B-B"}};
  EXPECT_THAT(
      count_chunks(gold, pred),
      ElementsAre(TypeCounts{"A", 1, 0, 0}, TypeCounts{"B", 1, 1, 1}, TypeCounts{"_", 1, 1, 0}));
  EXPECT_THAT(
      count_chunks(gold, gold),
      ElementsAre(TypeCounts{"A", 1, 1, 1}, TypeCounts{"B", 1, 1, 1}, TypeCounts{"_", 1, 1, 1}));
}

// Counting pairs of id sequences as they come must give what count_chunks gives for the whole
// data set as strings, including chunks that reach back across sequences and tags of every
// odd shape.
TEST(ChunkCounter, CountsWhatCountChunksCountsForTheSameSequences) {
  const std::vector<std::string> kTags = {"O",    "B-A", "I-A", "E-A", "S-A", "B-B",
                                          "I-B",  "X",   ".",   "B",   "I-",  "A-B",
                                          "人名", "B_A", ".-A", "E-B", "S-B", "b-A"};
  std::mt19937 random(7);
  for (int round = 0; round < 200; ++round) {
    TagVocabulary vocabulary;
    ChunkCounter counter(vocabulary);
    Sequences gold;
    Sequences pred;
    for (size_t k = random() % 6; k > 0; --k) {
      TagIdSequence gold_ids;
      TagIdSequence pred_ids;
      for (size_t i = random() % 7; i > 0; --i) {
        gold_ids.push_back(vocabulary.intern(kTags[random() % kTags.size()]));
        pred_ids.push_back(vocabulary.intern(kTags[random() % kTags.size()]));
      }
      counter.add(gold_ids, pred_ids);  // the vocabulary grows between calls
      gold.push_back(vocabulary.strings(gold_ids));
      pred.push_back(vocabulary.strings(pred_ids));
    }
    ASSERT_EQ(counter.counts(), count_chunks(gold, pred)) << "round " << round;
  }
}

TEST(ChunkCounter, RefusesWhatTheListScorersRefuse) {
  TagVocabulary vocabulary;
  const TagId begin = vocabulary.intern("B-A");
  const TagId empty = vocabulary.intern("");
  ChunkCounter counter(vocabulary);
  counter.add(std::vector<TagId>{begin}, std::vector<TagId>{begin});
  EXPECT_THAT(message_of<ValueError>([&] {
                counter.add(std::vector<TagId>{begin, begin}, std::vector<TagId>{begin});
              }),
              HasSubstr("instance 2: the gold sequence has 2 tags, the predicted one 1"));
  ChunkCounter fresh(vocabulary);
  EXPECT_THAT(message_of<ValueError>([&] {
                fresh.add(std::vector<TagId>{begin, empty}, std::vector<TagId>{begin, begin});
              }),
              HasSubstr("tag 2 of instance 1 is empty"));
}

TEST(CountChunks, CountsPerTypeSortedByteWise) {
  Sequences gold = {{"B-机构", "I-机构", "B-PER"}, {"B-LOC", "O"}};
  Sequences pred = {{"B-机构", "I-机构", "B-LOC"}, {"B-LOC", "I-LOC"}};
  EXPECT_THAT(count_chunks(gold, pred),
              ElementsAre(TypeCounts{"LOC", 1, 2, 0}, TypeCounts{"PER", 1, 0, 0},
                          TypeCounts{"机构", 1, 1, 1}));
}

// ---------------------------------------------------------------------------------------
// Label lists, empty data and failures.

TEST(SequenceScores, NothingToScoreGivesZerosAndAnEmptyReport) {
  for (const Labels& labels : {Labels{}, Labels{std::vector<std::string>{}}}) {
    ScoreResult result = score({}, {}, labels);
    EXPECT_EQ(result, (ScoreResult{0.0, 0.0, 0.0, kEmptyReport}));
  }
}

TEST(SequenceScores, ListedTypesCountAsOftenAsListed) {
  Sequences gold = {{"B-A", "O", "B-B"}};
  Sequences pred = {{"B-A", "O", "B-C"}};
  // A is right, B missed: listing A twice weighs it twice in the micro figures.
  EXPECT_DOUBLE_EQ(recall_score(gold, pred, std::vector<std::string>{"A", "B"}), 0.5);
  EXPECT_DOUBLE_EQ(recall_score(gold, pred, std::vector<std::string>{"A", "A", "B"}), 2.0 / 3);
  EXPECT_THAT(classification_report(gold, pred, std::vector<std::string>{"A", "A"}),
              HasSubstr("           A       1.00      1.00      1.00         1\n"
                        "           A       1.00      1.00      1.00         1\n"));
}

TEST(SequenceScores, ReportHonoursDigits) {
  Sequences gold = {{"B-A", "O", "B-A", "B-A"}};
  Sequences pred = {{"B-A", "O", "O", "B-A"}};
  EXPECT_EQ(classification_report(gold, pred, std::nullopt, 4),
            "              precision    recall  f1-score   support\n"
            "\n"
            "           A     1.0000    0.6667    0.8000         3\n"
            "\n"
            "   micro avg     1.0000    0.6667    0.8000         3\n"
            "   macro avg     1.0000    0.6667    0.8000         3\n"
            "weighted avg     1.0000    0.6667    0.8000         3\n");
}

TEST(SequenceScores, UnequalShapesNameTheInstanceAndBothLengths) {
  EXPECT_THAT(message_of<ValueError>([] {
                score({{"O"}, {"O"}}, {{"O"}});
              }),
              HasSubstr("different numbers of sequences: 2 and 1"));
  std::string message = message_of<ValueError>([] {
    score({{"O"}, {"B-A", "I-A", "O"}}, {{"O"}, {"B-A", "I-A"}});
  });
  EXPECT_THAT(message, HasSubstr("instance 2"));
  EXPECT_THAT(message, HasSubstr("3 tags"));
  EXPECT_THAT(message, HasSubstr("predicted one 2"));
}

TEST(SequenceScores, AnEmptyTagIsAValueErrorNamingItsPlace) {
  EXPECT_EQ(message_of<ValueError>([] {
              score({{"O"}, {"B-A", ""}}, {{"O"}, {"B-A", "O"}});
            }),
            "tag 2 of instance 2 is empty");
  EXPECT_EQ(message_of<ValueError>([] { get_chunks({""}); }), "tag 1 is empty");
}

}  // namespace
}  // namespace nlpeval::metrics::seq
