#ifndef NLPEVAL_CORE_TAGS_H_
#define NLPEVAL_CORE_TAGS_H_

// Tag sequences in the BIO scheme, and the builder that turns the elements of a record that
// sit at an "offset" with a "length" (entities, words) into one. The mappers score these
// sequences and the miners decode them again into spans; both build them here, so the two
// always agree on what a record means.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "nlpeval/core/record.h"
#include "nlpeval/core/tag_collisions.h"
#include "nlpeval/core/tag_vocabulary.h"

namespace nlpeval {

// One tag per code point of a text: "B-" + type on an element's first character, "I-" + type
// on its further characters, "O" on characters no element covers.
using TagSequence = std::vector<std::string>;

// Where a record keeps its text and its elements, and each element its extent and type:
// "entities" and "type" for named entities, "words" and "pos" for parts of speech (each task's
// keys are in its descriptor, tasks/task.h). A non-empty alias is read instead of its key
// whenever the record (or the element) has it.
struct TagKeys {
  std::string_view text = "text";
  std::string_view elements;
  std::string_view offset = "offset";
  std::string_view type;
  std::string_view length = "length";
  std::string_view elements_alias = {};
  std::string_view type_alias = {};
};

// Builds BIO tags as ids of its own vocabulary, reusing its working memory from one record to
// the next: tagging a million records allocates next to nothing. Not shared between threads.
//
// Each element is read as "offset", then its type, then "length", in array order; it tags its
// offset "B-" + type and the positions from offset + 1 up to offset + length "I-" + type.
// Where elements overlap, each position keeps the tag of the last element covering it.
// Positions outside the text are dropped, whatever the numbers: the work is bounded by the
// text length plus the number of elements. An element's characters are those it would tag in
// the text: offset and, for a length above 1, up to offset + length (see TagCollisions).
class BioTagger {
 public:
  TagVocabulary& vocabulary() { return vocabulary_; }
  const TagVocabulary& vocabulary() const { return vocabulary_; }

  // Sets `tags` to the tags of the elements of `record` over a text of `text_length` code
  // points, and returns the elements that could not keep all their characters. Throws
  // KeyError for a missing key and TypeError for a value of the wrong kind.
  TagCollisions tag(size_t text_length, const Record& record, const TagKeys& keys,
                    TagIdSequence& tags);

  // One element as read from its record; `type` points into the record.
  struct Element {
    int64_t offset;
    int64_t length;
    std::string_view type;
  };

  // The same for elements a caller has read itself (records of another layout), in array
  // order. Throws nothing but ValueError when the vocabulary is full.
  TagCollisions tag(size_t text_length, std::span<const Element> elements, TagIdSequence& tags);

 private:
  void read_elements(const Record& record, const TagKeys& keys);
  bool tag_apart(std::span<const Element> elements, size_t text_length, TagIdSequence& tags,
                 TagCollisions& collisions);
  static void write_run(TagIdSequence& tags, size_t begin, size_t end, TagId tag);
  void apply(const Element& element, TagIdSequence& tags, TagCollisions& collisions);
  size_t fill_inside(TagIdSequence& tags, size_t begin, size_t end, TagId inside);
  // The first free position at or after `position`; the text length when there is none.
  size_t find_free(size_t position) {
    return next_free_[position] == position ? position : find_taken_onwards(position);
  }
  size_t find_taken_onwards(size_t position);
  void take(size_t position) { next_free_[position] = position + 1; }

  TagVocabulary vocabulary_;
  std::vector<Element> elements_;
  std::vector<std::pair<TagId, TagId>> element_ids_;  // "B-" and "I-" of each element's type
  static constexpr size_t kRunBlock = 4;
  // The positions no element has tagged yet: a free position points to itself, a taken one
  // further on. Elements are applied from the last to the first, so the first tag a position
  // gets is its final one: each position is written once however much the elements overlap.
  std::vector<size_t> next_free_;
};

// The gold and predicted tag sequences a mapper makes of one instance, in pairs, as ids of a
// BioTagger's vocabulary. Reused from instance to instance: clear() keeps the buffers.
class InstanceTags {
 public:
  // A new pair of empty sequences; the references stay valid until the next add or clear.
  std::pair<TagIdSequence&, TagIdSequence&> add();
  void clear() {
    size_ = 0;
    collisions = {};
  }
  size_t size() const { return size_; }
  const TagIdSequence& gold(size_t k) const { return gold_[k]; }
  const TagIdSequence& pred(size_t k) const { return pred_[k]; }

  // Of the sequences added since the last clear(), for mappers of elements with offsets.
  TagCollisions collisions;

 private:
  std::vector<TagIdSequence> gold_;
  std::vector<TagIdSequence> pred_;
  size_t size_ = 0;
};

// The BIO tags of the elements of `record` over a text of `text_length` code points, as
// strings; see BioTagger for the rules. Throws as BioTagger::tag does.
TagSequence bio_tags(size_t text_length, const Record& record, const TagKeys& keys);

// Throws ValueError "text is different on line: <index>" (or "None").
[[noreturn]] void throw_texts_differ(std::optional<int64_t> index);

// The mapping of records whose elements sit at offsets ("ner", "pos"): adds the instance's
// one (gold, predicted) pair of tag sequences to `tags`, as ids of `tagger`'s vocabulary.
// Reads both texts first (the gold one first), then tags the predicted record, then the gold
// one: when both are malformed, the prediction's error is reported. Throws TypeError when a
// record is not an object or a value has the wrong kind, KeyError for a missing key, and
// ValueError "text is different on line: <index>" (or "None") when the two texts differ.
void convert_element_tags(const Record& label, const Record& prediction,
                          std::optional<int64_t> index, const TagKeys& keys, BioTagger& tagger,
                          InstanceTags& tags);

// The tag sequences a tag mapper (one with convert_tags) makes of one instance, as strings:
// ([gold sequences], [predicted sequences]).
template <typename Mapper>
std::pair<std::vector<TagSequence>, std::vector<TagSequence>> tags_as_text(
    const Mapper& mapper, const Record& label, const Record& prediction,
    std::optional<int64_t> index) {
  BioTagger tagger;
  InstanceTags tags;
  mapper.convert_tags(label, prediction, index, tagger, tags);
  std::pair<std::vector<TagSequence>, std::vector<TagSequence>> sequences;
  for (size_t k = 0; k < tags.size(); ++k) {
    sequences.first.push_back(tagger.vocabulary().strings(tags.gold(k)));
    sequences.second.push_back(tagger.vocabulary().strings(tags.pred(k)));
  }
  return sequences;
}

}  // namespace nlpeval

#endif  // NLPEVAL_CORE_TAGS_H_
