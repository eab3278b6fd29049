// Semantic-role-labelling scoring on a generated 100k-sentence gold/prediction pair of props
// files, in sentences per second: both files scored as they are read (srl_evaluate_files, the
// command's road; run first, so that its peak_MB is its own), conll_iterator on the gold file,
// srl_evaluate on the read sentences, and both files read whole and scored. Reads the files named by
// NLPEVAL_BENCH_SRL_GOLD and NLPEVAL_BENCH_SRL_PRED, or generates them once into the
// temporary folder.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench_support.h"
#include "nlpeval/evaluator/evaluates/srl_evaluate.h"

namespace {

constexpr int kSentences = 100'000;
constexpr int kSeed = 7;

struct BenchFiles {
  std::string gold;
  std::string pred;
};

const BenchFiles& bench_files() {
  static const BenchFiles files = [] {
    const char* gold = std::getenv("NLPEVAL_BENCH_SRL_GOLD");
    const char* pred = std::getenv("NLPEVAL_BENCH_SRL_PRED");
    if (gold != nullptr && pred != nullptr) return BenchFiles{gold, pred};
    auto dir = std::filesystem::temp_directory_path();
    std::string stem =
        "nlpeval-bench-srl-" + std::to_string(kSentences) + "-" + std::to_string(kSeed);
    BenchFiles generated{(dir / (stem + "-gold.props")).string(),
                         (dir / (stem + "-pred.props")).string()};
    if (!std::filesystem::exists(generated.gold) || !std::filesystem::exists(generated.pred)) {
      std::string command = std::string(NLPEVAL_GEN_SRL_PROPS) + " " + generated.gold + " " +
                            generated.pred + " " + std::to_string(kSentences) + " " +
                            std::to_string(kSeed);
      if (std::system(command.c_str()) != 0) std::abort();
    }
    return generated;
  }();
  return files;
}

void count_sentences(benchmark::State& state, size_t sentences) {
  state.counters["sentences/s"] =
      benchmark::Counter(static_cast<double>(sentences) * static_cast<double>(state.iterations()),
                         benchmark::Counter::kIsRate);
  state.counters["peak_MB"] = nlpeval::bench::peak_megabytes();
}

void BM_ScoreFilesAsRead(benchmark::State& state) {
  size_t sentences = 0;
  nlpeval::SrlResult result;
  for (auto _ : state) {
    result = nlpeval::srl_evaluate_files(bench_files().gold, bench_files().pred).value();
    sentences = static_cast<size_t>(result.sentences);
  }
  state.SetBytesProcessed(static_cast<int64_t>(std::filesystem::file_size(bench_files().gold) +
                                               std::filesystem::file_size(bench_files().pred)) *
                          state.iterations());
  count_sentences(state, sentences);
  state.counters["F1"] = result.overall.f1();
}

void BM_ConllIterator(benchmark::State& state) {
  const std::string& gold = bench_files().gold;
  size_t sentences = 0;
  for (auto _ : state) {
    nlpeval::Records records = nlpeval::conll_iterator(gold);
    sentences = records.size();
    benchmark::DoNotOptimize(sentences);
  }
  state.SetBytesProcessed(static_cast<int64_t>(std::filesystem::file_size(gold)) *
                          state.iterations());
  count_sentences(state, sentences);
}

void BM_SrlEvaluate(benchmark::State& state) {
  nlpeval::Records gold = nlpeval::conll_iterator(bench_files().gold);
  nlpeval::Records pred = nlpeval::conll_iterator(bench_files().pred);
  nlpeval::SrlResult result;
  for (auto _ : state) {
    result = nlpeval::srl_evaluate(gold, pred);
    benchmark::DoNotOptimize(result);
  }
  count_sentences(state, gold.size());
  state.counters["F1"] = result.overall.f1();
}

void BM_ReadAndScore(benchmark::State& state) {
  size_t sentences = 0;
  for (auto _ : state) {
    nlpeval::Records gold = nlpeval::conll_iterator(bench_files().gold);
    nlpeval::Records pred = nlpeval::conll_iterator(bench_files().pred);
    benchmark::DoNotOptimize(nlpeval::srl_evaluate(gold, pred));
    sentences = gold.size();
  }
  count_sentences(state, sentences);
}

}  // namespace

BENCHMARK(BM_ScoreFilesAsRead)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ConllIterator)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_SrlEvaluate)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_ReadAndScore)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_MAIN();
