// What evaluating in parts costs against evaluating at once, on one pair of JSON Lines files:
//   nlpeval_bench_evaluation TASK GOLD PRED [SHARDS=8] [BATCH=1000]
// 1. evaluate_file on the whole files, against SHARDS consecutive shard files each counted by
//    an Evaluation, saved as a state, read back and merged in order (the shards' files are
//    written before the clock starts);
// 2. evaluate on the whole lists in memory, against Evaluation::add over batches of BATCH
//    records of the same lists.
// Prints CPU seconds (user + system, all threads) and wall seconds of each, and checks that
// every road gives the same result.

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "nlpeval/evaluator/evaluation.h"
#include "nlpeval/evaluator/evaluator.h"

namespace {

using nlpeval::Evaluation;
using nlpeval::EvaluateResult;
using nlpeval::Records;

struct Clock {
  double cpu = 0;
  double wall = 0;
};

double cpu_seconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  auto seconds = [](const timeval& time) { return time.tv_sec + time.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

template <typename Work>
Clock timed(const Work& work) {
  const double cpu = cpu_seconds();
  const auto wall = std::chrono::steady_clock::now();
  work();
  return {cpu_seconds() - cpu,
          std::chrono::duration<double>(std::chrono::steady_clock::now() - wall).count()};
}

std::vector<std::string> lines_of(const std::string& file) {
  std::ifstream in(file);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty()) lines.push_back(std::move(line));
  }
  return lines;
}

Records records_of(const std::vector<std::string>& lines, size_t from, size_t to) {
  std::string json = "[";
  for (size_t k = from; k < to; ++k) {
    if (k > from) json += ',';
    json += lines[k];
  }
  return Records::parse(json + "]");
}

void write_lines(const std::string& file, const std::vector<std::string>& lines, size_t from,
                 size_t to) {
  std::ofstream out(file);
  for (size_t k = from; k < to; ++k) out << lines[k] << '\n';
}

void report(const char* what, const Clock& once, const Clock& parts) {
  std::printf("%-34s once %6.2f s CPU %6.2f s wall | parts %6.2f s CPU %6.2f s wall | %.3fx CPU\n",
              what, once.cpu, once.wall, parts.cpu, parts.wall, parts.cpu / once.cpu);
}

bool same(const EvaluateResult& a, const EvaluateResult& b) {
  return nlpeval::to_json(a).dump() == nlpeval::to_json(b).dump();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::cerr << "usage: nlpeval_bench_evaluation TASK GOLD PRED [SHARDS=8] [BATCH=1000]\n";
    return 2;
  }
  const std::string task = argv[1];
  const std::string gold = argv[2];
  const std::string pred = argv[3];
  const size_t shards = argc > 4 ? std::stoul(argv[4]) : 8;
  const size_t batch = argc > 5 ? std::stoul(argv[5]) : 1000;

  const std::vector<std::string> gold_lines = lines_of(gold);
  const std::vector<std::string> pred_lines = lines_of(pred);
  const size_t n = gold_lines.size();
  const auto folder = std::filesystem::temp_directory_path() / "nlpeval-bench-evaluation";
  std::filesystem::create_directories(folder);
  std::vector<std::pair<std::string, std::string>> shard_files;
  for (size_t s = 0; s < shards; ++s) {
    const size_t from = n * s / shards;
    const size_t to = n * (s + 1) / shards;
    const std::string stem = (folder / std::to_string(s)).string();
    write_lines(stem + ".gold.jsonl", gold_lines, from, to);
    write_lines(stem + ".pred.jsonl", pred_lines, from, to);
    shard_files.emplace_back(stem + ".gold.jsonl", stem + ".pred.jsonl");
  }

  EvaluateResult whole;
  const Clock file_once = timed([&] {
    whole = nlpeval::evaluate_file(task, gold, pred, {.do_print = false});
  });
  EvaluateResult merged;
  const Clock file_parts = timed([&] {
    std::vector<std::string> states;
    for (const auto& [shard_gold, shard_pred] : shard_files) {
      Evaluation shard(task);
      shard.add_file(shard_gold, shard_pred);
      states.push_back(shard.save_state());
    }
    Evaluation all(task);
    for (const std::string& state : states) all.merge(Evaluation::from_state(state));
    merged = all.result();
  });
  std::filesystem::remove_all(folder);
  std::printf("%zu instances of %s\n", n, task.c_str());
  report(("files, " + std::to_string(shards) + " shards merged").c_str(), file_once, file_parts);

  const Records gold_list = records_of(gold_lines, 0, n);
  const Records pred_list = records_of(pred_lines, 0, n);
  std::vector<std::pair<Records, Records>> batches;
  for (size_t from = 0; from < n; from += batch) {
    const size_t to = std::min(n, from + batch);
    batches.emplace_back(records_of(gold_lines, from, to), records_of(pred_lines, from, to));
  }
  EvaluateResult listed;
  const Clock list_once = timed([&] {
    listed = nlpeval::evaluate(task, gold_list, pred_list, {.do_print = false});
  });
  EvaluateResult added;
  const Clock list_parts = timed([&] {
    Evaluation all(task);
    for (const auto& [gold_batch, pred_batch] : batches) all.add(gold_batch, pred_batch);
    added = all.result();
  });
  report(("lists, add() of " + std::to_string(batch) + " records").c_str(), list_once,
         list_parts);

  const bool agree = same(whole, merged) && same(whole, listed) && same(whole, added);
  std::printf("results %s\n", agree ? "agree" : "DIFFER");
  return agree ? 0 : 1;
}
