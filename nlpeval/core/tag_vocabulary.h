#ifndef NLPEVAL_CORE_TAG_VOCABULARY_H_
#define NLPEVAL_CORE_TAG_VOCABULARY_H_

// Tags and labels as small integers. A data set of a million texts holds a hundred million tags but
// only a handful of distinct ones; the mappers and scorers pass ids of a TagVocabulary around
// instead of a string per character.

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>


namespace nlpeval {

using TagId = uint32_t;
using TagIdSequence = std::vector<TagId>;

// An append-only table of distinct tag strings; ids count from 0 in order of first sight and
// the text of an id never moves. Not shared between threads.
class TagVocabulary {
 public:
  static constexpr TagId kOutside = 0;  // "O", present from the start

  TagVocabulary();
  ~TagVocabulary();
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
  std::pair<TagId, TagId> add_begin_inside(std::string_view type);

  // The hashed lookups, whose table type is the library's own.
  struct Lookups;

  std::deque<std::string> tags_;  // a deque: adding never moves the texts the lookups view
  std::deque<std::string> types_;
  std::unique_ptr<Lookups> lookups_;
};

}  // namespace nlpeval

#endif  // NLPEVAL_CORE_TAG_VOCABULARY_H_
