#include "nlpeval/evaluator/badcase/entity_miner.h"

#include <algorithm>
#include <utility>

#include "nlpeval/core/errors.h"
#include "nlpeval/core/utf8.h"
#include "nlpeval/evaluator/badcase/const.h"
#include "nlpeval/tasks/task.h"

namespace nlpeval {
namespace {

using EntityCount = std::unordered_map<std::string, int64_t>;
using badcase::Const;

// The entity mapper's keys, with an entity array under "nes" and a type under "ne" read
// instead when present.
const TagKeys& miner_keys() {
  static const TagKeys keys = [] {
    TagKeys aliased = *task_of(TaskId::ner).element_keys;
    aliased.elements_alias = "nes";
    aliased.type_alias = "ne";
    return aliased;
  }();
  return keys;
}

std::u32string_view slice(std::u32string_view text, const TypedStringSpan& span) {
  return text.substr(span.start, span.end - span.start + 1);
}

// The fields one side of a pair fills in.
struct SideFields {
  std::string_view label;
  std::string_view text;
  std::string_view count;
};
constexpr SideFields kTrueFields{"true_label", "true_text", "true_count"};
constexpr SideFields kPredFields{"pred_label", "pred_text", "pred_count"};

// Sets one side's label, text and, with a count map, count: the span's type, its characters
// and their count, or NONE, NONE and 0 when the side is absent.
void describe_side(Desc& desc, const SideFields& fields, const std::optional<TypedStringSpan>& span,
                   std::u32string_view text, const std::optional<EntityCount>& entity2count) {
  std::string span_text;
  if (span) span_text = utf8::encode(slice(text, *span));
  desc.set(fields.label, span ? Value(span->type) : Const::NONE);
  desc.set(fields.text, span ? Value(span_text) : Const::NONE);
  if (!entity2count) return;
  int64_t count = 0;
  if (span) {
    const auto found = entity2count->find(span_text);
    if (found != entity2count->end()) count = found->second;
  }
  desc.set(fields.count, count);
}

bool listed(const std::optional<TypedStringSpan>& span, const std::vector<std::string>& labels) {
  return span && std::find(labels.begin(), labels.end(), span->type) != labels.end();
}

// The error kind of a wrong pair. Texts are compared, not extents, so two overlapping spans of
// different types over equal texts are a type error too.
const char* error_kind(const SpanPair& span_pair, std::u32string_view text) {
  return span_error_kind(span_pair, [&](const TypedStringSpan& gold, const TypedStringSpan& pred) {
    return slice(text, gold) == slice(text, pred);
  });
}

}  // namespace

Label2PredData EntityMiner::generate(
    const Record& label, const Record& prediction, int64_t id_,
    const std::optional<EntityCount>& entity2count,
    const std::optional<std::vector<std::string>>& evaluate_labels) const {
  BioTagger tagger;
  return generate(label, prediction, id_, MiningContext{entity2count, evaluate_labels, tagger});
}

Label2PredData EntityMiner::generate(const Record& label, const Record& prediction, int64_t id_,
                                     const MiningContext& context) const {
  const std::optional<EntityCount>& entity2count = context.entity2count;
  const std::optional<std::vector<std::string>>& evaluate_labels = context.evaluate_labels;
  BioTagger& tagger = context.tagger;
  const std::string_view text = shared_text(label, prediction);

  Label2PredData result(id_, std::string(text), {});
  const std::u32string code_points = utf8::decode(text);
  const TagViews true_tags = tag_views(code_points.size(), label, miner_keys(), tagger);
  const TagViews pred_tags = tag_views(code_points.size(), prediction, miner_keys(), tagger);
  for (const SpanPair& span_pair : align_viewed_spans(true_tags, pred_tags)) {
    std::optional<Desc> desc =
        _generate_desc(span_pair, code_points, entity2count, evaluate_labels);
    if (desc) result.desc.push_back(std::move(*desc));
  }
  return result;
}

std::optional<Desc> EntityMiner::_generate_desc(
    const SpanPair& span_pair, std::u32string_view text,
    const std::optional<EntityCount>& entity2count,
    const std::optional<std::vector<std::string>>& evaluate_labels) {
  if (evaluate_labels && !listed(span_pair.first, *evaluate_labels) &&
      !listed(span_pair.second, *evaluate_labels)) {
    return std::nullopt;
  }
  Desc desc;
  describe_side(desc, kTrueFields, span_pair.first, text, entity2count);
  describe_side(desc, kPredFields, span_pair.second, text, entity2count);
  const bool is_right =
      span_pair.first && span_pair.second && *span_pair.first == *span_pair.second;
  desc.set("is_right", is_right ? 1 : 0);
  if (!is_right) desc.set("error_type", error_kind(span_pair, text));
  return desc;
}

}  // namespace nlpeval
