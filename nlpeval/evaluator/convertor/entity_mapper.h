#ifndef NLPEVAL_EVALUATOR_CONVERTOR_ENTITY_MAPPER_H_
#define NLPEVAL_EVALUATOR_CONVERTOR_ENTITY_MAPPER_H_

// The "ner" mapper. A "ner" record is an object with a "text" and an array "entities" of
// objects {"offset", "length", "type"}; offsets and lengths count code points of the text.
//
// The mapping itself serves any record whose elements sit at an "offset" with a "length":
// convert_elements and convert_element_tags take the record layout as TagKeys, so the
// part-of-speech mapper is this one applied to "words" and "pos".

#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "nlpeval/core/record.h"
#include "nlpeval/core/tags.h"
#include "nlpeval/core/tags_ahead.h"

namespace nlpeval {

// Where a "ner" record keeps its entities and each entity its type.
inline constexpr TagKeys kEntityKeys{.elements = "entities", .type = "type"};

// Adds the instance's one (gold, predicted) pair of tag sequences to `tags`, as ids of
// `tagger`'s vocabulary. Reads both texts first (the gold one first), then tags the predicted
// record, then the gold one: when both are malformed, the prediction's error is reported.
// Throws TypeError when a record is not an object or a value has the wrong kind, KeyError
// for a missing key, and ValueError "text is different on line: <index>" (or "None") when
// the two texts differ.
void convert_element_tags(const Record& label, const Record& prediction,
                          std::optional<int64_t> index, const TagKeys& keys, BioTagger& tagger,
                          InstanceTags& tags);

// convert_element_tags for two records whose files were tagged ahead with the same `keys`:
// the same tags, or the same error. When a side could not be tagged alone, the instance is
// mapped the usual way.
void convert_tagged_sides(const Record& label, const Record& prediction,
                          std::optional<int64_t> index, const TagKeys& keys, const TaggedSide& gold,
                          const TaggedSide& pred, BioTagger& tagger, InstanceTags& tags);

// The same as strings: ([gold tags], [predicted tags]).
std::pair<std::vector<TagSequence>, std::vector<TagSequence>> convert_elements(
    const Record& label, const Record& prediction, std::optional<int64_t> index,
    const TagKeys& keys);

// Turns a gold and a predicted "ner" record into two tag sequences with one tag per code
// point of the text: "B-" + type on an entity's first character, "I-" + type on the rest,
// "O" elsewhere. Where entities overlap, the later one in the array wins position by
// position; parts of an entity outside the text are dropped.
class EntityMapper {
 public:
  // Every pair of records it maps without an error has the task's record format: it reads
  // each key the format requires, with its kind, on both sides. A walk that maps a pair has
  // then validated it.
  static constexpr bool kChecksRecordFormat = true;

  // Returns ([gold tags], [predicted tags]): one sequence in each list, for the driver to
  // append to its running lists. `index` is the instance's position, used in messages only.
  // Throws as convert_element_tags does.
  std::pair<std::vector<TagSequence>, std::vector<TagSequence>> convert(
      const Record& label, const Record& prediction, std::optional<int64_t> index = {}) const;

  // The same as tag ids: adds the instance's one (gold, predicted) pair to `tags`, built by
  // `tagger`. The driver's road: no string per character.
  void convert_tags(const Record& label, const Record& prediction, std::optional<int64_t> index,
                    BioTagger& tagger, InstanceTags& tags) const;

  // The keys the reading threads tag records with, and the same as convert_tags from records
  // so tagged (see convert_tagged_sides).
  static constexpr const TagKeys& kAheadKeys = kEntityKeys;
  void convert_tagged(const Record& label, const Record& prediction, std::optional<int64_t> index,
                      const TaggedSide& gold, const TaggedSide& pred, BioTagger& tagger,
                      InstanceTags& tags) const;

 private:
  // The tags of `label`'s entities over `text` (UTF-8).
  static TagSequence _convert_entity(std::string_view text, const Record& label);
};

}  // namespace nlpeval

#endif  // NLPEVAL_EVALUATOR_CONVERTOR_ENTITY_MAPPER_H_
