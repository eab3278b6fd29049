// Arbitrary bytes as a gold and a predicted props file (separated by a NUL byte) through
// conll_iterator and srl_evaluate. Counts are never negative, percentages lie in [0, 100],
// and the summary text is always produced.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz/fuzz_support.h"
#include "nlpeval/evaluator/evaluates/srl_evaluate.h"

namespace {

using nlpeval::fuzz::require;

void require_percentage(double value, const char* what) {
  require(std::isfinite(value) && value >= 0.0 && value <= 100.0, what);
}

void check_counts(const nlpeval::SrlCounts& counts) {
  require(counts.correct >= 0 && counts.excess >= 0 && counts.missed >= 0, "counts >= 0");
  require_percentage(counts.precision(), "precision in [0, 100]");
  require_percentage(counts.recall(), "recall in [0, 100]");
  require_percentage(counts.f1(), "f1 in [0, 100]");
}

void check_result(const nlpeval::SrlResult& result) {
  require(result.perfect_propositions <= result.propositions, "perfect <= propositions");
  require_percentage(result.perfect_percentage(), "perfect share in [0, 100]");
  check_counts(result.overall);
  for (const auto& type : result.types) check_counts(type.counts);
  for (const auto& type : result.excluded) check_counts(type.counts);
  require(!result.to_string().empty(), "a summary");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static nlpeval::fuzz::ScratchFile gold_file("gold.props");
  static nlpeval::fuzz::ScratchFile pred_file("pred.props");
  auto [gold_bytes, pred_bytes] =
      nlpeval::fuzz::split_at_nul(std::string_view(reinterpret_cast<const char*>(data), size));
  nlpeval::fuzz::expect_library_errors_only([&, gold_bytes = gold_bytes, pred_bytes = pred_bytes] {
    nlpeval::Records gold = nlpeval::conll_iterator(gold_file.write(gold_bytes));
    nlpeval::Records pred = nlpeval::conll_iterator(pred_file.write(pred_bytes));
    check_result(nlpeval::srl_evaluate(gold, pred));
  });
  return 0;
}
