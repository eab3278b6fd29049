#include "nlpeval/evaluator/badcase/pos_miner.h"

#include <string>
#include <utility>

#include "nlpeval/core/errors.h"
#include "nlpeval/core/utf8.h"
#include "nlpeval/evaluator/badcase/const.h"
#include "nlpeval/tasks/task.h"

namespace nlpeval {
namespace {

// The "pos" record layout, as the mapper reads it.
const TagKeys& word_keys() {
  static const TagKeys& keys = *task_of(TaskId::pos).element_keys;
  return keys;
}

using badcase::Const;

// Sets one side's label and text: the span's part of speech and characters, or NONE twice.
void describe_side(Desc& desc, std::string_view label_field, std::string_view text_field,
                   const std::optional<TypedStringSpan>& span, std::u32string_view text) {
  if (!span) {
    desc.set(label_field, Const::NONE);
    desc.set(text_field, Const::NONE);
    return;
  }
  desc.set(label_field, span->type);
  desc.set(text_field, utf8::encode(text.substr(span->start, span->end - span->start + 1)));
}

// The error kind of a wrong pair; any difference of part of speech is a type error.
const char* error_kind(const SpanPair& span_pair) {
  return span_error_kind(span_pair,
                         [](const TypedStringSpan&, const TypedStringSpan&) { return true; });
}

}  // namespace

Label2PredData PosMiner::generate(const Record& label, const Record& prediction,
                                  int64_t id_) const {
  BioTagger tagger;
  return generate(label, prediction, id_, MiningContext{std::nullopt, std::nullopt, tagger});
}

Label2PredData PosMiner::generate(const Record& label, const Record& prediction, int64_t id_,
                                  const MiningContext& context) const {
  BioTagger& tagger = context.tagger;
  const std::string_view text = shared_text(label, prediction);

  Label2PredData result(id_, std::string(text), {});
  const std::u32string code_points = utf8::decode(text);
  const TagViews true_tags = tag_views(code_points.size(), label, word_keys(), tagger);
  const TagViews pred_tags = tag_views(code_points.size(), prediction, word_keys(), tagger);
  const std::vector<SpanPair> span_pairs = align_viewed_spans(true_tags, pred_tags);
  result.desc.reserve(span_pairs.size());
  for (const SpanPair& span_pair : span_pairs) {
    result.desc.push_back(_generate_desc(span_pair, code_points));
  }
  return result;
}

Desc PosMiner::_generate_desc(const SpanPair& span_pair, std::u32string_view text) {
  Desc desc;
  describe_side(desc, "true_label", "true_text", span_pair.first, text);
  describe_side(desc, "pred_label", "pred_text", span_pair.second, text);
  const bool is_right =
      span_pair.first && span_pair.second && *span_pair.first == *span_pair.second;
  desc.set("is_right", is_right ? 1 : 0);
  if (!is_right) desc.set("error_type", error_kind(span_pair));
  return desc;
}

}  // namespace nlpeval
