#include "nlpeval/core/tags.h"

#include <algorithm>
#include <cstring>
#include <numeric>

#include "nlpeval/core/errors.h"
#include "nlpeval/core/utf8.h"

namespace nlpeval {
namespace {

std::string_view key_or_alias(const Record& object, std::string_view key, std::string_view alias) {
  return !alias.empty() && object.contains(alias) ? alias : key;
}

// The positions [first, end) an element tags.
struct Cover {
  size_t first;
  size_t end;
};

// `element` cut to a text of `size` positions; it must start within the text.
Cover cover_of(const BioTagger::Element& element, int64_t size) {
  const int64_t room = size - element.offset;  // at least 1
  const int64_t end = element.offset + std::clamp<int64_t>(element.length, 1, room);
  return {static_cast<size_t>(element.offset), static_cast<size_t>(end)};
}

}  // namespace

TagCollisions BioTagger::tag(size_t text_length, const Record& record, const TagKeys& keys,
                             TagIdSequence& tags) {
  read_elements(record, keys);
  return tag(text_length, elements_, tags);
}

TagCollisions BioTagger::tag(size_t text_length, std::span<const Element> elements,
                             TagIdSequence& tags) {
  TagCollisions collisions;
  if (tag_apart(elements, text_length, tags, collisions)) return collisions;
  tags.assign(text_length, TagVocabulary::kOutside);
  next_free_.resize(text_length + 1);
  std::iota(next_free_.begin(), next_free_.end(), size_t{0});
  for (auto element = elements.rbegin(); element != elements.rend(); ++element) {
    apply(*element, tags, collisions);
  }
  return collisions;
}

// Reads every element before any is applied: a malformed element fails the same way wherever
// it stands, and the elements can then be applied from the last to the first. Each element's
// members are found in one walk over it; a missing or mistyped one is reported in the order
// "offset", type, "length".
void BioTagger::read_elements(const Record& record, const TagKeys& keys) {
  const std::string_view array_key = key_or_alias(record, keys.elements, keys.elements_alias);
  const RecordArray array = record.get_array(array_key);
  elements_.clear();
  for (const Record element : array) {
    if (!element.is_object()) {
      element.expect_object(std::string(array_key) + "[" + std::to_string(elements_.size()) + "]");
    }
    const auto members =
        element.find_each<4>({keys.offset, keys.type, keys.type_alias, keys.length});
    const int64_t offset = members.at(0, keys.offset).as_int(keys.offset);
    const bool aliased = members.has(2);
    const std::string_view type_key = aliased ? keys.type_alias : keys.type;
    const std::string_view type = members.at(aliased ? 2 : 1, type_key).as_string(type_key);
    elements_.push_back({offset, members.at(3, keys.length).as_int(keys.length), type});
  }
}

// Words, and most entities, follow one another without sharing a position. Then no rule for
// overlaps comes into play and the tags are written from the first position to the last, each
// run of one tag in whole blocks (write_run). Returns false, having written nothing, when two
// elements share a position, lie out of order or start before the text.
bool BioTagger::tag_apart(std::span<const Element> elements, size_t text_length,
                          TagIdSequence& tags, TagCollisions& collisions) {
  const auto size = static_cast<int64_t>(text_length);
  int64_t covered_to = 0;
  int64_t beyond_text = 0;
  for (const Element& element : elements) {
    if (element.offset >= size) {  // tags nothing
      ++beyond_text;
      continue;
    }
    if (element.offset < covered_to) return false;
    covered_to = static_cast<int64_t>(cover_of(element, size).end);
  }
  collisions.outside_text += beyond_text;
  // The types are looked up from the last element to the first, as where elements overlap, so
  // that the vocabulary meets them in the same order.
  element_ids_.resize(elements.size());
  for (size_t k = elements.size(); k-- > 0;) {
    if (elements[k].offset < size) element_ids_[k] = vocabulary_.begin_inside(elements[k].type);
  }
  tags.resize(text_length + kRunBlock);  // room for the last block to run over
  size_t written_to = 0;
  for (size_t k = 0; k < elements.size(); ++k) {
    if (elements[k].offset >= size) continue;
    const Cover cover = cover_of(elements[k], size);
    write_run(tags, written_to, cover.first, TagVocabulary::kOutside);
    tags[cover.first] = element_ids_[k].first;
    write_run(tags, cover.first + 1, cover.end, element_ids_[k].second);
    written_to = cover.end;
  }
  write_run(tags, written_to, text_length, TagVocabulary::kOutside);
  tags.resize(text_length);
  return true;
}

// Writes `tag` over [begin, end) in blocks of kRunBlock, the last one running past `end` (and
// a first block even when the run is empty) rather than stopping on a branch that word lengths
// decide. Whatever it writes past `end` the next run overwrites, as runs are written in order.
void BioTagger::write_run(TagIdSequence& tags, size_t begin, size_t end, TagId tag) {
  TagId block[kRunBlock];
  std::fill_n(block, kRunBlock, tag);
  size_t at = begin;
  do {
    std::memcpy(tags.data() + at, block, sizeof block);
    at += kRunBlock;
  } while (at < end);
}

// Elements come from the last to the first, so a character an element finds taken belongs
// to a later element: that is an overlap.
void BioTagger::apply(const Element& element, TagIdSequence& tags, TagCollisions& collisions) {
  const int64_t size = static_cast<int64_t>(tags.size());
  const int64_t offset = element.offset;
  if (offset >= size) {  // nothing of it lies in the text
    ++collisions.outside_text;
    return;
  }
  const bool has_inside = element.length > 1;
  // Its characters in the text: the first if offset >= 0, and [begin, end) inside, where
  // [offset + 1, offset + length) is cut to the text. offset < size, so offset + 1 cannot
  // overflow; offset + length is formed only when the two have opposite signs.
  const bool has_first = offset >= 0;
  const int64_t begin = std::max<int64_t>(offset + 1, 0);
  const int64_t end = !has_inside  ? begin
                      : offset < 0 ? std::min(offset + element.length, size)
                                   : offset + std::min(element.length, size - offset);
  const int64_t characters = (has_first ? 1 : 0) + std::max<int64_t>(end - begin, 0);
  const auto first = static_cast<size_t>(offset);
  const bool has_begin = has_first && find_free(first) == first;
  int64_t written = 0;
  if (has_begin || has_inside) {
    const auto [begin_id, inside_id] = vocabulary_.begin_inside(element.type);
    if (has_begin) {
      tags[first] = begin_id;
      take(first);
      written = 1;
    }
    if (begin < end) {
      written += static_cast<int64_t>(
          fill_inside(tags, static_cast<size_t>(begin), static_cast<size_t>(end), inside_id));
    }
  }
  if (characters == 0) {
    ++collisions.outside_text;
  } else if (written < characters) {
    ++collisions.overlapping;
  }
}

// Tags every free position of [begin, end) with `inside`; returns how many there were.
size_t BioTagger::fill_inside(TagIdSequence& tags, size_t begin, size_t end, TagId inside) {
  size_t written = 0;
  for (size_t position = find_free(begin); position < end; position = find_free(position)) {
    tags[position] = inside;
    take(position);
    ++written;
  }
  return written;
}

// find_free from a taken position: follows the chain to the first free one and points every
// position passed straight at it.
size_t BioTagger::find_taken_onwards(size_t position) {
  size_t root = position;
  while (next_free_[root] != root) root = next_free_[root];
  while (next_free_[position] != root) position = std::exchange(next_free_[position], root);
  return root;
}

std::pair<TagIdSequence&, TagIdSequence&> InstanceTags::add() {
  if (size_ == gold_.size()) {
    gold_.emplace_back();
    pred_.emplace_back();
  }
  TagIdSequence& gold = gold_[size_];
  TagIdSequence& pred = pred_[size_];
  ++size_;
  gold.clear();
  pred.clear();
  return {gold, pred};
}

TagSequence bio_tags(size_t text_length, const Record& record, const TagKeys& keys) {
  BioTagger tagger;
  TagIdSequence ids;
  tagger.tag(text_length, record, keys, ids);
  return tagger.vocabulary().strings(ids);
}

void throw_texts_differ(std::optional<int64_t> index) {
  throw ValueError("text is different on line: " +
                   (index ? std::to_string(*index) : std::string("None")));
}

void convert_element_tags(const Record& label, const Record& prediction,
                          std::optional<int64_t> index, const TagKeys& keys, BioTagger& tagger,
                          InstanceTags& tags) {
  label.expect_object("label");
  prediction.expect_object("prediction");
  const std::optional<std::string_view> text = shared_text_of(label, prediction);
  if (!text) throw_texts_differ(index);
  const size_t length = utf8::length(*text);
  auto [true_tags, pred_tags] = tags.add();
  tags.collisions += tagger.tag(length, prediction, keys, pred_tags);
  tags.collisions += tagger.tag(length, label, keys, true_tags);
}

}  // namespace nlpeval
