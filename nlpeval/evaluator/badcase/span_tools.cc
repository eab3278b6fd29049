#include "nlpeval/evaluator/badcase/span_tools.h"

#include <algorithm>

#include "nlpeval/core/errors.h"
#include "nlpeval/core/value.h"

namespace nlpeval {
namespace {

struct ParsedTag {
  std::string_view letter;
  std::string_view type;
};

// Bytes of the UTF-8 character that starts with `lead`; a stray byte counts as one.
size_t character_size(unsigned char lead) {
  if (lead >= 0xF0) return 4;
  if (lead >= 0xE0) return 3;
  if (lead >= 0xC0) return 2;
  return 1;
}

// Splits a tag into its letter (first byte: a letter that is not one ASCII byte is invalid
// anyway) and its type, after the second character, which may take several bytes.
ParsedTag parse_tag(std::string_view tag) {
  if (tag.empty()) throw IndexError("string index out of range: a tag is the empty string");
  const size_t second = 1;
  const size_t type_start =
      second < tag.size()
          ? std::min(tag.size(), second + character_size(static_cast<unsigned char>(tag[second])))
          : tag.size();
  return {tag.substr(0, 1), tag.substr(type_start)};
}

bool is_bio_letter(std::string_view letter) {
  return letter == "B" || letter == "I" || letter == "O";
}

template <typename Tags>
[[noreturn]] void throw_invalid_sequence(const Tags& tag_sequence) {
  Value tags = Value::array();
  for (std::string_view tag : tag_sequence) tags.push_back(tag);
  throw ValueError(repr(tags) + " is invalid tag sequence");
}

bool is_ignored(std::string_view type, const std::optional<std::vector<std::string>>& ignored) {
  return ignored && std::find(ignored->begin(), ignored->end(), type) != ignored->end();
}

// True when the start or the end of `pred` lies within `gold`.
bool endpoint_within(const TypedStringSpan& pred, const TypedStringSpan& gold) {
  const auto within = [&](size_t position) {
    return gold.start <= position && position <= gold.end;
  };
  return within(pred.start) || within(pred.end);
}

// The chunk being read: its type (absent between chunks) and extent.
class OpenChunk {
 public:
  void start(std::string_view type, size_t position) {
    type_ = type;
    start_ = end_ = position;
  }
  void extend(size_t position) { end_ = position; }
  void close_into(std::vector<TypedStringSpan>& spans) {
    if (type_) spans.push_back({std::string(*type_), start_, end_});
    type_.reset();
  }

 private:
  std::optional<std::string_view> type_;
  size_t start_ = 0;
  size_t end_ = 0;
};

}  // namespace

bool _iob1_start_of_chunk(std::optional<std::string_view> prev_bio_tag,
                          std::optional<std::string_view> prev_conll_tag,
                          std::string_view curr_bio_tag, std::string_view curr_conll_tag) {
  if (curr_bio_tag == "B") return true;
  if (curr_bio_tag == "I" && prev_bio_tag == "O") return true;
  return curr_bio_tag != "O" && prev_conll_tag != curr_conll_tag;
}

namespace {

// Both readings of a sequence, strings and views, take these two.
template <typename Tags>
std::vector<TypedStringSpan> tags_to_spans(
    const Tags& tag_sequence, const std::optional<std::vector<std::string>>& classes_to_ignore) {
  std::vector<TypedStringSpan> spans;
  OpenChunk chunk;
  std::optional<std::string_view> prev_letter;
  std::optional<std::string_view> prev_type;
  for (size_t i = 0; i < tag_sequence.size(); ++i) {
    const ParsedTag tag = parse_tag(tag_sequence[i]);
    if (!is_bio_letter(tag.letter)) throw_invalid_sequence(tag_sequence);
    if (tag.letter == "O" || is_ignored(tag.type, classes_to_ignore)) {
      chunk.close_into(spans);
    } else if (_iob1_start_of_chunk(prev_letter, prev_type, tag.letter, tag.type)) {
      chunk.close_into(spans);
      chunk.start(tag.type, i);
    } else {
      chunk.extend(i);  // only reached inside a chunk: after O or an ignored type, I starts one
    }
    prev_letter = tag.letter;
    prev_type = tag.type;
  }
  chunk.close_into(spans);
  return spans;
}

template <typename Tags>
std::vector<SpanPair> align(const Tags& true_labels, const Tags& pred_labels) {
  for (std::string_view tag : true_labels) {
    if (tag == "S" || tag == "E") throw ValueError("invalid BIO tag sequence");
  }
  const std::vector<TypedStringSpan> gold = tags_to_spans(true_labels, std::nullopt);
  const std::vector<TypedStringSpan> pred = tags_to_spans(pred_labels, std::nullopt);

  // Both lists are sorted and their spans disjoint, so the predicted spans that can touch a
  // gold span start at the first one not ending before it, and that point only moves on.
  std::vector<SpanPair> pairs;
  pairs.reserve(gold.size() + pred.size());
  std::vector<bool> matched(pred.size(), false);
  size_t first = 0;
  for (const TypedStringSpan& g : gold) {
    while (first < pred.size() && pred[first].end < g.start) ++first;
    bool paired = false;
    for (size_t k = first; k < pred.size() && pred[k].start <= g.end; ++k) {
      if (!endpoint_within(pred[k], g)) continue;  // a prediction strictly covering g
      pairs.emplace_back(g, pred[k]);
      matched[k] = true;
      paired = true;
    }
    if (!paired) pairs.emplace_back(g, std::nullopt);
  }
  for (size_t k = 0; k < pred.size(); ++k) {
    if (!matched[k]) pairs.emplace_back(std::nullopt, pred[k]);
  }
  return pairs;
}

}  // namespace

std::vector<TypedStringSpan> iob1_tags_to_spans(
    const TagSequence& tag_sequence,
    const std::optional<std::vector<std::string>>& classes_to_ignore) {
  return tags_to_spans(tag_sequence, classes_to_ignore);
}

std::vector<SpanPair> align_spans(const TagSequence& true_labels, const TagSequence& pred_labels) {
  return align(true_labels, pred_labels);
}

std::vector<SpanPair> align_viewed_spans(const TagViews& true_labels, const TagViews& pred_labels) {
  return align(true_labels, pred_labels);
}

TagViews tag_views(size_t text_length, const Record& record, const TagKeys& keys,
                   BioTagger& tagger) {
  TagIdSequence ids;
  tagger.tag(text_length, record, keys, ids);
  TagViews views;
  views.reserve(ids.size());
  for (TagId id : ids) views.push_back(tagger.vocabulary().tag(id));
  return views;
}

}  // namespace nlpeval
