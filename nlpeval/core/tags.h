#ifndef NLPEVAL_CORE_TAGS_H_
#define NLPEVAL_CORE_TAGS_H_

// Tag sequences in the BIO scheme, and the builder that turns the elements of a record that
// sit at an "offset" with a "length" (entities, words) into one. The mappers score these
// sequences and the miners decode them again into spans; both build them here, so the two
// always agree on what a record means.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <numeric>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "nlpeval/core/record.h"

namespace nlpeval {

// One tag per code point of a text: "B-" + type on an element's first character, "I-" + type
// on its further characters, "O" on characters no element covers.
using TagSequence = std::vector<std::string>;

// Where a record keeps its elements and each element its type: "entities" and "type" for
// named entities, "words" and "pos" for parts of speech. A non-empty alias is read instead of
// its key whenever the record (or the element) has it.
struct TagKeys {
  std::string_view elements;
  std::string_view type;
  std::string_view elements_alias = {};
  std::string_view type_alias = {};
};

// Returns the BIO tags of the elements of `record` over a text of `text_length` code points.
// Each element is read as "offset", then its type, then "length", in array order; it tags its
// offset "B-" + type and the positions from offset + 1 up to offset + length "I-" + type.
// Where elements overlap, each position keeps the tag of the last element covering it.
// Positions outside the text are dropped, whatever the numbers: the work is bounded by the
// text length plus the number of elements.
// Throws KeyError for a missing key and TypeError for a value of the wrong kind.
inline TagSequence bio_tags(size_t text_length, const Record& record, const TagKeys& keys);

namespace tags_internal {

// One element as read from its record; `type` points into the record.
struct Element {
  int64_t offset;
  int64_t length;
  std::string_view type;
};

inline std::string_view key_or_alias(const Record& object, std::string_view key,
                                     std::string_view alias) {
  return !alias.empty() && object.contains(alias) ? alias : key;
}

// Reads every element before any is applied: a malformed element fails the same way wherever
// it stands, and the elements can then be applied from the last to the first.
inline std::vector<Element> read_elements(const Record& record, const TagKeys& keys) {
  const std::string_view array_key = key_or_alias(record, keys.elements, keys.elements_alias);
  const RecordArray array = record.get_array(array_key);
  std::vector<Element> elements;
  elements.reserve(array.size());
  for (const Record element : array) {
    if (!element.is_object()) {
      element.expect_object(std::string(array_key) + "[" + std::to_string(elements.size()) + "]");
    }
    const int64_t offset = element.get_int("offset");
    const std::string_view type =
        element.get_string(key_or_alias(element, keys.type, keys.type_alias));
    elements.push_back({offset, element.get_int("length"), type});
  }
  return elements;
}

// The positions of a text that no element has tagged yet. Elements are applied from the last
// to the first, so the first tag a position gets is its final one: each position is written
// once however much the elements overlap.
class FreePositions {
 public:
  explicit FreePositions(size_t size) : next_(size + 1) {
    std::iota(next_.begin(), next_.end(), size_t{0});
  }

  // The first free position at or after `position`; the text length when there is none.
  size_t find(size_t position) {
    size_t root = position;
    while (next_[root] != root) root = next_[root];
    while (next_[position] != root) position = std::exchange(next_[position], root);
    return root;
  }

  void take(size_t position) { next_[position] = position + 1; }

 private:
  std::vector<size_t> next_;  // a free position points to itself, a taken one further on
};

inline std::string prefixed(std::string_view prefix, std::string_view type) {
  std::string tag;
  tag.reserve(prefix.size() + type.size());
  tag.append(prefix).append(type);
  return tag;
}

// Tags every free position of [begin, end) with "I-" + type, building the tag at most once.
inline void fill_inside(TagSequence& tags, FreePositions& free, size_t begin, size_t end,
                        std::string_view type) {
  size_t position = free.find(begin);
  if (position >= end) return;
  const std::string tag = prefixed("I-", type);
  for (; position < end; position = free.find(position)) {
    tags[position] = tag;
    free.take(position);
  }
}

inline void apply(const Element& element, TagSequence& tags, FreePositions& free) {
  const int64_t size = static_cast<int64_t>(tags.size());
  const int64_t offset = element.offset;
  if (offset >= size) return;  // nothing of it lies in the text
  if (offset >= 0) {
    const auto first = static_cast<size_t>(offset);
    if (free.find(first) == first) {
      tags[first] = prefixed("B-", element.type);
      free.take(first);
    }
  }
  if (element.length <= 1) return;  // no "I-" part
  // [offset + 1, offset + length) cut to the text. offset < size, so offset + 1 cannot
  // overflow; offset + length is formed only when the two have opposite signs.
  const int64_t begin = std::max<int64_t>(offset + 1, 0);
  const int64_t end = offset < 0 ? std::min(offset + element.length, size)
                                 : offset + std::min(element.length, size - offset);
  if (begin < end) {
    fill_inside(tags, free, static_cast<size_t>(begin), static_cast<size_t>(end), element.type);
  }
}

}  // namespace tags_internal

inline TagSequence bio_tags(size_t text_length, const Record& record, const TagKeys& keys) {
  const std::vector<tags_internal::Element> elements = tags_internal::read_elements(record, keys);
  TagSequence tags(text_length);  // empty strings until tagged: no allocation yet
  tags_internal::FreePositions free(text_length);
  for (auto element = elements.rbegin(); element != elements.rend(); ++element) {
    tags_internal::apply(*element, tags, free);
  }
  for (std::string& tag : tags) {
    if (tag.empty()) tag.assign(1, 'O');  // every written tag has at least its prefix
  }
  return tags;
}

}  // namespace nlpeval

#endif  // NLPEVAL_CORE_TAGS_H_
