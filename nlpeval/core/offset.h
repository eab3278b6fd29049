#ifndef NLPEVAL_CORE_OFFSET_H_
#define NLPEVAL_CORE_OFFSET_H_

// The "offset" of a mention in relation and attribute records. It is normally an integer, but
// a string is taken as well: it goes into pair keys unchanged. Offsets compare as numbers when
// both are decimal integers (integers, or strings of ASCII digits after an optional sign, of
// any length); other strings compare with strings only, as text.

#include <array>
#include <cstdint>
#include <string_view>
#include <variant>

#include "nlpeval/core/record.h"

namespace nlpeval {

class Offset {
 public:
  explicit Offset(int64_t number);
  explicit Offset(std::string_view text);

  // Member `key` of `mention`. Throws KeyError when it is absent and TypeError unless it is an
  // integer or a string.
  static Offset read(const Record& mention, std::string_view key = "offset");

  // The offset held by `value`, member `key` of its mention. Throws TypeError naming the key
  // unless it is an integer or a string.
  static Offset of(const Record& value, std::string_view key);

  // What a pair key holds: the decimal form of an integer, a string as it is. Views this
  // object (or the record a string came from).
  std::string_view key_text() const {
    if (const auto* text = std::get_if<std::string_view>(&value_)) return *text;
    return {digits_.data(), digits_size_};
  }

  // a > b: by value when both are decimal integers, else by code point for two strings.
  // Throws TypeError naming the two kinds for an integer and a string that is not a decimal
  // integer.
  friend bool greater(const Offset& a, const Offset& b);

  // The integer. Throws TypeError naming `what` for a string.
  int64_t number(std::string_view what) const;

 private:
  // An integer's decimal form lives inside the object and key_text() views it wherever the
  // object is, so that copies are plain copies: a relation's offsets are copied several times.
  std::variant<int64_t, std::string_view> value_;
  std::array<char, 24> digits_{};
  uint8_t digits_size_ = 0;
};

// a - b - c without overflow. Throws ValueError naming `what` when the result leaves 64 bits.
int64_t checked_distance(int64_t a, int64_t b, int64_t c, std::string_view what);

}  // namespace nlpeval

#endif  // NLPEVAL_CORE_OFFSET_H_
