#include "nlpeval/core/tag_vocabulary.h"

#include <limits>

#include "nlpeval/core/errors.h"

namespace nlpeval {

TagVocabulary::TagVocabulary() { intern("O"); }

TagId TagVocabulary::intern(std::string_view tag) {
  if (const TagId* found = ids_.find(tag)) return *found;
  if (tags_.size() > std::numeric_limits<TagId>::max()) {
    throw ValueError("more distinct tags than " +
                     std::to_string(std::numeric_limits<TagId>::max()));
  }
  const auto id = static_cast<TagId>(tags_.size());
  const std::string& stored = tags_.emplace_back(tag);
  ids_.insert(stored, id);
  return id;
}

// begin_inside for a type not seen before.
std::pair<TagId, TagId> TagVocabulary::add_begin_inside(std::string_view type) {
  std::string tag;
  tag.reserve(type.size() + 2);
  tag.append("B-").append(type);
  const TagId begin = intern(tag);
  tag[0] = 'I';
  const TagId inside = intern(tag);
  type_ids_.insert(types_.emplace_back(type), {begin, inside});
  return {begin, inside};
}

std::pair<TagId, TagId> TagVocabulary::directed(std::string_view type) {
  if (const auto* found = directed_ids_.find(type)) return *found;
  std::string label(type);
  const TagId first = intern(label + "(e1,e2)");
  const TagId second = intern(label + "(e2,e1)");
  directed_ids_.insert(types_.emplace_back(type), {first, second});
  return {first, second};
}

std::vector<std::string> TagVocabulary::strings(const TagIdSequence& ids) const {
  std::vector<std::string> texts;
  texts.reserve(ids.size());
  for (TagId id : ids) texts.emplace_back(tag(id));
  return texts;
}

}  // namespace nlpeval
