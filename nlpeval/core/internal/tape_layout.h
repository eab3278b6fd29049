#ifndef NLPEVAL_CORE_INTERNAL_TAPE_LAYOUT_H_
#define NLPEVAL_CORE_INTERNAL_TAPE_LAYOUT_H_

// The layout of a parsed simdjson document (its "tape"), shared by the code that reads it in
// place (Tape) and the code that writes one from Python values without any JSON text. Both
// must agree with simdjson's own parse to the bit; python/tests/test_tape_layout.py compares
// a written tape with a parsed one word for word.
//
// One 64-bit word per value: the kind in the top byte and a payload below it.
// - The document starts and ends with a root word; the first one holds the position past the
//   last one, the last one holds 0. The root value sits at position 1.
// - A string's word holds the offset of its entry in the string buffer: a 32-bit length, the
//   UTF-8 bytes and a NUL.
// - An integer's or a double's word holds 0; its value is the next word.
// - An opening '{' or '[' holds the position after its closing word in the low 32 bits and
//   the element count (members for an object, saturated) above them; the closing '}' or ']'
//   holds the position of the opening word.
// - true, false and null hold 0.

#include <simdjson.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string_view>

static_assert(simdjson::SIMDJSON_VERSION_MAJOR == 3 && simdjson::SIMDJSON_VERSION_MINOR == 0,
              "nlpeval/core/internal/tape_layout.h was written for simdjson 3.0's tape. With another "
              "version, re-check simdjson's tape format (kinds, payloads, counts, the string "
              "buffer entries, the root words) against this file, run "
              "python/tests/test_tape_layout.py, then update this check.");

namespace nlpeval::tape_layout {

// The kinds, as simdjson's tape writes them.
inline constexpr char kRoot = 'r';
inline constexpr char kObjectStart = '{';
inline constexpr char kObjectEnd = '}';
inline constexpr char kArrayStart = '[';
inline constexpr char kArrayEnd = ']';
inline constexpr char kString = '"';
inline constexpr char kInt64 = 'l';
inline constexpr char kUint64 = 'u';
inline constexpr char kDouble = 'd';
inline constexpr char kTrue = 't';
inline constexpr char kFalse = 'f';
inline constexpr char kNull = 'n';

inline constexpr int kKindShift = 56;
inline constexpr uint64_t kPayloadMask = (uint64_t{1} << kKindShift) - 1;

// Positions held in a word, and so the tape's length, fit in 32 bits.
inline constexpr uint64_t kMaxTapeSize = uint64_t{1} << 32;

// An opening word keeps its element count above the 32-bit position, saturated at 24 bits.
inline constexpr int kCountShift = 32;
inline constexpr uint64_t kMaxCount = (uint64_t{1} << 24) - 1;

// The root word's position, and the root value's after it.
inline constexpr size_t kRootWord = 0;
inline constexpr size_t kRootValue = 1;

// Numbers take their kind's word and the value's, right after it.
inline constexpr size_t kNumberWords = 2;
constexpr size_t number_value(size_t number) { return number + 1; }

// A string buffer entry: the length, the bytes, a NUL.
using StringLength = uint32_t;
inline constexpr size_t kMaxStringLength = std::numeric_limits<StringLength>::max();
inline constexpr size_t kStringTerminator = 1;

// simdjson names the kinds and masks in its internal namespace: they must be ours.
namespace simdjson_kinds {
using simdjson::internal::tape_type;
constexpr bool same(tape_type theirs, char ours) { return static_cast<char>(theirs) == ours; }
static_assert(same(tape_type::ROOT, kRoot) && same(tape_type::START_OBJECT, kObjectStart) &&
                  same(tape_type::END_OBJECT, kObjectEnd) &&
                  same(tape_type::START_ARRAY, kArrayStart) &&
                  same(tape_type::END_ARRAY, kArrayEnd) && same(tape_type::STRING, kString) &&
                  same(tape_type::INT64, kInt64) && same(tape_type::UINT64, kUint64) &&
                  same(tape_type::DOUBLE, kDouble) && same(tape_type::TRUE_VALUE, kTrue) &&
                  same(tape_type::FALSE_VALUE, kFalse) && same(tape_type::NULL_VALUE, kNull),
              "simdjson's tape kinds changed: re-check nlpeval/core/tape_layout.h");
}  // namespace simdjson_kinds
static_assert(simdjson::internal::JSON_VALUE_MASK == kPayloadMask &&
                  simdjson::internal::JSON_COUNT_MASK == kMaxCount,
              "simdjson's tape masks changed: re-check nlpeval/core/tape_layout.h");

constexpr uint64_t word(char kind, uint64_t payload) {
  return payload | (uint64_t{static_cast<uint8_t>(kind)} << kKindShift);
}
constexpr char kind_of(uint64_t word) { return static_cast<char>(word >> kKindShift); }
constexpr uint64_t payload_of(uint64_t word) { return word & kPayloadMask; }

// The word of an object or array opened at some position and closed just before `after`.
constexpr uint64_t opening_word(char kind, uint64_t after, uint64_t count) {
  return word(kind, after | (std::min(count, kMaxCount) << kCountShift));
}
// For an opening word: the position after its closing word.
constexpr size_t after_closing(uint64_t opening) { return static_cast<uint32_t>(opening); }
constexpr uint64_t closing_word(char kind, uint64_t opening_position) {
  return word(kind, opening_position);
}

// The string whose entry starts at `entry`.
inline std::string_view string_entry(const uint8_t* entry) {
  StringLength length;
  std::memcpy(&length, entry, sizeof length);
  return std::string_view(reinterpret_cast<const char*>(entry + sizeof length), length);
}
inline void write_string_length(uint8_t* entry, StringLength length) {
  std::memcpy(entry, &length, sizeof length);
}
// The size of an entry whose string is `length` bytes long.
constexpr size_t string_entry_size(size_t length) {
  return sizeof(StringLength) + length + kStringTerminator;
}

}  // namespace nlpeval::tape_layout

#endif  // NLPEVAL_CORE_INTERNAL_TAPE_LAYOUT_H_
