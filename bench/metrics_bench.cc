// Flat-label metrics on 5M generated labels of 10 kinds: the classification report and the
// three micro-averaged scores, which is what scoring a relation or attribute task costs.

#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "bench_support.h"
#include "nlpeval/metrics/metrics.h"

namespace {

constexpr size_t kLabels = 5'000'000;
constexpr unsigned kSeed = 11;
constexpr double kAgreement = 0.8;

// Relation-like names of several lengths, some past the short-string buffer.
const std::vector<std::string> kNames = {"na",          "org:founded_by(e1,e2)",
                                         "per:title",   "per:employee_of(e2,e1)",
                                         "loc:in",      "per:spouse",
                                         "org:members", "per:country_of_birth(e1,e2)",
                                         "na(e1,e2)",   "org:alternate_names"};

struct Lists {
  std::vector<std::string> gold;
  std::vector<std::string> predicted;
};

// Gold labels drawn uniformly; the prediction agrees with the gold label 80% of the time and
// is drawn uniformly otherwise.
const Lists& lists() {
  static const Lists generated = [] {
    std::mt19937_64 random(kSeed);
    std::uniform_int_distribution<size_t> pick(0, kNames.size() - 1);
    std::bernoulli_distribution agree(kAgreement);
    Lists result;
    result.gold.reserve(kLabels);
    result.predicted.reserve(kLabels);
    for (size_t i = 0; i < kLabels; ++i) {
      const std::string& gold = kNames[pick(random)];
      result.gold.push_back(gold);
      result.predicted.push_back(agree(random) ? gold : kNames[pick(random)]);
    }
    return result;
  }();
  return generated;
}

void BM_ReportAndMicroScores(benchmark::State& state) {
  namespace metrics = nlpeval::metrics;
  const Lists& data = lists();
  double f1 = 0.0;
  for (auto _ : state) {
    std::string report = metrics::classification_report(data.gold, data.predicted);
    double precision = metrics::precision_score(data.gold, data.predicted);
    double recall = metrics::recall_score(data.gold, data.predicted);
    f1 = metrics::f1_score(data.gold, data.predicted);
    benchmark::DoNotOptimize(report.data());
    benchmark::DoNotOptimize(precision + recall);
  }
  state.counters["labels/s"] =
      benchmark::Counter(static_cast<double>(kLabels) * static_cast<double>(state.iterations()),
                         benchmark::Counter::kIsRate);
  state.counters["f1"] = f1;
  state.counters["peak_MB"] = nlpeval::bench::peak_megabytes();
}

}  // namespace

BENCHMARK(BM_ReportAndMicroScores)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK_MAIN();
