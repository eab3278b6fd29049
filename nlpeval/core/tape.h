#ifndef NLPEVAL_CORE_TAPE_H_
#define NLPEVAL_CORE_TAPE_H_

// A parsed document read straight from simdjson's tape, for the one loop that reads every
// element of every record: what the element API does through iterators that check and
// re-check each step, this does in a few loads. The layout is simdjson's documented tape
// format: one 64-bit word per value with its kind in the top byte; a string's word points
// into the string buffer, at a 32-bit length and the bytes; an integer's value is the word
// after it; an object's or array's word holds the position after its closing word.

#include <simdjson.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace nlpeval {

class Tape {
 public:
  explicit Tape(const simdjson::dom::document& document)
      : words_(document.tape.get()), strings_(document.string_buf.get()) {}

  // The kind of the value at `at`: '{', '[', '"', 'l' (signed integer), 'u', 'd', 't', 'f',
  // 'n', or a closing '}' or ']'.
  char kind(size_t at) const { return static_cast<char>(words_[at] >> 56); }

  // The position after the value at `at`.
  size_t after(size_t at) const {
    switch (kind(at)) {
      case '{':
      case '[':
        return static_cast<uint32_t>(words_[at]);
      case 'l':
      case 'u':
      case 'd':
        return at + 2;
      default:
        return at + 1;
    }
  }

  // For the object or array at `at`: the position of its closing word.
  size_t closing(size_t at) const { return static_cast<uint32_t>(words_[at]) - 1; }

  // The string at `at` (kind '"').
  std::string_view string(size_t at) const {
    const uint8_t* text = strings_ + (words_[at] & kPayload);
    uint32_t size;
    std::memcpy(&size, text, sizeof size);
    return std::string_view(reinterpret_cast<const char*>(text + sizeof size), size);
  }

  // The integer at `at` (kind 'l').
  int64_t int64(size_t at) const {
    int64_t value;
    std::memcpy(&value, &words_[at + 1], sizeof value);
    return value;
  }

 private:
  static constexpr uint64_t kPayload = (uint64_t{1} << 56) - 1;

  const uint64_t* words_;
  const uint8_t* strings_;
};

}  // namespace nlpeval

#endif  // NLPEVAL_CORE_TAPE_H_
