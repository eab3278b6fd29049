// Arbitrary bytes as a gold and a predicted CoNLL file (separated by a NUL byte) through
// read_conll and dp_score. Lines keep no carriage return, and every score is a share in
// [0, 1] with LAS never above UAS.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz/fuzz_support.h"
#include "nlpeval/evaluator/evaluates/dp_score.h"

namespace {

using nlpeval::fuzz::require;
using nlpeval::fuzz::require_share;

void check_lines(const nlpeval::ConllLines& lines) {
  for (size_t i = 0; i < lines.size(); ++i) {
    require(lines[i].find('\r') == std::string::npos, "no carriage return left");
    size_t feed = lines[i].find('\n');
    bool unended_last = i + 1 == lines.size() && feed == std::string::npos;
    require(unended_last || feed == lines[i].size() - 1, "one line feed, at the end of a line");
  }
}

void check_scores(const nlpeval::DpResult& result) {
  require_share(result.UAS, "UAS in [0, 1]");
  require_share(result.LAS, "LAS in [0, 1]");
  require(result.LAS <= result.UAS, "LAS <= UAS");
  for (const nlpeval::DpLabelScore& label : result.classification) {
    require_share(label.uas, "label UAS in [0, 1]");
    require_share(label.las, "label LAS in [0, 1]");
    require(label.las <= label.uas, "label LAS <= UAS");
  }
  result.to_json().dump();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static nlpeval::fuzz::ScratchFile gold_file("gold.conll");
  static nlpeval::fuzz::ScratchFile pred_file("pred.conll");
  auto [gold_bytes, pred_bytes] =
      nlpeval::fuzz::split_at_nul(std::string_view(reinterpret_cast<const char*>(data), size));
  nlpeval::fuzz::expect_library_errors_only([&, gold_bytes = gold_bytes, pred_bytes = pred_bytes] {
    nlpeval::ConllLines gold = nlpeval::read_conll(gold_file.write(gold_bytes));
    nlpeval::ConllLines pred = nlpeval::read_conll(pred_file.write(pred_bytes));
    check_lines(gold);
    check_lines(pred);
    check_scores(nlpeval::dp_score(gold, pred, /*do_print=*/false));
  });
  return 0;
}
