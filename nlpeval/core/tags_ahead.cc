#include "nlpeval/core/internal/tags_ahead.h"

#include <stdexcept>

#include "nlpeval/core/errors.h"
#include "nlpeval/core/internal/tape.h"
#include "nlpeval/core/utf8.h"

namespace nlpeval {
namespace {

// The names of a record's text and of an element's extent. Every layout uses the usual ones,
// which read_from_tape takes as constants: the compiler then folds their lengths into the
// key comparisons, a fifth of the reading time.
struct UsualExtentNames {
  static constexpr std::string_view text(const TagKeys&) { return "text"; }
  static constexpr std::string_view offset(const TagKeys&) { return "offset"; }
  static constexpr std::string_view length(const TagKeys&) { return "length"; }
};
struct OtherExtentNames {
  static std::string_view text(const TagKeys& keys) { return keys.text; }
  static std::string_view offset(const TagKeys& keys) { return keys.offset; }
  static std::string_view length(const TagKeys& keys) { return keys.length; }
};

bool has_usual_extent_names(const TagKeys& keys) {
  return keys.text == UsualExtentNames::text(keys) &&
         keys.offset == UsualExtentNames::offset(keys) &&
         keys.length == UsualExtentNames::length(keys);
}

// Reads the record at `at` as BioTagger::tag reads a record without aliases, straight from the
// tape: its text and its elements, the last member winning where a key repeats. False when
// anything is not as in a well-formed record: the element API then reads it again, and says
// what is wrong.
template <typename Names>
bool read_from_tape(const Tape& tape, size_t at, const TagKeys& keys, std::string_view& text,
                    std::vector<BioTagger::Element>& elements) {
  if (!keys.elements_alias.empty() || !keys.type_alias.empty() || keys.type.empty() ||
      keys.elements.empty() || keys.elements == keys.text || tape.kind(at) != '{') {
    return false;
  }
  const auto [text_at, array_at] = tape.find_members<2>(at, {Names::text(keys), keys.elements});
  if (text_at == 0 || array_at == 0 || tape.kind(text_at) != '"' || tape.kind(array_at) != '[') {
    return false;
  }
  text = tape.string(text_at);
  elements.clear();
  for (size_t item = array_at + 1; item < tape.closing(array_at); item = tape.after(item)) {
    if (tape.kind(item) != '{') return false;
    // The keys in the order BioTagger looks for them.
    const auto [offset_at, type_at, length_at] =
        tape.find_members<3>(item, {Names::offset(keys), keys.type, Names::length(keys)});
    if (offset_at == 0 || type_at == 0 || length_at == 0 || tape.kind(offset_at) != 'l' ||
        tape.kind(type_at) != '"' || tape.kind(length_at) != 'l') {
      return false;
    }
    elements.push_back({tape.int64(offset_at), tape.int64(length_at), tape.string(type_at)});
  }
  return true;
}

}  // namespace

AheadTagger::AheadTagger(const TagKeys& keys)
    : keys_(keys), usual_extent_names_(has_usual_extent_names(keys)) {}

void AheadTagger::tag(const Records& batch, TaggedBatch& out) {
  out.records.clear();
  out.tags.clear();
  out.new_tags.clear();
  out.serial = ++batches_;
  const size_t known = tagger_.vocabulary().size();
  out.first_new_tag = static_cast<TagId>(known);
  for (size_t k = 0; k < batch.size(); ++k) {
    SideTags& side = out.records.emplace_back();
    side.tagged = tag_record(batch, k, out, side);
  }
  for (size_t id = known; id < tagger_.vocabulary().size(); ++id) {
    out.new_tags.emplace_back(tagger_.vocabulary().tag(static_cast<TagId>(id)));
  }
}

// One side of convert_element_tags: the text, then the elements; from the tape when the
// record reads well there. A record that fails here fails there too, and is left to it for
// the message.
bool AheadTagger::tag_record(const Records& batch, size_t k, TaggedBatch& out, SideTags& side) {
  const Records::TapePosition position = batch.tape_position(k);
  try {
    const Tape tape(*position.document);
    const bool read = usual_extent_names_
                          ? read_from_tape<UsualExtentNames>(tape, position.at, keys_, side.text,
                                                             elements_)
                          : read_from_tape<OtherExtentNames>(tape, position.at, keys_, side.text,
                                                             elements_);
    if (read) {
      side.collisions = tagger_.tag(utf8::length(side.text), elements_, scratch_);
    } else {
      const Record record = batch[k];
      if (!record.is_object()) return false;
      const std::optional<Record> text = record.find(keys_.text);
      if (!text || text->kind() != Kind::string) return false;
      side.text = text->as_string(keys_.text);
      side.collisions = tagger_.tag(utf8::length(side.text), record, keys_, scratch_);
    }
  } catch (const Error&) {
    return false;
  }
  side.first = out.tags.size();
  side.size = scratch_.size();
  out.tags.insert(out.tags.end(), scratch_.begin(), scratch_.end());
  return true;
}

void TagTranslation::learn(const TaggedBatch& batch, TagVocabulary& vocabulary) {
  if (batch.serial <= learned_) return;
  if (batch.serial != learned_ + 1 || batch.first_new_tag != ids_.size()) {
    throw std::logic_error("TagTranslation: a batch was skipped");
  }
  learned_ = batch.serial;
  for (const std::string& tag : batch.new_tags) ids_.push_back(vocabulary.intern(tag));
}

bool add_tagged_ahead(const TaggedSide& gold, const TaggedSide& pred,
                      std::optional<int64_t> index, InstanceTags& tags) {
  const SideTags& true_side = gold.batch.records[gold.position];
  const SideTags& pred_side = pred.batch.records[pred.position];
  if (!true_side.tagged || !pred_side.tagged) return false;
  // Tagged alone, both records are objects with a text: only the texts can disagree.
  if (true_side.text != pred_side.text) throw_texts_differ(index);
  tags.collisions += pred_side.collisions;
  tags.collisions += true_side.collisions;
  auto [true_tags, pred_tags] = tags.add();
  pred.translation.translate(pred.batch.tags_of(pred_side), pred_tags);
  gold.translation.translate(gold.batch.tags_of(true_side), true_tags);
  return true;
}

}  // namespace nlpeval
