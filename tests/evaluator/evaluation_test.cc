#include "nlpeval/evaluator/evaluation.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "nlpeval/core/errors.h"
#include "nlpeval/evaluator/evaluates/props_reader.h"
#include "test_support.h"

namespace nlpeval {
namespace {

using testing::message_of;
using testing::TempFile;

std::string example(const std::string& task, const std::string& file) {
  return std::string(NLPEVAL_EXAMPLES_DIR) + "/" + task + "/" + file;
}

std::string contents_of(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The units a file is split into: lines of JSON Lines and CoNLL files, blank-line-ended
// sentences of props files. Joined, they give the file back.
std::vector<std::string> units_of(const std::string& text, bool sentences) {
  std::vector<std::string> units;
  std::string unit;
  for (size_t at = 0; at < text.size();) {
    const size_t end = std::min(text.find('\n', at), text.size() - 1) + 1;
    const std::string line = text.substr(at, end - at);
    unit += line;
    if (!sentences || line == "\n") units.push_back(std::move(unit)), unit.clear();
    at = end;
  }
  if (!unit.empty()) units.push_back(unit);
  return units;
}

std::string joined(const std::vector<std::string>& units, size_t from, size_t to) {
  std::string text;
  for (size_t k = from; k < to; ++k) text += units[k];
  return text;
}

struct Example {
  std::string task;
  std::string gold;
  std::string pred;
  EvaluationOptions options;
};

std::vector<Example> examples() {
  std::vector<Example> all;
  for (const char* task : {"ner", "pos", "cws", "relation", "attribute", "event"}) {
    all.push_back({task, example(task, "gold.jsonl"), example(task, "pred.jsonl"), {}});
  }
  all.push_back({"dp", example("dp", "gold.conll"), example("dp", "pred.conll"), {}});
  all.push_back({"srl", example("srl", "gold.props"), example("srl", "pred.props"), {}});
  all.push_back({"relation", example("relation", "gold.jsonl"), example("relation", "pred.jsonl"),
                 {.evaluate_labels = {}, .do_na = true}});
  all.push_back({"ner", example("ner", "gold.jsonl"), example("ner", "pred.jsonl"),
                 {.evaluate_labels = std::vector<std::string>{"PER", "TIME", "NONE"}}});
  return all;
}

EvaluateResult evaluated_whole(const Example& data) {
  return evaluate_file(data.task, data.gold, data.pred,
                       {.do_print = false,
                        .do_na = data.options.do_na,
                        .evaluate_labels = data.options.evaluate_labels});
}

// Two results are equal when every float has the same bits and every text the same bytes.
void expect_same(const EvaluateResult& merged, const EvaluateResult& whole,
                 const std::string& where) {
  EXPECT_EQ(to_json(merged).dump(), to_json(whole).dump()) << where;
  if (const auto* score = std::get_if<ScoreResult>(&whole)) {
    const ScoreResult& other = std::get<ScoreResult>(merged);
    EXPECT_EQ(std::bit_cast<uint64_t>(other.f1), std::bit_cast<uint64_t>(score->f1)) << where;
    EXPECT_EQ(other, *score) << where;
  }
}

// For every cut of the data into two consecutive shards (three for larger cuts): each shard
// counted from files of its own, its state saved and read back, the states merged in order.
TEST(Evaluation, ShardsMergedInOrderEqualTheWholeForEveryTask) {
  for (const Example& data : examples()) {
    const bool props = data.task == "srl";
    const std::vector<std::string> gold = units_of(contents_of(data.gold), props);
    const std::vector<std::string> pred = units_of(contents_of(data.pred), props);
    ASSERT_EQ(gold.size(), pred.size()) << data.task;
    const EvaluateResult whole = evaluated_whole(data);
    for (size_t cut = 0; cut <= gold.size(); ++cut) {
      const size_t second_cut = (cut + gold.size()) / 2;
      Evaluation merged(data.task, data.options);
      for (auto [from, to] : {std::pair{size_t{0}, cut}, std::pair{cut, second_cut},
                              std::pair{second_cut, gold.size()}}) {
        if (to < from) continue;
        const TempFile gold_shard(joined(gold, from, to), "gold.txt");
        const TempFile pred_shard(joined(pred, from, to), "pred.txt");
        Evaluation shard(data.task, data.options);
        shard.add_file(gold_shard.path(), pred_shard.path());
        merged.merge(Evaluation::from_state(shard.save_state(), "shard"));
      }
      expect_same(merged.result(), whole, data.task + " cut at " + std::to_string(cut));
    }
    Evaluation once(data.task, data.options);
    once.add_file(data.gold, data.pred);
    EXPECT_EQ(once.size(), static_cast<int64_t>(gold.size())) << data.task;
    expect_same(once.result(), whole, data.task + " whole");
  }
}

TEST(Evaluation, BatchesOfRecordsAddUpToTheWholeList) {
  const std::vector<std::string> gold = units_of(contents_of(example("event", "gold.jsonl")), false);
  const std::vector<std::string> pred = units_of(contents_of(example("event", "pred.jsonl")), false);
  auto list_of = [](const std::vector<std::string>& lines, size_t from, size_t to) {
    std::string json = "[";
    for (size_t k = from; k < to; ++k) json += (k > from ? "," : "") + lines[k];
    return Records::parse(json + "]");
  };
  Evaluation batched("event");
  for (size_t from = 0; from < gold.size(); from += 3) {
    const size_t to = std::min(from + 3, gold.size());
    batched.add(list_of(gold, from, to), list_of(pred, from, to));
  }
  EXPECT_EQ(batched.size(), static_cast<int64_t>(gold.size()));
  expect_same(batched.result(),
              evaluate("event", list_of(gold, 0, gold.size()), list_of(pred, 0, pred.size()),
                       {.do_print = false}),
              "event in batches of 3");
}

TEST(Evaluation, AFailedAddLeavesTheCountsAsTheyWere) {
  Evaluation evaluation("ner");
  evaluation.add_file(example("ner", "gold.jsonl"), example("ner", "pred.jsonl"));
  const std::string before = evaluation.save_state();
  EXPECT_THROW(evaluation.add(Records::parse(R"([{"text": "ab", "entities": []}])"),
                              Records::parse(R"([{"text": 1, "entities": []}])")),
               ValueError);
  EXPECT_EQ(evaluation.save_state(), before);
}

TEST(Evaluation, TheRunOfTheCommandCountsIntoAnEvaluation) {
  Evaluation counted("relation", {.do_na = true});
  const EvaluateResult printed =
      evaluate_file("relation", example("relation", "gold.jsonl"),
                    example("relation", "pred.jsonl"),
                    {.do_print = false, .do_na = true, .add_counts_to = &counted});
  expect_same(counted.result(), printed, "relation counted by the run");

  Evaluation other_options("relation");
  EXPECT_NE(message_of<ValueError>([&] {
              evaluate_file("relation", example("relation", "gold.jsonl"),
                            example("relation", "pred.jsonl"),
                            {.do_print = false, .do_na = true, .add_counts_to = &other_options});
            }).find("do_na true"),
            std::string::npos);
}

TEST(Evaluation, OptionsThatDoNotChangeATasksScoresAreDropped) {
  EXPECT_FALSE(Evaluation("ner", {.do_na = true}).options().do_na);
  EXPECT_FALSE(Evaluation("relation", {.evaluate_labels = std::vector<std::string>{"a"}})
                   .options()
                   .evaluate_labels);
  Evaluation ner("ner", {.do_na = true});
  ner.merge(Evaluation("ner"));
}

TEST(Evaluation, MergingAnotherTaskOrOtherOptionsIsRefused) {
  Evaluation ner("ner");
  EXPECT_EQ(message_of<ValueError>([&] { ner.merge(Evaluation("pos")); }),
            "the merged evaluation is of task 'pos', not 'ner'");
  EXPECT_EQ(message_of<ValueError>([&] {
              ner.merge(Evaluation("ner", {.evaluate_labels = std::vector<std::string>{"PER"}}));
            }),
            "the merged evaluation has evaluate_labels [\"PER\"], do_na false, this evaluation "
            "evaluate_labels null, do_na false");
  EXPECT_THROW(Evaluation("nerr"), KeyError);
  EXPECT_EQ(message_of<ValueError>([&] { ner.load_state(Evaluation("cws").save_state(), "c.json"); }),
            "state 'c.json' is of task 'cws', not 'ner'");
}

// A state is only counts; whatever damages it must be refused, never scored.
TEST(Evaluation, DamagedStatesAreRefusedByName) {
  Evaluation evaluation("relation");
  evaluation.add_file(example("relation", "gold.jsonl"), example("relation", "pred.jsonl"));
  const std::string state = evaluation.save_state();
  auto refusal = [](const std::string& text) {
    return message_of<ValueError>([&] { Evaluation::from_state(text, "s.json"); });
  };
  EXPECT_EQ(refusal(state.substr(0, state.size() / 2)),
            "state 's.json': not a JSON document (a truncated or damaged file?)");
  EXPECT_EQ(refusal("[1]"), "state 's.json': not a JSON object");
  EXPECT_EQ(refusal(R"({"format": "x"})"),
            "state 's.json': not an nlpeval evaluation state (\"format\" is not \"nlpeval "
            "evaluation state\")");

  std::string later = state;
  later.replace(later.find("\"version\":1"), 11, "\"version\":2");
  EXPECT_EQ(refusal(later), "state 's.json': version 2 is not one this nlpeval reads (1)");

  std::string edited = state;
  const size_t count = edited.find("\"correct\":") + 10;
  edited[count] = edited[count] == '9' ? '8' : static_cast<char>(edited[count] + 1);
  EXPECT_EQ(refusal(edited),
            "state 's.json': the checksum does not match the state (it was edited or damaged)");

  // Reformatting is not an edit: the seal is over the document, not its spacing.
  const std::string pretty = nlohmann::ordered_json::parse(state).dump(2);
  EXPECT_EQ(Evaluation::from_state(pretty).save_state(), state);
}

// Counts that no run could make are refused even when their seal was remade to match.
TEST(Evaluation, ImpossibleCountsAreRefusedByKey) {
  auto sealed = [](nlohmann::ordered_json document) {
    // Remake the seal as the writer does, through a state of the same task.
    document.erase("checksum");
    uint64_t hash = 14695981039346656037ULL;
    for (unsigned char byte : document.dump()) hash = (hash ^ byte) * 1099511628211ULL;
    char seal[17];
    std::snprintf(seal, sizeof seal, "%016llx", static_cast<unsigned long long>(hash));
    document["checksum"] = seal;
    return document.dump();
  };
  Evaluation ner("ner");
  ner.add_file(example("ner", "gold.jsonl"), example("ner", "pred.jsonl"));
  auto document = nlohmann::ordered_json::parse(ner.save_state());
  ASSERT_EQ(Evaluation::from_state(sealed(document)).save_state(), ner.save_state());

  auto refusal = [&](const nlohmann::ordered_json& changed) {
    return message_of<ValueError>([&] { Evaluation::from_state(sealed(changed), "s"); });
  };
  auto negative = document;
  negative["counts"]["types"][0]["pred"] = -1;
  EXPECT_EQ(refusal(negative),
            "state 's': counts.types[0].pred is not a count (an integer from 0 up): -1");
  auto too_many = document;
  too_many["counts"]["types"][0]["correct"] = 1000;
  EXPECT_EQ(refusal(too_many), "state 's': counts.types[0].correct exceeds its true or pred count");
  auto unsorted = document;
  std::swap(unsorted["counts"]["types"][0], unsorted["counts"]["types"][1]);
  EXPECT_EQ(refusal(unsorted),
            "state 's': counts.types[1] is not after counts.types[0] in byte order, or repeats it");
  auto missing = document;
  missing["counts"].erase("overlapping_elements");
  EXPECT_EQ(refusal(missing), "state 's': counts.overlapping_elements is missing");
  auto unknown = document;
  unknown["task"] = "nerr";
  EXPECT_EQ(refusal(unknown), "state 's': task 'nerr' is not a task type");
}

}  // namespace
}  // namespace nlpeval
