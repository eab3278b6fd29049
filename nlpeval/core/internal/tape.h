#ifndef NLPEVAL_CORE_INTERNAL_TAPE_H_
#define NLPEVAL_CORE_INTERNAL_TAPE_H_

// A parsed document read straight from simdjson's tape, for the one loop that reads every
// element of every record: what the element API does through iterators that check and
// re-check each step, this does in a few loads. The layout is in tape_layout.h.

#include <simdjson.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <utility>

#include "nlpeval/core/internal/short_strings.h"
#include "nlpeval/core/internal/tape_layout.h"

namespace nlpeval {

class Tape {
 public:
  explicit Tape(const simdjson::dom::document& document)
      : words_(document.tape.get()), strings_(document.string_buf.get()) {}

  // The kind of the value at `at`: '{', '[', '"', 'l' (signed integer), 'u', 'd', 't', 'f',
  // 'n', or a closing '}' or ']'.
  char kind(size_t at) const { return tape_layout::kind_of(words_[at]); }

  // The position after the value at `at`.
  size_t after(size_t at) const {
    switch (kind(at)) {
      case tape_layout::kObjectStart:
      case tape_layout::kArrayStart:
        return tape_layout::after_closing(words_[at]);
      case tape_layout::kInt64:
      case tape_layout::kUint64:
      case tape_layout::kDouble:
        return at + tape_layout::kNumberWords;
      default:
        return at + 1;
    }
  }

  // For the object or array at `at`: the position of its closing word.
  size_t closing(size_t at) const { return tape_layout::after_closing(words_[at]) - 1; }

  // For the object at `object`: the position of the value of the last member named `keys[i]`,
  // or 0 when it has none. A member counts for the first of the keys it equals.
  // Always inlined: the callers' key names are then constants the comparisons fold.
  template <size_t N>
  [[gnu::always_inline]] std::array<size_t, N> find_members(
      size_t object, const std::array<std::string_view, N>& keys) const {
    std::array<size_t, N> found{};
    for (size_t key = object + 1; key < closing(object); key = after(key + 1)) {
      const std::string_view name = string(key);
      // An if-else chain over the keys, written out: a loop with a break compiled to a third
      // more work on every member.
      [&]<size_t... I>(std::index_sequence<I...>) {
        (void)((same_key(name, keys[I]) && (found[I] = key + 1, true)) || ...);
      }
      (std::make_index_sequence<N>());
    }
    return found;
  }

  // The string at `at` (kind '"').
  std::string_view string(size_t at) const {
    return tape_layout::string_entry(strings_ + tape_layout::payload_of(words_[at]));
  }

  // The integer at `at` (kind 'l').
  int64_t int64(size_t at) const {
    int64_t value;
    std::memcpy(&value, &words_[tape_layout::number_value(at)], sizeof value);
    return value;
  }

 private:
  const uint64_t* words_;
  const uint8_t* strings_;
};

}  // namespace nlpeval

#endif  // NLPEVAL_CORE_INTERNAL_TAPE_H_
