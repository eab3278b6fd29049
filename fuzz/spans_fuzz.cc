// Arbitrary tag lists through the span decoder and the span aligner. Tags are separated by
// line feeds, the gold list from the predicted one by a NUL byte. Spans must lie within their
// sequence, be sorted and disjoint, and every aligned pair must hold a span.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz/fuzz_support.h"
#include "nlpeval/evaluator/badcase/span_tools.h"

namespace {

using nlpeval::fuzz::require;

nlpeval::TagSequence split_tags(std::string_view bytes) {
  nlpeval::TagSequence tags;
  if (bytes.empty()) return tags;
  size_t start = 0;
  for (;;) {
    size_t end = bytes.find('\n', start);
    tags.emplace_back(bytes.substr(start, end - start));
    if (end == std::string_view::npos) return tags;
    start = end + 1;
  }
}

void check_spans(const std::vector<nlpeval::TypedStringSpan>& spans, size_t tags) {
  for (size_t i = 0; i < spans.size(); ++i) {
    require(spans[i].start <= spans[i].end && spans[i].end < tags, "span within the sequence");
    if (i > 0) require(spans[i - 1].end < spans[i].start, "spans sorted and disjoint");
  }
}

void check_pairs(const std::vector<nlpeval::SpanPair>& pairs, size_t gold_tags, size_t pred_tags) {
  for (const nlpeval::SpanPair& pair : pairs) {
    require(pair.first || pair.second, "a pair holds a span");
    if (pair.first) require(pair.first->end < gold_tags, "gold span within its sequence");
    if (pair.second) require(pair.second->end < pred_tags, "predicted span within its sequence");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto [gold_bytes, pred_bytes] =
      nlpeval::fuzz::split_at_nul(std::string_view(reinterpret_cast<const char*>(data), size));
  nlpeval::TagSequence gold = split_tags(gold_bytes);
  nlpeval::TagSequence pred = split_tags(pred_bytes);
  nlpeval::fuzz::expect_library_errors_only(
      [&] { check_spans(nlpeval::iob1_tags_to_spans(gold), gold.size()); });
  nlpeval::fuzz::expect_library_errors_only([&] {
    std::vector<std::string> ignored{"PER", ""};
    check_spans(nlpeval::iob1_tags_to_spans(pred, ignored), pred.size());
  });
  nlpeval::fuzz::expect_library_errors_only(
      [&] { check_pairs(nlpeval::align_spans(gold, pred), gold.size(), pred.size()); });
  nlpeval::fuzz::expect_library_errors_only([&] {
    nlpeval::TagViews gold_views(gold.begin(), gold.end());
    nlpeval::TagViews pred_views(pred.begin(), pred.end());
    check_pairs(nlpeval::align_viewed_spans(gold_views, pred_views), gold.size(), pred.size());
  });
  return 0;
}
