// The badcase spreadsheet: 1,000,000 ner-like rows of 8 columns (index, 4 short strings and
// labels, is_right, error kind, a ~60-character text), about 3 rows per record so that most
// rows take part in a merge. ExcelWriter is compared with a bare constant-memory
// libxlsxwriter loop that writes the same cells without formats, merges or text checks.
//
// Memory: the rows themselves take a few hundred MB before any writing starts, so besides
// the process peak each run reports added_MB, how far the peak rose while writing.

#include <benchmark/benchmark.h>
#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "bare_xlsx.h"
#include "bench_support.h"
#include "nlpeval/data/excel_writer.h"

namespace {

using nlpeval::Value;
using Rows = std::vector<std::vector<Value>>;

constexpr size_t kRows = 1'000'000;
constexpr unsigned kSeed = 5;
constexpr size_t kTextCodePoints = 60;

const std::vector<std::string> kHead = {"index",      "true_text", "pred_text",  "true_label",
                                        "pred_label", "is_right",  "error_type", "text"};
const std::vector<std::string> kWords = {"北京",  "天安门", "上海", "张伟",  "公司", "the",
                                         "model", "Paris",  "met",  "Alice", "银行", "2023"};
const std::vector<std::string> kLabels = {"PER", "LOC", "ORG", "MISC"};
const std::vector<std::string> kErrors = {"TYPE_ERROR",   "TRUE_NONE_ERROR", "PRED_NONE_ERROR",
                                          "TRUE_IN_PRED", "PRED_IN_TRUE",    "PRED_CROSS_TRUE"};

// A text of about 60 code points made of mixed CJK and ASCII words.
std::string make_text(std::mt19937_64& random) {
  std::uniform_int_distribution<size_t> pick(0, kWords.size() - 1);
  std::string text;
  size_t code_points = 0;
  while (code_points < kTextCodePoints) {
    const std::string& word = kWords[pick(random)];
    text += word;
    text += ' ';
    for (char c : word) code_points += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    ++code_points;
  }
  return text;
}

// Records of 1 to 5 rows; 70% of the rows are errors, where one side may be NONE.
const Rows& rows() {
  static const Rows generated = [] {
    std::mt19937_64 random(kSeed);
    std::uniform_int_distribution<size_t> record_size(1, 5);
    std::uniform_int_distribution<size_t> word(0, kWords.size() - 1);
    std::uniform_int_distribution<size_t> label(0, kLabels.size() - 1);
    std::uniform_int_distribution<size_t> error(0, kErrors.size() - 1);
    std::bernoulli_distribution right(0.3);
    std::bernoulli_distribution side_missing(0.2);
    Rows result;
    result.reserve(kRows);
    for (int64_t index = 1; result.size() < kRows; ++index) {
      const Value text = make_text(random);
      for (size_t n = record_size(random); n > 0 && result.size() < kRows; --n) {
        const bool is_right = right(random);
        const bool missing = !is_right && side_missing(random);
        const Value gold = Value(kWords[word(random)]);
        const Value predicted = missing ? Value() : Value(kWords[word(random)]);
        const Value gold_label = Value(kLabels[label(random)]);
        const Value predicted_label = missing ? Value() : Value(kLabels[label(random)]);
        const Value error_kind = is_right ? Value() : Value(kErrors[error(random)]);
        result.push_back({index, gold, predicted, gold_label, predicted_label, is_right ? 1 : 0,
                          error_kind, text});
      }
    }
    return result;
  }();
  return generated;
}

std::string output_path() {
  return (std::filesystem::temp_directory_path() / "nlpeval-bench-badcase.xlsx").string();
}

// The same cells through libxlsxwriter alone: strings as they are, numbers, NONE for null.
void write_bare(const Rows& data, const std::string& path) {
  nlpeval::bench::write_bare_xlsx(kHead, data, path, "NONE");
}

template <typename Write>
void run(benchmark::State& state, Write write) {
  const Rows& data = rows();
  const std::string path = output_path();
  const double peak_before = nlpeval::bench::peak_megabytes();
  double seconds = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    write(data, path);
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  const double cells = static_cast<double>(data.size() * kHead.size());
  state.counters["seconds"] = seconds;
  state.counters["cells/s"] = cells / seconds;
  state.counters["peak_MB"] = nlpeval::bench::peak_megabytes();
  state.counters["added_MB"] = nlpeval::bench::peak_megabytes() - peak_before;
  state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(path)) / 1048576.0;
  std::filesystem::remove(path);
}

void BM_BareLibxlsxwriter(benchmark::State& state) { run(state, write_bare); }

void BM_ExcelWriterMerged(benchmark::State& state) {
  run(state, [](const Rows& data, const std::string& path) {
    nlpeval::ExcelWriter().write(data, kHead, path, /*is_merge=*/true);
  });
}

void BM_ExcelWriterUnmerged(benchmark::State& state) {
  run(state, [](const Rows& data, const std::string& path) {
    nlpeval::ExcelWriter().write(data, kHead, path, /*is_merge=*/false);
  });
}

}  // namespace

BENCHMARK(BM_BareLibxlsxwriter)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_ExcelWriterMerged)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_ExcelWriterUnmerged)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();
BENCHMARK_MAIN();
