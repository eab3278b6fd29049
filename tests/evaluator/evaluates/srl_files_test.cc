// Scoring props files as they are read (srl_evaluate_files) against reading them whole and
// scoring the records (conll_iterator, then srl_evaluate): the same text, and the same first
// error.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <random>
#include <string>
#include <vector>

#include "nlpeval/core/errors.h"
#include "nlpeval/core/progress.h"
#include "nlpeval/evaluator/evaluates/srl_evaluate.h"
#include "nlpeval/evaluator/evaluator.h"
#include "test_support.h"

namespace nlpeval {
namespace {

using testing::TempFile;

// "ok" and the scorer's text, or the kind and message of the error.
template <typename Score>
std::string outcome_of(Score&& score) {
  try {
    return "ok\n" + score().to_string();
  } catch (const Error& error) {
    return std::string(error.kind()) + ": " + error.what();
  }
}

// Today's road: the gold file read whole, then the predicted one, then both scored.
std::string in_memory(const std::string& gold, const std::string& pred) {
  return outcome_of([&] {
    const Records gold_sentences = conll_iterator(gold);
    const Records pred_sentences = conll_iterator(pred);
    return srl_evaluate(gold_sentences, pred_sentences);
  });
}

std::string streamed(const std::string& gold, const std::string& pred) {
  return outcome_of([&] { return srl_evaluate_files(gold, pred).value(); });
}

// Both roads on the files `gold` and `pred`; returns the outcome they agree on.
std::string expect_same_outcome(const std::string& gold, const std::string& pred) {
  const std::string expected = in_memory(gold, pred);
  EXPECT_EQ(streamed(gold, pred), expected);
  return expected;
}

std::string expect_same_outcome_of_text(const std::string& gold_props,
                                        const std::string& pred_props) {
  TempFile gold(gold_props, "gold.props");
  TempFile pred(pred_props, "pred.props");
  return expect_same_outcome(gold.path(), pred.path());
}

// ---------------------------------------------------------------------------------------
// Varied inputs

TEST(SrlFiles, AgreeWithRecordsOnTheReferenceCasesAndTheExamples) {
  const std::string reference = NLPEVAL_REFERENCE_DIR "/srl/";
  std::ifstream cases_file(reference + "cases.json");
  const auto cases = nlohmann::json::parse(cases_file).at("cases");
  ASSERT_GE(cases.size(), 5u);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.at("id").get<std::string>());
    EXPECT_EQ(expect_same_outcome(reference + c.at("gold").get<std::string>(),
                                  reference + c.at("pred").get<std::string>())
                  .substr(0, 3),
              "ok\n");
  }
  const std::string examples = NLPEVAL_TEST_DATA "/../../examples/srl/";
  EXPECT_EQ(expect_same_outcome(examples + "gold.props", examples + "pred.props").substr(0, 3),
            "ok\n");
}

// A seeded props pair: sentences of one to twelve tokens and up to three verbs, arguments
// nested, continued ("C-A1"), referring ("R-A0"), closed with their type or not; the
// prediction drops, relabels and moves some of them, or its verbs; tabs, spaces, "\r\n" and
// blank lines of white space vary, with a byte order mark now and then.
class PropsPairMaker {
 public:
  explicit PropsPairMaker(unsigned seed) : random_(seed) {}

  void add_sentence(std::string& gold, std::string& pred) {
    const size_t tokens = 1 + pick(12);
    std::vector<size_t> verbs;
    for (size_t token = 0; token < tokens; ++token) {
      if (verbs.size() < 3 && pick(4) == 0) verbs.push_back(token);
    }
    std::vector<std::vector<Span>> gold_columns;
    std::vector<std::vector<Span>> pred_columns;
    for (size_t verb : verbs) {
      gold_columns.push_back(spans_around(verb, tokens));
      pred_columns.push_back(perturbed(gold_columns.back(), tokens));
    }
    const bool pred_misses_a_verb = !verbs.empty() && pick(8) == 0;
    gold += sentence_text(tokens, verbs, gold_columns, false);
    pred += sentence_text(tokens, verbs, pred_columns, pred_misses_a_verb);
  }

  std::string line_end() { return pick(5) == 0 ? "\r\n" : "\n"; }
  std::string blank_lines() { return pick(6) == 0 ? " \t\r\n\n" : line_end(); }
  bool chance(size_t one_in) { return pick(one_in) == 0; }

 private:
  struct Span {
    size_t start;
    size_t end;  // inclusive
    std::string type;
  };

  size_t pick(size_t count) { return std::uniform_int_distribution<size_t>(0, count - 1)(random_); }

  std::string role() {
    static const char* const kRoles[] = {"A0",     "A1",   "A2",   "AM-TMP",        "C-A1",
                                         "R-A0",   "a0",   "AM-LOC", "ARGM-PURPOSE", "C-A0"};
    return kRoles[pick(std::size(kRoles))];
  }

  // Arguments side by side over the sentence, now and then one inside another, and "V" on
  // the verb.
  std::vector<Span> spans_around(size_t verb, size_t tokens) {
    std::vector<Span> spans{{verb, verb, "V"}};
    for (size_t start = 0; start < tokens;) {
      const size_t end = std::min(tokens, start + 1 + pick(3)) - 1;
      const bool holds_verb = start <= verb && verb <= end;
      if (!holds_verb && pick(3) != 0) {
        spans.push_back({start, end, role()});
        if (end > start && pick(4) == 0) spans.push_back({start, start + pick(end - start), role()});
      }
      start = end + 1;
    }
    return spans;
  }

  std::vector<Span> perturbed(const std::vector<Span>& gold, size_t tokens) {
    std::vector<Span> pred;
    for (const Span& span : gold) {
      const size_t change = pick(10);
      if (change == 0 && span.type != "V") continue;  // dropped
      Span guess = span;
      if (change == 1 && span.type != "V") guess.type = role();
      // A moved end stays inside the sentence and does not cross another argument's start.
      if (change == 2 && guess.end + 1 < tokens && guess.start == guess.end) {
        bool free = true;
        for (const Span& other : gold) free = free && other.start != guess.end + 1 && other.end != guess.end + 1;
        if (free) ++guess.end;
      }
      pred.push_back(guess);
    }
    return pred;
  }

  // The tag of `token` in a column of properly nested spans: outer ones open first, inner
  // ones close first.
  std::string tag(const std::vector<Span>& spans, size_t token) {
    std::string opens;
    std::string closes;
    std::vector<const Span*> opening;
    std::vector<const Span*> closing;
    for (const Span& span : spans) {
      if (span.start == token) opening.push_back(&span);
      if (span.end == token) closing.push_back(&span);
    }
    std::sort(opening.begin(), opening.end(),
              [](const Span* a, const Span* b) { return a->end > b->end; });
    std::sort(closing.begin(), closing.end(),
              [](const Span* a, const Span* b) { return a->start > b->start; });
    for (const Span* span : opening) opens += "(" + span->type;
    for (const Span* span : closing) closes += (pick(3) == 0 ? span->type : "") + ")";
    return opens + "*" + closes;
  }

  bool nested_properly(const std::vector<Span>& spans) {
    for (const Span& a : spans) {
      for (const Span& b : spans) {
        const bool overlap = a.start <= b.end && b.start <= a.end;
        const bool a_holds_b = a.start <= b.start && b.end <= a.end;
        const bool b_holds_a = b.start <= a.start && a.end <= b.end;
        if (&a != &b && overlap && !a_holds_b && !b_holds_a) return false;
      }
    }
    return true;
  }

  std::string sentence_text(size_t tokens, const std::vector<size_t>& verbs,
                            const std::vector<std::vector<Span>>& columns, bool miss_a_verb) {
    static const char* const kVerbs[] = {"say", "sell", "说", "give"};
    std::string text;
    for (size_t token = 0; token < tokens; ++token) {
      const auto verb = std::find(verbs.begin(), verbs.end(), token);
      const bool missed = miss_a_verb && verb == verbs.begin();
      text += verb == verbs.end() || missed ? "-" : kVerbs[token % std::size(kVerbs)];
      for (size_t column = 0; column < columns.size(); ++column) {
        if (miss_a_verb && column == 0) continue;
        text += pick(3) == 0 ? "  " : "\t";
        text += nested_properly(columns[column]) ? tag(columns[column], token) : "*";
      }
      text += line_end();
    }
    return text;
  }

  std::mt19937 random_;
};

TEST(SrlFiles, AgreeWithRecordsOnGeneratedPairs) {
  for (unsigned seed = 1; seed <= 40; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    PropsPairMaker maker(seed);
    std::string gold = maker.chance(4) ? "\xEF\xBB\xBF" : "";
    std::string pred = maker.chance(4) ? "\xEF\xBB\xBF" : "";
    for (int sentence = 0; sentence < 30; ++sentence) {
      maker.add_sentence(gold, pred);
      gold += maker.blank_lines();
      pred += maker.blank_lines();
    }
    if (maker.chance(3)) {  // no line end after the last sentence
      maker.add_sentence(gold, pred);
      while (gold.back() == '\n' || gold.back() == '\r') gold.pop_back();
    }
    const std::string outcome = expect_same_outcome_of_text(gold, pred);
    EXPECT_EQ(outcome.substr(0, 3), "ok\n") << outcome;
  }
}

TEST(SrlFiles, AgreeWhenTheScoringIsSharedBetweenThreads) {
  // Thousands of pairs: batches go to both scoring threads, whose counts are added up.
  PropsPairMaker maker(7);
  std::string gold;
  std::string pred;
  for (int sentence = 0; sentence < 5000; ++sentence) {
    maker.add_sentence(gold, pred);
    gold += "\n";
    pred += "\n";
  }
  const std::string outcome = expect_same_outcome_of_text(gold, pred);
  EXPECT_NE(outcome.find("Number of Sentences    :        5000\n"), std::string::npos) << outcome;
}

TEST(SrlFiles, AgreeOnSentencesLongerThanAReadBlock) {
  // One sentence of more than a MiB, its three-byte characters across every block boundary
  // the blank lines before it shift, then a short one.
  for (size_t shift : {0, 1, 2, 5}) {
    std::string long_sentence = std::string(shift, '\n') + "说\t(V*)\n";
    for (int token = 0; token < 100'000; ++token) long_sentence += "-\t(论元*)\n";
    const std::string text = long_sentence + "\n-\t(A0*)\nsit\t(V*)\n";
    std::string pred = text;
    pred.replace(pred.rfind("(A0*)"), 5, "*    ");
    const std::string outcome = expect_same_outcome_of_text(text, pred);
    EXPECT_NE(outcome.find("Number of Sentences    :           2\n"), std::string::npos) << shift;
  }
}

// ---------------------------------------------------------------------------------------
// Which error comes first

TEST(SrlFiles, TellTheErrorsOfBadSentencesAsRecordsDo) {
  const std::string first = "-\t(A0*)\nrun\t(V*)\n\n";
  const char* bad_sentences[] = {
      "-\t(A0*\nrun\t(V*)\n",           "-\t*)\nrun\t(V*)\n",
      "-\t(A0*\nrun\t(V*)\n-\t*A1)\n",  "-\tA0\nrun\t(V*)\n",
      "-\t*\nrun\t(V*)\n-\n",            "-\t*\t*\nrun\t(V*)\t*\n",
      "-\t*\nrun\t(V*)\n-\t*\n",         "-\t(A0*)x\nrun\t(V*)\n",
  };
  for (const char* bad : bad_sentences) {
    SCOPED_TRACE(bad);
    // In the gold file, the predicted one, or both (a sentence as long as the other is fine).
    EXPECT_EQ(expect_same_outcome_of_text(first + bad, first + first).substr(0, 10), "ValueError");
    EXPECT_EQ(expect_same_outcome_of_text(first + first, first + bad).substr(0, 10), "ValueError");
    expect_same_outcome_of_text(first + bad, first + bad);
  }
}

TEST(SrlFiles, TheEarliestBadSentenceIsToldWhicheverThreadScoresIt) {
  const std::string good = "-\t(A0*)\nrun\t(V*)\n\n";
  const std::string unclosed = "-\t(A0*\nrun\t(V*)\n\n";
  const std::string unopened = "-\t*)\nrun\t(V*)\n\n";
  // From the first bad sentence on, bad ones on both sides in every batch of pairs, so that
  // both scoring threads meet one whichever batches they take.
  for (int earliest : {3, 70, 200, 650, 1300, 2100, 2900, 3500}) {
    SCOPED_TRACE(earliest);
    std::string gold;
    std::string pred;
    for (int sentence = 0; sentence < 4000; ++sentence) {
      const int after = sentence - earliest;
      gold += after >= 0 && after % 40 == 0 ? unclosed : good;
      pred += after >= 0 && after % 40 == 20 ? unopened : good;
    }
    const std::string outcome = expect_same_outcome_of_text(gold, pred);
    EXPECT_NE(outcome.find("gold sentence " + std::to_string(earliest + 1) + " "),
              std::string::npos)
        << outcome;
  }
}

TEST(SrlFiles, ReadErrorsComeFirstGoldBeforePrediction) {
  const std::string good = "-\t(A0*)\nrun\t(V*)\n\n";
  const std::string bad_scoring = "-\t(A0*\nrun\t(V*)\n\n";
  const std::string bad_utf8 = "-\t(A0*)\nrun\t(V\xff*)\n\n";
  std::string many_good;
  for (int i = 0; i < 1000; ++i) many_good += good;

  struct Case {
    std::string gold;
    std::string pred;
    std::string first_error;  // a part of the outcome
  };
  const Case cases[] = {
      // A read error of the prediction early, of the gold file late: the gold one.
      {many_good + bad_utf8, bad_utf8 + many_good, "gold.props:3002: invalid UTF-8"},
      // A scoring error early, a read error of the prediction late: the read error.
      {bad_scoring + many_good, good + many_good + bad_utf8, "pred.props:3005: invalid UTF-8"},
      // Unequal sentence counts come before a scoring error in sentence 1.
      {bad_scoring + many_good, bad_scoring + many_good + good,
       "ValueError: gold has 1001 sentences, prediction has 1002: sentence 1002 is missing"},
      // The gold sentences are fewer and their first one is bad.
      {bad_scoring, good + good, "ValueError: gold has 1 sentences, prediction has 2"},
      // Both fine but the first sentence of each: the gold one is told.
      {bad_scoring + many_good, "-\t(A0*)\nrun\t*)\n\n" + many_good,
       "ValueError: gold sentence 1 (starting at "},
  };
  for (const Case& c : cases) {
    const std::string outcome = expect_same_outcome_of_text(c.gold, c.pred);
    EXPECT_NE(outcome.find(c.first_error), std::string::npos) << outcome;
  }
  TempFile gold_late_utf8(many_good + bad_utf8, "gold.props");
  TempFile pred_late_utf8(many_good + bad_utf8, "pred.props");
  EXPECT_EQ(streamed(gold_late_utf8.path(), pred_late_utf8.path()),
            "ValueError: " + gold_late_utf8.path() + ":3002: invalid UTF-8");

  // A prediction that cannot be opened waits for the gold file to be read.
  const std::string missing = "/no/such/pred.props";
  EXPECT_EQ(expect_same_outcome(gold_late_utf8.path(), missing),
            "ValueError: " + gold_late_utf8.path() + ":3002: invalid UTF-8");
  TempFile gold(many_good, "gold.props");
  EXPECT_EQ(expect_same_outcome(gold.path(), missing),
            "FileError: cannot open '/no/such/pred.props': No such file or directory");
  const std::string folder = std::filesystem::path(gold.path()).parent_path().string();
  EXPECT_EQ(expect_same_outcome(folder, missing),
            "FileError: cannot read '" + folder + "': it is a directory");
}

TEST(SrlFiles, EvaluateFileChecksTheEntityCountFileBetweenReadingAndScoring) {
  TempFile gold("-\t(A0*)\nrun\t(V*)\n", "gold.props");
  TempFile bad_utf8("-\t(A0*)\nrun\t(V\xff*)\n", "pred.props");
  TempFile bad_scoring("-\t(A0*\nrun\t(V*)\n", "pred.props");
  const EvaluateFileOptions options{.do_print = false, .entity_count_file = "/no/such/counts"};
  // A read error before the entity counts, a scoring error after them.
  EXPECT_THROW(evaluate_file("srl", gold.path(), bad_utf8.path(), options), ValueError);
  EXPECT_THROW(evaluate_file("srl", gold.path(), bad_scoring.path(), options), FileError);
}

// ---------------------------------------------------------------------------------------
// Progress

TEST(SrlFiles, EvaluateFileTellsEveryBatchOfSentencePairsAndMayStopThere) {
  std::string props;
  for (int i = 0; i < 600; ++i) props += "-\t(A0*)\nsay\t(V*)\n\n";
  TempFile gold(props, "gold.props");
  std::vector<int64_t> told;
  evaluate_file("srl", gold.path(), gold.path(),
                {.do_print = false, .on_progress = [&](const Progress& progress) {
                   told.push_back(progress.instances);
                   return true;
                 }});
  EXPECT_EQ(told, (std::vector<int64_t>{256, 512, 600}));

  told.clear();
  EXPECT_THROW(evaluate_file("srl", gold.path(), gold.path(),
                             {.do_print = false, .on_progress = [&](const Progress& progress) {
                                told.push_back(progress.instances);
                                return progress.instances < 512;
                              }}),
               Cancelled);
  EXPECT_EQ(told, (std::vector<int64_t>{256, 512}));
}

}  // namespace
}  // namespace nlpeval
