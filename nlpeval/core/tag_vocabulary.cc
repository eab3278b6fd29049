#include "nlpeval/core/tag_vocabulary.h"

#include <limits>

#include "nlpeval/core/errors.h"
#include "nlpeval/core/internal/short_strings.h"

namespace nlpeval {

struct TagVocabulary::Lookups {
  ShortStringMap<TagId> ids;
  ShortStringMap<std::pair<TagId, TagId>> type_ids;
  ShortStringMap<std::pair<TagId, TagId>> directed_ids;
};

TagVocabulary::TagVocabulary() : lookups_(std::make_unique<Lookups>()) { intern("O"); }

TagVocabulary::~TagVocabulary() = default;

TagId TagVocabulary::intern(std::string_view tag) {
  if (const TagId* found = lookups_->ids.find(tag)) return *found;
  if (tags_.size() > std::numeric_limits<TagId>::max()) {
    throw ValueError("more distinct tags than " +
                     std::to_string(std::numeric_limits<TagId>::max()));
  }
  const auto id = static_cast<TagId>(tags_.size());
  const std::string& stored = tags_.emplace_back(tag);
  lookups_->ids.insert(stored, id);
  return id;
}

std::pair<TagId, TagId> TagVocabulary::begin_inside(std::string_view type) {
  if (const auto* found = lookups_->type_ids.find(type)) return *found;
  return add_begin_inside(type);
}

// begin_inside for a type not seen before.
std::pair<TagId, TagId> TagVocabulary::add_begin_inside(std::string_view type) {
  std::string tag;
  tag.reserve(type.size() + 2);
  tag.append("B-").append(type);
  const TagId begin = intern(tag);
  tag[0] = 'I';
  const TagId inside = intern(tag);
  lookups_->type_ids.insert(types_.emplace_back(type), {begin, inside});
  return {begin, inside};
}

std::pair<TagId, TagId> TagVocabulary::directed(std::string_view type) {
  if (const auto* found = lookups_->directed_ids.find(type)) return *found;
  std::string label(type);
  const TagId first = intern(label + "(e1,e2)");
  const TagId second = intern(label + "(e2,e1)");
  lookups_->directed_ids.insert(types_.emplace_back(type), {first, second});
  return {first, second};
}

std::vector<std::string> TagVocabulary::strings(const TagIdSequence& ids) const {
  std::vector<std::string> texts;
  texts.reserve(ids.size());
  for (TagId id : ids) texts.emplace_back(tag(id));
  return texts;
}

}  // namespace nlpeval
