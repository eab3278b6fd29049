#ifndef NLPEVAL_EVALUATOR_BADCASE_SPAN_TOOLS_H_
#define NLPEVAL_EVALUATOR_BADCASE_SPAN_TOOLS_H_

// Span tools shared by the miners: decode a tag sequence into typed spans, and pair the spans
// of a gold sequence with those of a predicted one.
//
// A tag is read as its letter, the first character ("B", "I" or "O"), and its type, everything
// from the third character on; the second character (normally "-") is skipped unread. So
// "B-PER" is (B, PER) and "O" and "B" have the empty type. Decoding is IOB1: a chunk starts at
// B-, at I- after O, or at a type change.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "nlpeval/core/tags.h"
#include "nlpeval/evaluator/badcase/const.h"

namespace nlpeval {

// A chunk of a tag sequence: its type and the positions of its first and last tag, both
// inclusive (a one-tag span has start == end).
struct TypedStringSpan {
  std::string type;
  size_t start = 0;
  size_t end = 0;

  friend bool operator==(const TypedStringSpan&, const TypedStringSpan&) = default;
};

// A gold span and a predicted span paired by align_spans; one side may be absent, not both.
using SpanPair = std::pair<std::optional<TypedStringSpan>, std::optional<TypedStringSpan>>;

// Returns the chunks of `tag_sequence` sorted by start (they never overlap). Tags whose type
// is in `classes_to_ignore` end a chunk like "O" does.
// Throws ValueError "['B-PER', 'X-PER'] is invalid tag sequence" (the whole sequence as a
// list) for a letter other than B, I and O, and IndexError for an empty tag.
std::vector<TypedStringSpan> iob1_tags_to_spans(
    const TagSequence& tag_sequence,
    const std::optional<std::vector<std::string>>& classes_to_ignore = {});

// Whether the current tag starts a new chunk, given the previous tag's letter and type
// (absent before the first tag): at B, at I after O, and at any letter but O whose type
// differs from the previous one.
bool _iob1_start_of_chunk(std::optional<std::string_view> prev_bio_tag,
                          std::optional<std::string_view> prev_conll_tag,
                          std::string_view curr_bio_tag, std::string_view curr_conll_tag);

// Pairs the spans of one instance's gold and predicted sequences. A predicted span is paired
// with a gold span when its start or its end lies within the gold span. In order: for each
// gold span by start, its pairs with the predicted spans by start, or (gold, absent) when
// none; then (absent, predicted) for each predicted span paired with no gold span.
// Throws ValueError "invalid BIO tag sequence" when the gold sequence holds a bare "S" or "E",
// and whatever iob1_tags_to_spans throws, for the gold sequence first.
std::vector<SpanPair> align_spans(const TagSequence& true_labels, const TagSequence& pred_labels);

// Tags viewed rather than owned, e.g. the texts of a TagVocabulary's ids.
using TagViews = std::vector<std::string_view>;

// The same over viewed tags.
std::vector<SpanPair> align_viewed_spans(const TagViews& true_labels, const TagViews& pred_labels);

// The error kind of a wrong pair of spans, by the first rule that holds: a side is missing; the
// types differ in the way the miner counts as a type error (`is_type_error(gold, pred)`, asked
// only when the types differ); the predicted span lies within the gold one; the gold span
// lies within the predicted one; otherwise they cross.
template <typename IsTypeError>
const char* span_error_kind(const SpanPair& span_pair, IsTypeError&& is_type_error) {
  if (!span_pair.first) return badcase::Error::TRUE_NONE_ERROR;
  if (!span_pair.second) return badcase::Error::PRED_NONE_ERROR;
  const TypedStringSpan& gold = *span_pair.first;
  const TypedStringSpan& pred = *span_pair.second;
  if (gold.type != pred.type && is_type_error(gold, pred)) return badcase::Error::TYPE_ERROR;
  if (gold.start <= pred.start && gold.end >= pred.end) return badcase::Error::PRED_IN_TRUE;
  if (gold.start >= pred.start && gold.end <= pred.end) return badcase::Error::TRUE_IN_PRED;
  return badcase::Error::PRED_CROSS_TRUE;
}

// The tags `tagger` gives `record` (read with `keys`) over `text_length` code points, viewing
// the texts of the tagger's vocabulary.
TagViews tag_views(size_t text_length, const Record& record, const TagKeys& keys,
                   BioTagger& tagger);

}  // namespace nlpeval

#endif  // NLPEVAL_EVALUATOR_BADCASE_SPAN_TOOLS_H_
