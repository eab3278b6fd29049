#include "nlpeval/evaluator/evaluates/srl_evaluate.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "nlpeval/core/errors.h"
#include "nlpeval/evaluator/evaluator.h"
#include "test_support.h"

namespace nlpeval {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::MatchesRegex;
using testing::message_of;
using ::testing::Not;
using ::testing::StartsWith;
using testing::TempFile;
using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStdout;

const std::string kReferenceDir = NLPEVAL_REFERENCE_DIR "/srl/";

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream contents;
  contents << in.rdbuf();
  return contents.str();
}

SrlResult score(const std::string& gold_props, const std::string& pred_props) {
  TempFile gold(gold_props, "gold.props");
  TempFile pred(pred_props, "pred.props");
  return srl_evaluate(conll_iterator(gold.path()), conll_iterator(pred.path()));
}

// The row of `type`, among the argument types or the excluded "V".
SrlCounts counts_of(const SrlResult& result, std::string_view type) {
  for (const auto* rows : {&result.types, &result.excluded}) {
    for (const SrlTypeCounts& row : *rows) {
      if (row.type == type) return row.counts;
    }
  }
  ADD_FAILURE() << "no row for " << type;
  return {};
}

std::vector<std::string> types_of(const SrlResult& result) {
  std::vector<std::string> types;
  for (const SrlTypeCounts& row : result.types) types.push_back(row.type);
  return types;
}

void expect_counts(const SrlCounts& counts, int64_t correct, int64_t excess, int64_t missed) {
  EXPECT_EQ(counts.correct, correct);
  EXPECT_EQ(counts.excess, excess);
  EXPECT_EQ(counts.missed, missed);
}

// ---------------------------------------------------------------------------------------
// The reference scorer's output, byte for byte

std::vector<nlohmann::json> reference_cases() {
  std::ifstream file(kReferenceDir + "cases.json");
  if (!file) return {};
  return nlohmann::json::parse(file).at("cases").get<std::vector<nlohmann::json>>();
}

class SrlReferenceCase : public ::testing::TestWithParam<nlohmann::json> {};

TEST(SrlReferenceFile, HoldsCases) { EXPECT_GE(reference_cases().size(), 5u); }

TEST_P(SrlReferenceCase, ReproducesTheScorersOutput) {
  const nlohmann::json& c = GetParam();
  SCOPED_TRACE(c.at("what").get<std::string>());
  const std::string gold = kReferenceDir + c.at("gold").get<std::string>();
  const std::string pred = kReferenceDir + c.at("pred").get<std::string>();
  const std::string expected = read_file(kReferenceDir + c.at("expected").get<std::string>());

  EXPECT_EQ(srl_evaluate(conll_iterator(gold), conll_iterator(pred)).to_string() + "\n", expected);

  CaptureStdout();
  EvaluateResult result = evaluate_file("srl", gold, pred);
  EXPECT_EQ(GetCapturedStdout(), expected);
  EXPECT_EQ(std::get<std::string>(result) + "\n", expected);
}

std::string case_name(const ::testing::TestParamInfo<nlohmann::json>& info) {
  std::string name = info.param.at("id").get<std::string>();
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return name;
}

INSTANTIATE_TEST_SUITE_P(SrlEval, SrlReferenceCase, ::testing::ValuesIn(reference_cases()),
                         case_name);

// ---------------------------------------------------------------------------------------
// Reading props files

TEST(ConllIterator, YieldsSentencesOfTokenRowsWithTheirFirstLine) {
  // A byte order mark, CRLF line ends, several blank (or white-space) lines between
  // sentences, spaces as separators, and no blank line after the last sentence.
  TempFile file(
      "\xEF\xBB\xBF-\t(A0*)\r\nsit\t(V*)\r\n\r\n  \r\n\n"
      "-  (A0*  *\nsay (V*)  *\n-   *)  (V*)\n");
  Records sentences = conll_iterator(file.path());
  ASSERT_EQ(sentences.size(), 2u);
  EXPECT_EQ(sentences[0].to_json(), R"x([["-","(A0*)"],["sit","(V*)"]])x");
  EXPECT_EQ(sentences[1].to_json(), R"x([["-","(A0*","*"],["say","(V*)","*"],["-","*)","(V*)"]])x");
  EXPECT_EQ(sentences.origin(0), file.path() + ":1");
  EXPECT_EQ(sentences.origin(1), file.path() + ":6");
}

TEST(ConllIterator, KeepsQuotesBackslashesAndControlCharactersOfTokens) {
  TempFile file("say\"\\\x01\t(V*)\n");
  Records sentences = conll_iterator(file.path());
  ASSERT_EQ(sentences.size(), 1u);
  EXPECT_EQ(sentences[0].to_json(), R"x([["say\"\\\u0001","(V*)"]])x");
}

TEST(ConllIterator, EmptyFilesHaveNoSentences) {
  TempFile empty("");
  TempFile blank("\n \n\r\n");
  EXPECT_TRUE(conll_iterator(empty.path()).empty());
  EXPECT_TRUE(conll_iterator(blank.path()).empty());
}

TEST(ConllIterator, RefusesMissingFilesAndInvalidUtf8) {
  EXPECT_EQ(message_of<FileError>([] { conll_iterator("/no/such/gold.props"); }),
            "cannot open '/no/such/gold.props': No such file or directory");
  TempFile file("-\t(A0*)\n\xff\t(V*)\n");
  const std::string folder = std::filesystem::path(file.path()).parent_path().string();
  EXPECT_EQ(message_of<FileError>([&] { conll_iterator(folder); }),
            "cannot read '" + folder + "': it is a directory");
  EXPECT_EQ(message_of<ValueError>([&] { conll_iterator(file.path()); }),
            file.path() + ":2: invalid UTF-8");
}

// ---------------------------------------------------------------------------------------
// Scoring

constexpr const char* kSitGold =
    "-\t(A0*\n"
    "-\t*)\n"
    "sit\t(V*)\n"
    "-\t(AM-LOC*\n"
    "-\t*)\n";

TEST(SrlEvaluate, EmptyFilesGiveTheEmptySummary) {
  EXPECT_EQ(score("", "").to_string(),
            "Number of Sentences    :           0\n"
            "Number of Propositions :           0\n"
            "Percentage of perfect props :   0.00\n"
            "\n"
            "              corr.  excess  missed    prec.    rec.      F1\n"
            "------------------------------------------------------------\n"
            "   Overall        0       0       0     0.00    0.00    0.00\n"
            "----------\n"
            "------------------------------------------------------------\n"
            "------------------------------------------------------------");
  EXPECT_THAT(message_of<ValueError>([] { score("", kSitGold); }),
              HasSubstr("sentence 1 is missing from the gold"));
}

TEST(SrlEvaluate, TypesAreRowsInByteOrderAndLongNamesAreNotCut) {
  SrlResult result =
      score("-\t(a0*)\n-\t(R-A0*)\n-\t(AM-TMP*)\n-\t(ARGM-PURPOSE*)\nrun\t(V*)\n-\t(A0*)\n",
            "-\t(a0*)\n-\t(R-A0*)\n-\t*\n-\t(ARGM-PURPOSE*)\nrun\t(V*)\n-\t(A0*)\n");
  EXPECT_THAT(types_of(result), ElementsAre("A0", "AM-TMP", "ARGM-PURPOSE", "R-A0", "a0"));
  EXPECT_THAT(result.to_string(), HasSubstr("\nARGM-PURPOSE        1       0       0   100.00"));
  EXPECT_THAT(result.to_string(), HasSubstr("\n    AM-TMP        0       0       1     0.00"));
  expect_counts(result.overall, 4, 0, 1);
}

TEST(SrlEvaluate, ContinuationsJoinTheLastArgumentOfTheirBaseType) {
  const std::string gold =
      "-\t(A1*)\n"
      "-\t(C-A1*)\n"
      "say\t(V*)\n"
      "-\t(A1*)\n"
      "-\t(C-A1*)\n"
      "-\t(C-A1*)\n";
  // Both A1 with their pieces: two correct A1, and no C-A1 row.
  SrlResult same = score(gold, gold);
  expect_counts(counts_of(same, "A1"), 2, 0, 0);
  EXPECT_THAT(types_of(same), ElementsAre("A1"));

  // A piece missing or moved makes the whole argument wrong.
  SrlResult wrong = score(gold,
                          "-\t(A1*)\n"
                          "-\t(C-A1*)\n"
                          "say\t(V*)\n"
                          "-\t(A1*)\n"
                          "-\t(C-A1*)\n"
                          "-\t*\n");
  expect_counts(counts_of(wrong, "A1"), 1, 1, 1);
  EXPECT_EQ(wrong.perfect_propositions, 0);
}

TEST(SrlEvaluate, AContinuationWithoutItsBaseIsScoredAsItsBaseType) {
  // As the CoNLL-2005 scorer reads it: a "C-A1" with no "A1" before it starts an "A1".
  SrlResult alone = score("-\t(C-A1*)\nsay\t(V*)\n", "-\t(A1*)\nsay\t(V*)\n");
  expect_counts(counts_of(alone, "A1"), 1, 0, 0);
  EXPECT_THAT(types_of(alone), ElementsAre("A1"));

  SrlResult moved = score("-\t(A1*)\nsay\t(V*)\n-\t*\n", "-\t*\nsay\t(V*)\n-\t(C-A1*)\n");
  expect_counts(counts_of(moved, "A1"), 0, 1, 1);
  EXPECT_THAT(types_of(moved), ElementsAre("A1"));

  // A continuation before its base starts an argument of its own; the base a second one.
  SrlResult before = score("-\t(C-A1*)\nsay\t(V*)\n-\t(A1*)\n-\t(C-A1*)\n",
                           "-\t(A1*)\nsay\t(V*)\n-\t(A1*)\n-\t(C-A1*)\n");
  expect_counts(counts_of(before, "A1"), 2, 0, 0);
  EXPECT_THAT(types_of(before), ElementsAre("A1"));
}

TEST(SrlEvaluate, NestedAndTypedClosingBracketsAreRead) {
  // "(A0(A1*" opens two arguments, "*A1)" and "*)" close them innermost first.
  const std::string gold = "-\t(A0(A1*\n-\t*A1)\n-\t*)\nrun\t(V*V)\n";
  SrlResult result = score(gold, gold);
  expect_counts(result.overall, 2, 0, 0);
  expect_counts(counts_of(result, "V"), 1, 0, 0);
}

TEST(SrlEvaluate, MissingOrDifferentPredictedVerbsMissAllGoldArguments) {
  // The prediction has no proposition for "sit".
  SrlResult missing = score(kSitGold, "-\n-\n-\n-\n-\n");
  EXPECT_EQ(missing.propositions, 1);
  expect_counts(missing.overall, 0, 0, 2);
  expect_counts(counts_of(missing, "V"), 0, 0, 1);

  // Another verb at the same token: its arguments are not counted as excess either.
  SrlResult other = score(kSitGold, "-\t(A0*\n-\t*)\nstand\t(V*)\n-\t(AM-LOC*\n-\t*)\n");
  expect_counts(other.overall, 0, 0, 2);
  expect_counts(counts_of(other, "V"), 0, 0, 1);
  EXPECT_EQ(other.perfect_propositions, 0);
}

TEST(SrlEvaluate, ExtraPredictedPropositionsAreNotScored) {
  SrlResult result = score(kSitGold,
                           "-\t(A0*\t*\n"
                           "-\t*)\t*\n"
                           "sit\t(V*)\t(A1*)\n"
                           "-\t(AM-LOC*\t*\n"
                           "walk\t*)\t(V*)\n");
  EXPECT_EQ(result.propositions, 1);
  EXPECT_EQ(result.perfect_propositions, 1);
  expect_counts(result.overall, 2, 0, 0);
  EXPECT_THAT(types_of(result), ElementsAre("A0", "AM-LOC"));
}

TEST(SrlEvaluate, PerfectPropositionsIgnoreTheVerbArgument) {
  SrlResult result = score(kSitGold, "-\t(A0*\n-\t*)\nsit\t*\n-\t(AM-LOC*\n-\t*)\n");
  EXPECT_EQ(result.perfect_propositions, 1);
  expect_counts(counts_of(result, "V"), 0, 0, 1);
  EXPECT_THAT(result.to_string(), HasSubstr("Percentage of perfect props : 100.00\n"));
}

// ---------------------------------------------------------------------------------------
// Bad input

// The message of the ValueError that scoring the second sentence of `pred` against the
// second sentence of `gold` raises; the first sentences are fine.
std::string failure_in_second_sentence(const std::string& gold, const std::string& pred) {
  const std::string first = "-\t(A0*)\nrun\t(V*)\n\n";
  return message_of<ValueError>([&] { score(first + gold, first + pred); });
}

TEST(SrlEvaluate, MalformedBracketsNameSentenceTokenAndColumn) {
  struct Case {
    const char* column;  // the tags of the second sentence's only proposition
    const char* message;
  };
  const Case cases[] = {
      {"(A0*\n(V*)\n*\n*\n", "token 1, column 2: argument 'A0' is opened here and never closed"},
      {"(A0*\n(V*)\n*)\n*)\n", "token 4, column 2: '*)' closes an argument that was never opened"},
      {"(A0*\n(V*)\n*A1)\n*\n",
       "token 3, column 2: '*A1)' closes 'A1' but the open argument is 'A0'"},
      {"A0\n(V*)\n*\n*\n", "token 1, column 2: not a bracket tag: 'A0'"},
      {"*\n(V*)\n(A0\n*\n", "token 3, column 2: not a bracket tag: '(A0'"},
      {"*\n(V*)\n(*)\n*\n", "token 3, column 2: not a bracket tag: '(*)'"},
      {"*\n(V*)\n**\n*\n", "token 3, column 2: not a bracket tag: '**'"},
      {"*\n(V*)\n(A0*)x\n*\n", "token 3, column 2: not a bracket tag: '(A0*)x'"},
      {"*\n(V*)\n-\n*\n", "token 3, column 2: not a bracket tag: '-'"},
  };
  for (const Case& c : cases) {
    std::string tags = c.column;
    std::string gold;
    for (int token = 0; token < 4; ++token) {
      size_t end = tags.find('\n');
      gold += (token == 1 ? "run\t" : "-\t") + tags.substr(0, end) + "\n";
      tags.erase(0, end + 1);
    }
    std::string message = failure_in_second_sentence(gold, gold);
    EXPECT_THAT(message, StartsWith("gold sentence 2 (starting at ")) << c.column;
    EXPECT_THAT(message, HasSubstr(c.message)) << c.column;
  }
}

TEST(SrlEvaluate, LongTagsAreQuotedInPart) {
  const std::string tag = "(" + std::string(200, 'A');
  std::string message = failure_in_second_sentence("run\t" + tag + "\n", "run\t" + tag + "\n");
  EXPECT_THAT(message, HasSubstr(tag.substr(0, 80) + "...'"));
  EXPECT_THAT(message, Not(HasSubstr(tag.substr(0, 81))));
  EXPECT_LT(message.size(), 250u);
}

TEST(SrlEvaluate, RowsAndColumnsMustAgree) {
  EXPECT_THAT(failure_in_second_sentence("-\t*\nrun\t(V*)\n-\n", "-\t*\nrun\t(V*)\n-\t*\n"),
              MatchesRegex("gold sentence 2 \\(starting at .*gold.props:4\\), token 3: 1 column, "
                           "but token 1 has 2 columns"));
  EXPECT_THAT(failure_in_second_sentence("-\t*\nrun\t(V*)\n-\t*\n", "-\t*\nrun\t(V*)\n-\n"),
              HasSubstr(", token 3: 1 column, but token 1 has 2 columns"));
  EXPECT_THAT(failure_in_second_sentence("-\t*\t*\nrun\t(V*)\t*\n", "-\t*\nrun\t(V*)\n"),
              HasSubstr(": column 1 names 1 target verb(s), but there are 2 argument column(s)"));
}

TEST(SrlEvaluate, GoldAndPredictedTokenCountsMustAgree) {
  std::string message = failure_in_second_sentence("-\t*\nrun\t(V*)\n-\t*\n", "-\t*\nrun\t(V*)\n");
  EXPECT_THAT(message, StartsWith("gold sentence 2 (starting at "));
  EXPECT_THAT(message, HasSubstr(", token 3: gold has 3 tokens, prediction has 2; this token is "
                                 "missing from the prediction"));
  message = failure_in_second_sentence("-\t*\nrun\t(V*)\n", "-\t*\nrun\t(V*)\n-\t*\n");
  EXPECT_THAT(message, StartsWith("prediction sentence 2 (starting at "));
  EXPECT_THAT(message, HasSubstr(", token 3: gold has 2 tokens, prediction has 3"));
}

TEST(SrlEvaluate, RecordsOfTheWrongShapeAreTypeErrors) {
  Records gold = Records::parse(R"x([[["-", "(A0*)"], ["run", "(V*)"]]])x");
  const char* bad[][2] = {
      {R"x([{"tokens": []}])x", "prediction sentence 1: expected array, got object"},
      {R"x([[["-", "(A0*)"], "run"]])x",
       "prediction sentence 1, token 2: expected array, got string"},
      {R"x([[["-", 1], ["run", "(V*)"]]])x",
       "prediction sentence 1, token 1, column 2: expected string, got integer"},
  };
  for (const auto& [json, message] : bad) {
    Records pred = Records::parse(json);
    EXPECT_EQ(message_of<TypeError>([&] { srl_evaluate(gold, pred); }), message) << json;
  }
  Records no_columns = Records::parse(R"x([[[], ["run", "(V*)"]]])x");
  EXPECT_EQ(message_of<ValueError>([&] { srl_evaluate(gold, no_columns); }),
            "prediction sentence 1, token 1: a token without columns");
  // A sentence without tokens has no propositions.
  Records empty = Records::parse("[[]]");
  EXPECT_EQ(srl_evaluate(empty, empty).sentences, 1);
}

}  // namespace
}  // namespace nlpeval
