// The progress and warning callbacks of evaluate and evaluate_file, and stopping an evaluation.

#include "nlpeval/core/progress.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "nlpeval/evaluator/evaluator.h"
#include "test_support.h"

namespace nlpeval {
namespace {

using testing::TempFile;

// `count` ner records of one wrong entity each, as JSON Lines.
std::string ner_lines(int count, const char* type) {
  std::string lines;
  for (int i = 0; i < count; ++i) {
    lines +=
        std::string(R"({"text": "北京欢迎你", "entities": [{"offset": 0, "length": 2, "type": ")") +
        type + "\"}]}\n";
  }
  return lines;
}

std::vector<std::string> files_in(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// A gold and a predicted file of kInstances ner records, alone in a folder of their own.
class Progressing : public ::testing::Test {
 protected:
  static constexpr int kInstances = 1000;

  void SetUp() override {
    write(gold_, ner_lines(kInstances, "LOC"));
    write(pred_, ner_lines(kInstances, "ORG"));
  }

  static void write(const std::string& path, const std::string& contents) {
    std::ofstream(path, std::ios::binary) << contents;
  }

  TempFile anchor_{"", "gold.jsonl"};
  std::filesystem::path folder_ = std::filesystem::path(anchor_.path()).parent_path();
  std::string gold_ = anchor_.path();
  std::string pred_ = (folder_ / "pred.jsonl").string();
};

TEST_F(Progressing, TellsEveryPhaseWithTheInstancesAndRowsSoFar) {
  std::vector<Progress> told;
  const std::string badcase = (folder_ / "bad.xlsx").string();
  evaluate_file(
      "ner", gold_, pred_,
      {.badcase_file = badcase, .do_print = false, .on_progress = [&](const Progress& progress) {
         told.push_back(progress);
         if (progress.phase == Progress::Phase::writing) {
           // The spreadsheet is still under its temporary name, beside its own.
           EXPECT_TRUE(std::filesystem::exists(progress.partial_file));
           EXPECT_FALSE(std::filesystem::exists(badcase));
         }
         return true;
       }});
  ASSERT_EQ(told.size(), kInstances / 256 + 2u);
  EXPECT_EQ(told[0].phase, Progress::Phase::reading);
  EXPECT_EQ(told[0].instances, 256);
  EXPECT_EQ(told[0].badcase_rows, 256);  // one wrong entity an instance
  EXPECT_EQ(told[told.size() - 2].phase, Progress::Phase::scored);
  EXPECT_EQ(told.back().phase, Progress::Phase::writing);
  EXPECT_EQ(told.back().instances, kInstances);
  EXPECT_TRUE(std::filesystem::exists(badcase));
}

TEST_F(Progressing, StoppingAtAnyPhaseThrowsCancelledAndLeavesNoSpreadsheet) {
  for (Progress::Phase stop_at :
       {Progress::Phase::reading, Progress::Phase::scored, Progress::Phase::writing}) {
    const std::string badcase = (folder_ / "bad.xlsx").string();
    auto stop = [&](const Progress& progress) { return progress.phase != stop_at; };
    EXPECT_THROW(evaluate_file("ner", gold_, pred_,
                               {.badcase_file = badcase, .do_print = false, .on_progress = stop}),
                 Cancelled);
    EXPECT_EQ(files_in(folder_), (std::vector<std::string>{"gold.jsonl", "pred.jsonl"}))
        << static_cast<int>(stop_at);
  }
}

TEST_F(Progressing, StoppingDoesNotWaitForTheRestOfABrokenFile) {
  // The gold file breaks megabytes after the first instances, beyond what is read ahead; a
  // walk that is stopped neither reads on to that line nor reports it.
  constexpr int kMany = 100'000;
  write(gold_, ner_lines(kMany, "LOC") + "{not json\n");
  write(pred_, ner_lines(kMany + 1, "ORG"));
  EXPECT_THROW(
      evaluate_file("ner", gold_, pred_,
                    {.do_print = false, .on_progress = [](const Progress&) { return false; }}),
      Cancelled);
}

TEST_F(Progressing, GenerateBadcaseTellsAndStopsToo) {
  std::vector<Label2PredData> records;
  for (int i = 1; i <= kInstances; ++i) records.emplace_back(i, "text", std::vector<Desc>{});
  const std::string badcase = (folder_ / "bad.xlsx").string();
  int calls = 0;
  generate_badcase("cws", records, badcase, true, "", [&](const Progress&) { return ++calls > 0; });
  EXPECT_EQ(calls, kInstances / 256 + 1);
  std::filesystem::remove(badcase);
  EXPECT_THROW(generate_badcase("cws", records, badcase, true, "",
                                [](const Progress& progress) { return progress.instances < 512; }),
               Cancelled);
  EXPECT_FALSE(std::filesystem::exists(badcase));
}

TEST(ProgressOfWholeFiles, DpAndSrlTellAfterEachFileAndMayStopThere) {
  TempFile gold("1\tA\ta\tN\tN\t_\t0\troot\t_\t_\n\n1\tB\tb\tN\tN\t_\t0\troot\t_\t_\n",
                "gold.conll");
  std::vector<int64_t> told;
  evaluate_file("dp", gold.path(), gold.path(),
                {.do_print = false, .on_progress = [&](const Progress& progress) {
                   told.push_back(progress.instances);
                   return true;
                 }});
  EXPECT_EQ(told, (std::vector<int64_t>{3, 6}));  // lines of the gold file, then of both
  TempFile props("-\t(A0*)\nsay\t(V*)\n\n", "gold.props");
  EXPECT_THROW(
      evaluate_file(
          "srl", props.path(), props.path(),
          {.do_print = false,
           .on_progress = [](const Progress& progress) { return progress.instances == 0; }}),
      Cancelled);
}

// ---- warnings --------------------------------------------------------------------------------

std::vector<std::string> warnings_of(std::string_view type_, const Records& gold,
                                     const Records& pred) {
  std::vector<std::string> warnings;
  evaluate(type_, gold, pred, {.do_print = false, .on_warning = [&](const std::string& text) {
                                 warnings.push_back(text);
                               }});
  return warnings;
}

TEST(Warnings, NoInstanceToEvaluateIsSaidForEveryKindOfInput) {
  const std::vector<std::string> expected = {"no instance to evaluate: every score is 0"};
  Records none;
  for (const char* type : {"ner", "relation", "cws", "srl", "dp"}) {
    EXPECT_EQ(warnings_of(type, none, none), expected) << type;
  }
  const Records one = Records::parse(R"([{"text": "a", "entities": []}])");
  EXPECT_TRUE(warnings_of("ner", one, one).empty());
}

}  // namespace
}  // namespace nlpeval

namespace nlpeval {
namespace {

struct Told {
  ScoreResult score;
  std::vector<std::string> warnings;
};

// Evaluates from memory and, through files, on the road that tags records as they are read.
std::pair<Told, Told> both_roads(std::string_view type_, const std::string& gold_lines,
                                 const std::string& pred_lines) {
  auto as_list = [](std::string lines) {  // one record a line, each line ending in "\n"
    std::replace(lines.begin(), lines.end(), '\n', ',');
    lines.back() = ']';
    return Records::parse("[" + lines);
  };
  Told memory;
  memory.score = std::get<ScoreResult>(
      evaluate(type_, as_list(gold_lines), as_list(pred_lines),
               {.do_print = false,
                .on_warning = [&](const std::string& text) { memory.warnings.push_back(text); }}));
  TempFile gold(gold_lines, "gold.jsonl");
  const std::string pred = (std::filesystem::path(gold.path()).parent_path() / "pred.jsonl");
  std::ofstream(pred, std::ios::binary) << pred_lines;
  Told files;
  files.score = std::get<ScoreResult>(evaluate_file(
      type_, gold.path(), pred, {.do_print = false, .on_warning = [&](const std::string& text) {
                                   files.warnings.push_back(text);
                                 }}));
  return {memory, files};
}

TEST(Warnings, ElementsTheTagsLoseAreCountedOnEveryRoadAndNamedAsTheTaskNamesThem) {
  const std::string gold =
      R"({"text": "北京大学很好", "entities": [{"offset": 0, "length": 4, "type": "ORG"}, )"
      R"({"offset": 0, "length": 2, "type": "LOC"}]})"
      "\n"
      R"({"text": "ab", "entities": [{"offset": 5, "length": 1, "type": "X"}]})"
      "\n";
  const std::string pred =
      R"({"text": "北京大学很好", "entities": [{"offset": 0, "length": 4, "type": "ORG"}]})"
      "\n"
      R"({"text": "ab", "entities": []})"
      "\n";
  const auto [memory, files] = both_roads("ner", gold, pred);
  EXPECT_EQ(memory.score.f1, 0.0);  // the ORG of the gold lost its first characters
  EXPECT_EQ(memory.score.collisions, (TagCollisions{1, 1}));
  EXPECT_EQ(memory.score, files.score);
  EXPECT_EQ(memory.warnings,
            (std::vector<std::string>{"1 entity overlaps a later entity, 1 lies outside its text; "
                                      "scores count one tag per character"}));
  EXPECT_EQ(memory.warnings, files.warnings);
  EXPECT_EQ(memory.score.to_json()["warnings"].dump(),
            R"({"overlapping_elements":1,"elements_outside_text":1})");

  const std::string words =
      R"({"text": "北京", "words": [{"offset": 0, "length": 2, "pos": "NR"}, )"
      R"({"offset": 1, "length": 1, "pos": "NN"}, {"offset": 9, "length": 1, "pos": "X"}, )"
      R"({"offset": 7, "length": 1, "pos": "X"}]})"
      "\n";
  const auto [pos_memory, pos_files] = both_roads("pos", words, words);
  EXPECT_EQ(pos_memory.score.collisions, (TagCollisions{2, 4}));  // both sides
  EXPECT_EQ(pos_memory.score, pos_files.score);
  EXPECT_EQ(pos_files.warnings,
            (std::vector<std::string>{"2 words overlap a later word, 4 lie outside their text; "
                                      "scores count one tag per character"}));
}

}  // namespace
}  // namespace nlpeval
