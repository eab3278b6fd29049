#ifndef NLPEVAL_CORE_INTERNAL_TAGS_AHEAD_H_
#define NLPEVAL_CORE_INTERNAL_TAGS_AHEAD_H_

// Tagging each side of a data set ahead of the pairing: the thread that reads a file tags
// its records alone, as ids of a vocabulary of its own, while the caller pairs the instances
// of batches tagged before. The caller then only compares the texts and turns the ids into
// those of its vocabulary. Reading the elements, where most of the tagging time goes, is
// done while the record's document is still in the reading core's cache.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "nlpeval/core/record.h"
#include "nlpeval/core/tag_vocabulary.h"
#include "nlpeval/core/tags.h"

namespace nlpeval {

// One record's side of an instance as tagged ahead.
struct SideTags {
  std::string_view text;  // in the record's document
  size_t first = 0;       // of its tags in the batch's `tags`
  size_t size = 0;
  TagCollisions collisions;  // of its elements
  // False when the record could not be tagged alone (not an object, no text, a malformed
  // element): its instance must then be mapped the usual way, which reports why.
  bool tagged = false;
};

// The records of one batch of a file, tagged as ids of the file's own vocabulary.
struct TaggedBatch {
  std::vector<SideTags> records;  // one per record of the batch, in order
  TagIdSequence tags;             // the tags of all its records, one after another
  uint64_t serial = 0;            // the batches of a file count from 1
  // The tags the file's vocabulary gained while this batch was tagged, with their ids from
  // `first_new_tag` on.
  TagId first_new_tag = 0;
  std::vector<std::string> new_tags;

  std::span<const TagId> tags_of(const SideTags& side) const {
    return std::span<const TagId>(tags).subspan(side.first, side.size);
  }
};

// Tags the batches of one file, in file order, on one thread.
class AheadTagger {
 public:
  explicit AheadTagger(const TagKeys& keys);

  // Replaces `out` with the tags of `batch`, reusing its memory.
  void tag(const Records& batch, TaggedBatch& out);

 private:
  bool tag_record(const Records& batch, size_t k, TaggedBatch& out, SideTags& side);

  TagKeys keys_;
  bool usual_extent_names_;  // "text", "offset", "length"
  BioTagger tagger_;
  std::vector<BioTagger::Element> elements_;  // one record's
  TagIdSequence scratch_;                     // one record's tags
  uint64_t batches_ = 0;
};

// Turns the ids of one file's vocabulary into ids of the caller's, learning the file's tags
// batch by batch.
class TagTranslation {
 public:
  // Learns the tags first met in `batch`; every batch of the file must come here in order,
  // and may come again.
  void learn(const TaggedBatch& batch, TagVocabulary& vocabulary);

  // Appends the caller's ids of `tags` to `out`.
  void translate(std::span<const TagId> tags, TagIdSequence& out) const {
    for (TagId tag : tags) out.push_back(ids_[tag]);
  }

 private:
  std::vector<TagId> ids_ = {TagVocabulary::kOutside};  // by the file's id
  uint64_t learned_ = 0;                                // the serial of the last batch learned
};

// One side of an instance as its file was tagged ahead: the batch, the record's position in
// it, and the translation of the file's tag ids.
struct TaggedSide {
  const TaggedBatch& batch;
  size_t position;
  const TagTranslation& translation;
};

// One side of an instance as its file was tagged ahead, as the walk over two files passes it:
// the batch's tags and the record's position in it; `batch` is null when the file is not
// tagged ahead.
struct AheadTags {
  const TaggedBatch* batch;
  size_t position;
};

// convert_element_tags for the records of two files tagged ahead with the same keys: adds the
// same tags, or throws the same error. Returns false, adding nothing, when a side could not be
// tagged alone; its instance must then be mapped the usual way, which says why.
bool add_tagged_ahead(const TaggedSide& gold, const TaggedSide& pred,
                      std::optional<int64_t> index, InstanceTags& tags);

}  // namespace nlpeval

#endif  // NLPEVAL_CORE_INTERNAL_TAGS_AHEAD_H_
