#ifndef NLPEVAL_CORE_TAG_COLLISIONS_H_
#define NLPEVAL_CORE_TAG_COLLISIONS_H_

// Elements that tagging one tag per character cannot keep as they were given: one that
// shares a character with a later element of its record loses that character to it, and one
// wholly outside its text has no character at all. Scores count the tags, so both change
// them silently unless they are counted and told.

#include <cstdint>

namespace nlpeval {

struct TagCollisions {
  int64_t overlapping = 0;   // elements that share a character with a later element
  int64_t outside_text = 0;  // elements with no character inside their text

  bool any() const { return overlapping > 0 || outside_text > 0; }
  TagCollisions& operator+=(const TagCollisions& other) {
    overlapping += other.overlapping;
    outside_text += other.outside_text;
    return *this;
  }
  friend bool operator==(const TagCollisions&, const TagCollisions&) = default;
};

}  // namespace nlpeval

#endif  // NLPEVAL_CORE_TAG_COLLISIONS_H_
