#ifndef NLPEVAL_CORE_TAG_VOCABULARY_H_
#define NLPEVAL_CORE_TAG_VOCABULARY_H_

// Tags and labels as small integers. A data set of a million texts holds a hundred million tags but
// only a handful of distinct ones; the mappers and scorers pass ids of a TagVocabulary around
// instead of a string per character.

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "nlpeval/core/short_strings.h"

namespace nlpeval {

using TagId = uint32_t;
using TagIdSequence = std::vector<TagId>;

// An append-only table of distinct tag strings; ids count from 0 in order of first sight and
// the text of an id never moves. Not shared between threads.
class TagVocabulary {
 public:
  static constexpr TagId kOutside = 0;  // "O", present from the start

  TagVocabulary();
  TagVocabulary(const TagVocabulary&) = delete;
  TagVocabulary& operator=(const TagVocabulary&) = delete;

  // The id of `tag`, added when new.
  TagId intern(std::string_view tag);

  // The ids of "B-" + type and "I-" + type, added when new.
  std::pair<TagId, TagId> begin_inside(std::string_view type) {
    if (const auto* found = type_ids_.find(type)) return *found;
    return add_begin_inside(type);
  }

  // The ids of type + "(e1,e2)" and type + "(e2,e1)", the labels of a relation or attribute
  // whose first argument starts first or second; added when new.
  std::pair<TagId, TagId> directed(std::string_view type);

  std::string_view tag(TagId id) const { return tags_[id]; }
  size_t size() const { return tags_.size(); }

  // The texts of `ids`, in order.
  std::vector<std::string> strings(const TagIdSequence& ids) const;

 private:
  std::pair<TagId, TagId> add_begin_inside(std::string_view type);

  std::deque<std::string> tags_;  // a deque: adding never moves the texts the maps view
  ShortStringMap<TagId> ids_;
  std::deque<std::string> types_;
  ShortStringMap<std::pair<TagId, TagId>> type_ids_;
  ShortStringMap<std::pair<TagId, TagId>> directed_ids_;
};

}  // namespace nlpeval

#endif  // NLPEVAL_CORE_TAG_VOCABULARY_H_
