// Dependency-parse scoring on a generated 5M-token gold/prediction pair: dp_score_files (both
// files read and scored in step) and dp_score in tokens per second, and read_conll on the gold
// file in bytes per second. dp_score_files runs first, so that its peak_MB is its own. Reads the files named by
// NLPEVAL_BENCH_CONLL_GOLD and NLPEVAL_BENCH_CONLL_PRED, or generates them once into the
// temporary folder.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench_support.h"
#include "nlpeval/evaluator/evaluates/dp_score.h"
#include "nlpeval/evaluator/evaluates/dp_score_files.h"

namespace {

constexpr int kTokens = 5'000'000;
constexpr int kSeed = 7;

struct BenchFiles {
  std::string gold;
  std::string pred;
};

const BenchFiles& bench_files() {
  static const BenchFiles files = [] {
    const char* gold = std::getenv("NLPEVAL_BENCH_CONLL_GOLD");
    const char* pred = std::getenv("NLPEVAL_BENCH_CONLL_PRED");
    if (gold != nullptr && pred != nullptr) return BenchFiles{gold, pred};
    auto dir = std::filesystem::temp_directory_path();
    std::string stem = "nlpeval-bench-dp-" + std::to_string(kTokens) + "-" + std::to_string(kSeed);
    BenchFiles generated{(dir / (stem + "-gold.conll")).string(),
                         (dir / (stem + "-pred.conll")).string()};
    if (!std::filesystem::exists(generated.gold) || !std::filesystem::exists(generated.pred)) {
      std::string command = std::string(NLPEVAL_GEN_CONLL) + " " + generated.gold + " " +
                            generated.pred + " " + std::to_string(kTokens) + " " +
                            std::to_string(kSeed);
      if (std::system(command.c_str()) != 0) std::abort();
    }
    return generated;
  }();
  return files;
}

// What both benchmarks report besides the time: the rate, the scores and the peak memory.
void report_scores(benchmark::State& state, const nlpeval::DpResult& result) {
  state.counters["tokens/s"] =
      benchmark::Counter(static_cast<double>(kTokens) * static_cast<double>(state.iterations()),
                         benchmark::Counter::kIsRate);
  state.counters["UAS"] = result.UAS;
  state.counters["LAS"] = result.LAS;
  state.counters["peak_MB"] = nlpeval::bench::peak_megabytes();
}

void BM_DpScoreFiles(benchmark::State& state) {
  const BenchFiles& files = bench_files();
  auto bytes = static_cast<int64_t>(std::filesystem::file_size(files.gold) +
                                    std::filesystem::file_size(files.pred));
  nlpeval::DpResult result{};
  for (auto _ : state) {
    result = nlpeval::dp_score_files(files.gold, files.pred, false).result;
    benchmark::DoNotOptimize(result);
  }
  state.SetBytesProcessed(bytes * state.iterations());
  report_scores(state, result);
}

void BM_DpScore(benchmark::State& state) {
  nlpeval::ConllLines y_true = nlpeval::read_conll(bench_files().gold);
  nlpeval::ConllLines y_pred = nlpeval::read_conll(bench_files().pred);
  nlpeval::DpResult result{};
  for (auto _ : state) {
    result = nlpeval::dp_score(y_true, y_pred, false);
    benchmark::DoNotOptimize(result);
  }
  report_scores(state, result);
}

void BM_ReadConll(benchmark::State& state) {
  const std::string& gold = bench_files().gold;
  auto bytes = static_cast<int64_t>(std::filesystem::file_size(gold));
  for (auto _ : state) {
    nlpeval::ConllLines lines = nlpeval::read_conll(gold);
    benchmark::DoNotOptimize(lines.data());
  }
  state.SetBytesProcessed(bytes * state.iterations());
  state.counters["peak_MB"] = nlpeval::bench::peak_megabytes();
}

}  // namespace

BENCHMARK(BM_DpScoreFiles)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_ReadConll)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_DpScore)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK_MAIN();
