#ifndef NLPEVAL_CORE_TAG_VOCABULARY_H_
#define NLPEVAL_CORE_TAG_VOCABULARY_H_

// Tags and labels as small integers. A data set of a million texts holds a hundred million tags but
// only a handful of distinct ones; the mappers and scorers pass ids of a TagVocabulary around
// instead of a string per character.

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace nlpeval {

using TagId = uint32_t;
using TagIdSequence = std::vector<TagId>;

// FNV-1a: tags and types are a few bytes long, where it beats the library's out-of-line hash.
struct ShortStringHash {
  size_t operator()(std::string_view text) const {
    uint64_t hash = 14695981039346656037u;
    for (char byte : text) hash = (hash ^ static_cast<unsigned char>(byte)) * 1099511628211u;
    return static_cast<size_t>(hash);
  }
};

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
  std::pair<TagId, TagId> begin_inside(std::string_view type);

  // The ids of type + "(e1,e2)" and type + "(e2,e1)", the labels of a relation or attribute
  // whose first argument starts first or second; added when new.
  std::pair<TagId, TagId> directed(std::string_view type);

  std::string_view tag(TagId id) const { return tags_[id]; }
  size_t size() const { return tags_.size(); }

  // The texts of `ids`, in order.
  std::vector<std::string> strings(const TagIdSequence& ids) const;

 private:
  std::deque<std::string> tags_;  // a deque: adding never moves the texts the maps view
  std::unordered_map<std::string_view, TagId, ShortStringHash> ids_;
  std::deque<std::string> types_;
  std::unordered_map<std::string_view, std::pair<TagId, TagId>, ShortStringHash> type_ids_;
  std::unordered_map<std::string_view, std::pair<TagId, TagId>, ShortStringHash> directed_ids_;
};

}  // namespace nlpeval

#endif  // NLPEVAL_CORE_TAG_VOCABULARY_H_
