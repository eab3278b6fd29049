#include "nlpeval/core/tag_vocabulary.h"

#include <limits>

#include "nlpeval/core/errors.h"

namespace nlpeval {

TagVocabulary::TagVocabulary() { intern("O"); }

TagId TagVocabulary::intern(std::string_view tag) {
  if (auto found = ids_.find(tag); found != ids_.end()) return found->second;
  if (tags_.size() > std::numeric_limits<TagId>::max()) {
    throw ValueError("more distinct tags than " +
                     std::to_string(std::numeric_limits<TagId>::max()));
  }
  const auto id = static_cast<TagId>(tags_.size());
  const std::string& stored = tags_.emplace_back(tag);
  ids_.emplace(stored, id);
  return id;
}

std::pair<TagId, TagId> TagVocabulary::begin_inside(std::string_view type) {
  if (auto found = type_ids_.find(type); found != type_ids_.end()) return found->second;
  std::string tag;
  tag.reserve(type.size() + 2);
  tag.append("B-").append(type);
  const TagId begin = intern(tag);
  tag[0] = 'I';
  const TagId inside = intern(tag);
  type_ids_.emplace(types_.emplace_back(type), std::pair(begin, inside));
  return {begin, inside};
}

std::pair<TagId, TagId> TagVocabulary::directed(std::string_view type) {
  if (auto found = directed_ids_.find(type); found != directed_ids_.end()) return found->second;
  std::string label(type);
  const TagId first = intern(label + "(e1,e2)");
  const TagId second = intern(label + "(e2,e1)");
  directed_ids_.emplace(types_.emplace_back(type), std::pair(first, second));
  return {first, second};
}

std::vector<std::string> TagVocabulary::strings(const TagIdSequence& ids) const {
  std::vector<std::string> texts;
  texts.reserve(ids.size());
  for (TagId id : ids) texts.emplace_back(tag(id));
  return texts;
}

}  // namespace nlpeval
