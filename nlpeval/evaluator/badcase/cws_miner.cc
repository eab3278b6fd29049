#include "nlpeval/evaluator/badcase/cws_miner.h"

#include <string>
#include <utility>

#include "nlpeval/core/errors.h"
#include "nlpeval/core/utf8.h"
#include "nlpeval/evaluator/badcase/const.h"

namespace nlpeval {
namespace {

using badcase::Const;

constexpr std::string_view kBeginWord = "B-word";
constexpr std::string_view kInsideWord = "I-word";

// The characters of `span` in `text`, clipped at its end: tag positions may run past it.
std::string element_text(std::u32string_view text, const TypedStringSpan& span) {
  if (span.start >= text.size()) return {};
  return utf8::encode(text.substr(span.start, span.end - span.start + 1));
}

// The error kind of a wrong pair; types that differ over equal texts are a type error. Every
// span the miner's own tags give is a "word", so that fires only for spans of other types.
const char* error_kind(const SpanPair& span_pair, const Desc& desc) {
  return span_error_kind(span_pair, [&](const TypedStringSpan&, const TypedStringSpan&) {
    return desc.get("pred_text") == desc.get("true_text");
  });
}

}  // namespace

Label2PredData CwsMiner::generate(const Record& label, const Record& prediction,
                                  int64_t id_) const {
  const std::string_view text = shared_text(label, prediction);

  Label2PredData result(id_, std::string(text), {});
  const TagViews true_labels = _convert_label(label);
  const TagViews pred_labels = _convert_label(prediction);
  const std::u32string code_points = utf8::decode(text);
  const std::vector<SpanPair> span_pairs = align_viewed_spans(true_labels, pred_labels);
  result.desc.reserve(span_pairs.size());
  for (const SpanPair& span_pair : span_pairs) {
    result.desc.push_back(_generate_desc(span_pair, code_points));
  }
  return result;
}

TagViews CwsMiner::_convert_label(const Record& label) {
  TagViews tags;
  size_t index = 0;
  for (const Record word : label.get_array("words")) {
    // The element's name is built only for the error, not for every word.
    if (word.kind() != Kind::string) word.as_string("words[" + std::to_string(index) + "]");
    const size_t length = utf8::length(word.as_string("words"));
    tags.push_back(kBeginWord);
    tags.insert(tags.end(), length > 0 ? length - 1 : 0, kInsideWord);
    ++index;
  }
  return tags;
}

Desc CwsMiner::_generate_desc(const SpanPair& span_pair, std::u32string_view text) {
  Desc desc;
  const auto& [gold, pred] = span_pair;
  desc.set("true_label", gold ? Value(gold->type) : Const::NONE);
  desc.set("true_text", gold ? Value(element_text(text, *gold)) : Const::NONE);
  desc.set("pred_label", pred ? Value(pred->type) : Const::NONE);
  desc.set("pred_text", pred ? Value(element_text(text, *pred)) : Const::NONE);
  if (!pred) desc.set("pred_count", 0);
  const bool is_right = gold && pred && *gold == *pred;
  desc.set("is_right", is_right ? 1 : 0);
  if (!is_right) desc.set("error_type", error_kind(span_pair, desc));
  return desc;
}

}  // namespace nlpeval
