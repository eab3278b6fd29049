// The chunk-level sequence scorers on 100,000 seeded gold/predicted pairs of 30 tags (about
// 10% entity tags, 5 types): the three scores and the report as four separate calls, as a
// caller of the four functions makes them, and as one call to score(), which label_score uses.

#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "bench_support.h"
#include "nlpeval/metrics/sequence_metrics.h"

namespace {

namespace seq = nlpeval::metrics::seq;

constexpr int kSequences = 100'000;
constexpr int kLength = 30;
constexpr unsigned kSeed = 7;

struct Data {
  std::vector<seq::TagSequence> gold;
  std::vector<seq::TagSequence> pred;
};

// Gold: chunks of 1 to 3 tags starting at about 5% of the free positions. Prediction: the
// gold with 3% of its tags replaced by a random tag, which moves, splits, retypes, drops
// and invents chunks.
const Data& data() {
  static const Data generated = [] {
    const std::vector<std::string> types = {"PER", "LOC", "ORG", "MISC", "时间"};
    std::mt19937 rng(kSeed);
    std::bernoulli_distribution starts(0.055);
    std::bernoulli_distribution perturbed(0.03);
    std::uniform_int_distribution<size_t> type_of(0, types.size() - 1);
    std::uniform_int_distribution<int> length_of(1, 3);
    std::uniform_int_distribution<int> tag_kind(0, 2);
    auto random_tag = [&] {
      int kind = tag_kind(rng);
      return kind == 0 ? std::string("O") : (kind == 1 ? "B-" : "I-") + types[type_of(rng)];
    };
    Data out;
    for (int s = 0; s < kSequences; ++s) {
      seq::TagSequence gold;
      while (static_cast<int>(gold.size()) < kLength) {
        if (!starts(rng)) {
          gold.push_back("O");
          continue;
        }
        const std::string& type = types[type_of(rng)];
        int length = length_of(rng);
        for (int i = 0; i < length && static_cast<int>(gold.size()) < kLength; ++i) {
          gold.push_back((i == 0 ? "B-" : "I-") + type);
        }
      }
      seq::TagSequence pred = gold;
      for (std::string& tag : pred) {
        if (perturbed(rng)) tag = random_tag();
      }
      out.gold.push_back(std::move(gold));
      out.pred.push_back(std::move(pred));
    }
    return out;
  }();
  return generated;
}

double entity_tag_share(const Data& data) {
  size_t entity = 0;
  for (const seq::TagSequence& sequence : data.gold) {
    for (const std::string& tag : sequence) entity += tag != "O";
  }
  return static_cast<double>(entity) / (static_cast<double>(kSequences) * kLength);
}

void report_counters(benchmark::State& state, double f1) {
  state.counters["sequences/s"] =
      benchmark::Counter(static_cast<double>(kSequences) * static_cast<double>(state.iterations()),
                         benchmark::Counter::kIsRate);
  state.counters["f1"] = f1;
  state.counters["entity_tags"] = entity_tag_share(data());
  state.counters["peak_MB"] = nlpeval::bench::peak_megabytes();
}

void BM_ThreeScoresAndReport(benchmark::State& state) {
  const Data& d = data();
  double f1 = 0.0;
  for (auto _ : state) {
    double precision = seq::precision_score(d.gold, d.pred);
    double recall = seq::recall_score(d.gold, d.pred);
    f1 = seq::f1_score(d.gold, d.pred);
    std::string report = seq::classification_report(d.gold, d.pred);
    benchmark::DoNotOptimize(precision);
    benchmark::DoNotOptimize(recall);
    benchmark::DoNotOptimize(report.data());
  }
  report_counters(state, f1);
}

void BM_ScoreOnce(benchmark::State& state) {
  const Data& d = data();
  nlpeval::ScoreResult result;
  for (auto _ : state) {
    result = seq::score(d.gold, d.pred);
    benchmark::DoNotOptimize(result.classification_report.data());
  }
  report_counters(state, result.f1);
}

}  // namespace

BENCHMARK(BM_ThreeScoresAndReport)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_ScoreOnce)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK_MAIN();
