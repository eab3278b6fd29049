// read_jsonl against simdjson's own speed limit on the same file: a bare parse of every line
// with one reused parser, keeping nothing; and the line scanner alone. Reads NLPEVAL_BENCH_JSONL,
// or generates a ~300 MB "ner" file once into the temporary folder.

#include <benchmark/benchmark.h>
#include <simdjson.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "bench_support.h"
#include "nlpeval/data/json_reader.h"
#include "nlpeval/data/internal/line_scanner.h"

namespace {

std::string bench_file() {
  if (const char* given = std::getenv("NLPEVAL_BENCH_JSONL")) return given;
  auto dir = std::filesystem::temp_directory_path();
  std::string gold = (dir / "nlpeval-bench-gold.jsonl").string();
  if (!std::filesystem::exists(gold)) {
    std::string command = std::string(NLPEVAL_GEN_JSONL) + " " + gold + " " +
                          (dir / "nlpeval-bench-pred.jsonl").string() + " 1000000 7";
    if (std::system(command.c_str()) != 0) std::abort();
  }
  return gold;
}

void BM_ReadJsonl(benchmark::State& state) {
  std::string file = bench_file();
  size_t bytes = std::filesystem::file_size(file);
  for (auto _ : state) {
    nlpeval::Records records = nlpeval::JsonReader().read_jsonl(file);
    benchmark::DoNotOptimize(records.size());
  }
  state.SetBytesProcessed(static_cast<int64_t>(bytes) * state.iterations());
  state.counters["peak_MB"] = nlpeval::bench::peak_megabytes();
}

// Parses every line with one reused parser and keeps nothing: the speed limit.
void BM_SimdjsonLinesNothingKept(benchmark::State& state) {
  std::string file = bench_file();
  std::ifstream in(file, std::ios::binary);
  std::stringstream buffer;
  buffer << in.rdbuf();
  std::string text = buffer.str();
  simdjson::dom::parser parser;
  for (auto _ : state) {
    size_t start = 0;
    while (start < text.size()) {
      size_t end = text.find('\n', start);
      if (end == std::string::npos) end = text.size();
      simdjson::dom::element element;
      if (parser.parse(text.data() + start, end - start).get(element)) std::abort();
      start = end + 1;
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(text.size()) * state.iterations());
}

// The line scanner alone, with each instruction set this machine runs, over the file's first
// 64 MB: 0 the baseline, 1 with popcnt, 2 with AVX2.
void BM_ScanLines(benchmark::State& state) {
  const auto variant = static_cast<nlpeval::ScanVariant>(state.range(0));
  if (!nlpeval::can_scan_with(variant)) {
    state.SkipWithError("this machine does not run this variant");
    return;
  }
  std::ifstream in(bench_file(), std::ios::binary);
  std::string text(size_t{64} << 20, '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<size_t>(in.gcount()));
  std::vector<nlpeval::LineSpan> lines;
  for (auto _ : state) {
    lines.clear();
    benchmark::DoNotOptimize(nlpeval::scan_lines_with(variant, text, lines));
  }
  state.SetBytesProcessed(static_cast<int64_t>(text.size()) * state.iterations());
}

}  // namespace

// read_jsonl runs first: peak_MB is the peak of the whole process so far, and the other
// benchmark holds the whole file in memory.
BENCHMARK(BM_ReadJsonl)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_SimdjsonLinesNothingKept)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ScanLines)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
