#include "nlpeval/evaluator/evaluates/dp_score_files.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <numeric>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "nlpeval/core/errors.h"
#include "nlpeval/core/progress.h"
#include "nlpeval/evaluator/evaluates/dp_score.h"
#include "nlpeval/evaluator/evaluator.h"
#include "test_support.h"

namespace nlpeval {
namespace {

using ::testing::HasSubstr;
using testing::message_of;
using testing::TempFile;
using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStdout;

// What one scoring told: the printed table and the JSON form, or the error.
struct Outcome {
  std::string printed;
  std::string json;
  std::string error;  // "IndexError: y_pred line 3: ..."

  bool operator==(const Outcome&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Outcome& outcome) {
  return out << "printed:\n"
             << outcome.printed << "json: " << outcome.json << "\nerror: " << outcome.error;
}

Outcome outcome_of(const std::function<DpResult()>& score) {
  Outcome outcome;
  CaptureStdout();
  try {
    outcome.json = score().to_json().dump();
  } catch (const Error& error) {
    outcome.error = std::string(error.kind()) + ": " + error.what();
  }
  outcome.printed = GetCapturedStdout();
  return outcome;
}

// Both files read whole, then scored.
Outcome in_memory(const std::string& gold, const std::string& pred) {
  return outcome_of([&] { return dp_score(read_conll(gold), read_conll(pred)); });
}

Outcome streamed(const std::string& gold, const std::string& pred) {
  return outcome_of([&] { return dp_score_files(gold, pred).result; });
}

void expect_same_outcome(const std::string& gold, const std::string& pred) {
  const Outcome expected = in_memory(gold, pred);
  EXPECT_EQ(streamed(gold, pred), expected);
}

void expect_same_outcome_of_texts(const std::string& gold, const std::string& pred) {
  TempFile gold_file(gold, "gold.conll");
  TempFile pred_file(pred, "pred.conll");
  expect_same_outcome(gold_file.path(), pred_file.path());
}

std::string read_text(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The treebank with its last two columns blanked, so that its words are scored: about 1.8 MB,
// several chunks of the reader.
std::string ten_column_treebank() {
  std::istringstream raw(read_text(NLPEVAL_TEST_DATA "/ud/en_ewt-ud-dev.conllu"));
  std::string text;
  for (std::string line; std::getline(raw, line);) {
    const size_t last = line.rfind('\t');
    if (last != std::string::npos && last > 0) {
      line = line.substr(0, line.rfind('\t', last - 1)) + "\t_\t_";
    }
    text += line + '\n';
  }
  return text;
}

// A prediction made from `gold`: some heads and labels changed, some lines cut short or made
// of other bytes, as `kinds` allows. Seeded, so every run sees the same text.
enum Change : unsigned { heads = 1, labels = 2, short_lines = 4, bad_bytes = 8 };

std::string changed(const std::string& gold, unsigned kinds, unsigned seed, double rate) {
  std::mt19937 random(seed);
  std::bernoulli_distribution hit(rate);
  std::istringstream lines(gold);
  std::string pred;
  for (std::string line; std::getline(lines, line);) {
    std::vector<std::string> fields;
    std::istringstream split(line);
    for (std::string field; std::getline(split, field, '\t');) fields.push_back(field);
    if (fields.size() == 10) {
      if ((kinds & heads) && hit(random)) fields[6] = std::to_string(random() % 30);
      if ((kinds & labels) && hit(random)) fields[7] = random() % 2 ? "obj" : "nsubj";
      if ((kinds & short_lines) && hit(random)) fields.resize(3);
      if ((kinds & bad_bytes) && hit(random)) fields[1] = "\xC3\x28";
      line.clear();
      for (size_t i = 0; i < fields.size(); ++i) line += (i ? "\t" : "") + fields[i];
    }
    pred += line + '\n';
  }
  return pred;
}

// ---- the two roads agree --------------------------------------------------------------------

TEST(DpScoreFiles, AgreesWithScoringInMemoryOnTheExamples) {
  const std::string examples = NLPEVAL_TEST_DATA "/../../examples/dp/";
  expect_same_outcome(examples + "gold.conll", examples + "pred.conll");
  expect_same_outcome(examples + "pred.conll", examples + "gold.conll");
  expect_same_outcome(examples + "gold.conll", examples + "gold.conll");
  // CoNLL-U fills the last two columns: nothing is scored, the labels are still listed.
  const std::string treebank = NLPEVAL_TEST_DATA "/ud/en_ewt-ud-dev.conllu";
  expect_same_outcome(treebank, treebank);
}

TEST(DpScoreFiles, AgreesWithScoringInMemoryOnChangedTreebanks) {
  const std::string gold = ten_column_treebank();
  expect_same_outcome_of_texts(gold, gold);
  expect_same_outcome_of_texts(gold, changed(gold, heads | labels, 1, 0.2));
  // Errors: short predicted lines, bad bytes in either file.
  expect_same_outcome_of_texts(gold, changed(gold, heads | short_lines, 2, 0.0005));
  expect_same_outcome_of_texts(gold, changed(gold, labels | bad_bytes, 3, 0.0005));
  expect_same_outcome_of_texts(changed(gold, bad_bytes, 4, 0.0005), gold);
  // The prediction ends early, or goes on after the gold lines.
  expect_same_outcome_of_texts(gold, gold.substr(0, gold.size() - 300'000));
  expect_same_outcome_of_texts(gold.substr(0, gold.size() - 300'000), gold);
  // Other line ends, and a byte order mark.
  std::string crlf;
  for (char c : changed(gold, heads, 5, 0.1)) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  expect_same_outcome_of_texts(gold, crlf);
  expect_same_outcome_of_texts("\xEF\xBB\xBF" + gold, crlf.substr(0, crlf.size() - 2));
}

TEST(DpScoreFiles, AgreesWithScoringInMemoryOnSmallCases) {
  const std::string root = "1\tA\ta\tN\tN\t_\t0\troot\t_\t_";
  const std::string nsubj = "2\tB\tb\tN\tN\t_\t1\tnsubj\t_\t_";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"", ""},
      {"\xEF\xBB\xBF", ""},
      {"\n\n", "\n"},
      {root, root},                                        // no line end at the end
      {root + "\r" + nsubj + "\r", root + "\n" + nsubj},   // lone "\r" line ends
      {root + "\n" + nsubj + "\n", root + "\n"},           // a scored line without prediction
      {root + "\n\n\n", root + "\n"},                      // no scored line left to predict
      {root + "\n" + nsubj + "\n", root + "\n2\t1\tnsubj\n"},  // a short predicted line
      {"1\tA\ta\tN\tN\t_\t0\tro\xff\t_\t_\n", root},       // bad bytes in a gold label
      {root + "\n", "1\t\xE0\x80\x80\n"},                 // an overlong form
      {root + "\n", "\xED\xA0\x80\n"},                     // a surrogate
      {"x\t_\t_\n" + root + "\n", "y\n" + root + "\n"},    // a label listed, never scored
      {std::string(600'000, 'a') + "\t0\troot\t_\t_\n" + root, "1\t0\troot\t_\t_\n"},
  };
  for (const auto& [gold, pred] : cases) {
    SCOPED_TRACE(gold.substr(0, 80) + " | " + pred.substr(0, 80));
    expect_same_outcome_of_texts(gold, pred);
  }
}

// ---- errors keep the order of reading both files whole first ---------------------------------

TEST(DpScoreFiles, ReadErrorsComeBeforeScoringErrorsGoldFirst) {
  const std::string gold = ten_column_treebank();
  const std::string bad_end = gold + "1\t\xff\n";
  TempFile bad_gold(bad_end, "gold.conll");
  TempFile bad_pred(bad_end, "pred.conll");
  TempFile short_pred(changed(gold, short_lines, 6, 0.01), "short.conll");
  TempFile good(gold, "good.conll");
  const std::string missing = good.path() + ".missing";

  // A gold error at the very end outranks a predicted file that cannot even be opened.
  EXPECT_THAT(message_of<ValueError>([&] { dp_score_files(bad_gold.path(), missing); }),
              HasSubstr(bad_gold.path()));
  EXPECT_THROW(dp_score_files(good.path(), missing), FileError);
  // A predicted read error at the end outranks the short lines met long before it.
  EXPECT_THAT(message_of<ValueError>([&] { dp_score_files(bad_pred.path(), bad_pred.path()); }),
              HasSubstr(bad_pred.path()));
  std::string short_and_bad = read_text(short_pred.path()) + "\xff\n";
  TempFile short_then_bad(short_and_bad, "short-bad.conll");
  EXPECT_THAT(message_of<ValueError>([&] { dp_score_files(good.path(), short_then_bad.path()); }),
              HasSubstr("line " + std::to_string(std::count(gold.begin(), gold.end(), '\n') + 1)));

  // The caller's last check runs once both files were read, before the first scoring error.
  bool read = false;
  EXPECT_THAT(message_of<IndexError>([&] {
                dp_score_files(good.path(), short_pred.path(), false,
                               {.on_read = [&] { read = true; }});
              }),
              HasSubstr("y_pred line "));
  EXPECT_TRUE(read);
  EXPECT_THROW(dp_score_files(good.path(), short_pred.path(), false,
                              {.on_read = [] { throw FileError("checked last"); }}),
               FileError);
}

TEST(DpScoreFiles, UnequalLengthsNameBothWholeFiles) {
  const std::string gold = ten_column_treebank();
  const size_t lines = std::count(gold.begin(), gold.end(), '\n');
  TempFile gold_file(gold, "gold.conll");
  TempFile first_line(gold.substr(0, gold.find('\n') + 1), "pred.conll");
  // The first line is a comment; the first scored line after it has no predicted line, and
  // the message still counts every line of the gold file, read past that line.
  EXPECT_THAT(message_of<IndexError>([&] { dp_score_files(gold_file.path(), first_line.path()); }),
              HasSubstr("(y_true has " + std::to_string(lines) + " lines, y_pred 1)"));
}

// ---- progress -------------------------------------------------------------------------------

TEST(DpScoreFiles, TellsEachBatchOfLinesAndStopsWhenTheCallerThrows) {
  const std::string gold = ten_column_treebank();
  const size_t lines = std::count(gold.begin(), gold.end(), '\n');
  TempFile gold_file(gold, "gold.conll");
  std::vector<size_t> told;
  DpFileScore score = dp_score_files(gold_file.path(), gold_file.path(), false,
                                     {.on_lines = [&](size_t batch) { told.push_back(batch); }});
  EXPECT_EQ(score.true_lines, lines);
  EXPECT_EQ(score.pred_lines, lines);
  EXPECT_GT(told.size(), 4u);
  EXPECT_EQ(std::accumulate(told.begin(), told.end(), size_t{0}), 2 * lines);

  told.clear();
  TempFile empty("", "empty.conll");
  dp_score_files(empty.path(), empty.path(), false,
                 {.on_lines = [&](size_t batch) { told.push_back(batch); }});
  EXPECT_EQ(told, (std::vector<size_t>{0, 0}));  // once for each file without lines

  int calls = 0;
  EXPECT_THROW(dp_score_files(gold_file.path(), gold_file.path(), false,
                              {.on_lines = [&](size_t) {
                                 if (++calls == 3) throw Cancelled();
                               }}),
               Cancelled);
  EXPECT_EQ(calls, 3);
}

TEST(DpEvaluateFile, ProgressStopsTheRunPartWay) {
  TempFile gold(ten_column_treebank(), "gold.conll");
  std::vector<int64_t> told;
  EXPECT_THROW(evaluate_file("dp", gold.path(), gold.path(),
                             {.do_print = false, .on_progress = [&](const Progress& progress) {
                                told.push_back(progress.instances);
                                return told.size() < 2;
                              }}),
               Cancelled);
  ASSERT_EQ(told.size(), 2u);
  EXPECT_LT(told.back(), 20000);  // far from the 2 x 25k lines of both files
}

TEST(DpEvaluateFile, EntityCountFileIsCheckedAfterReadingBeforeScoringErrors) {
  TempFile gold("1\tA\ta\tN\tN\t_\t0\troot\t_\t_\n", "gold.conll");
  TempFile short_pred("1\t0\n", "pred.conll");
  TempFile bad_pred("\xff\n", "bad.conll");
  const EvaluateFileOptions options{.entity_count_file = "/no/such/counts.json"};
  EXPECT_THROW(evaluate_file("dp", gold.path(), short_pred.path(), options), FileError);
  EXPECT_THROW(evaluate_file("dp", gold.path(), bad_pred.path(), options), ValueError);
  EXPECT_THROW(evaluate_file("dp", gold.path(), short_pred.path()), IndexError);
}

}  // namespace
}  // namespace nlpeval
