#ifndef NLPEVAL_TASKS_MENTIONS_H_
#define NLPEVAL_TASKS_MENTIONS_H_

// Mentions, as relation and attribute records hold them: objects {"text", "offset",
// "length"}. Read alike by the mappers and the miners of those tasks.

#include <string_view>

#include "nlpeval/core/offset.h"
#include "nlpeval/core/record.h"

namespace nlpeval {

// How much of the record format a mapper checks as it reads: the keys mapping needs (offsets
// may be strings, "length" is not read), or the whole format (integer offsets and lengths,
// every key with its kind), so that a record it maps without an error has the format.
enum class FormatChecks { mapped_keys, whole_format };

// Throws unless `value` is an integer within 64 bits, as the record format asks.
inline void expect_format_integer(const Record& value, std::string_view key) {
  value.as_int(key);
}

// Throws unless the "text" of the object `record` is a string, as the record formats of
// relation and attribute ask.
inline void expect_format_text(const Record& record) {
  record.find_each<1>({"text"}).at(0, "text").as_string("text");
}

// The mention record under `key` of `owner`. Throws KeyError when absent and TypeError naming
// the key unless it is an object.
inline Record mention_at(const Record& owner, std::string_view key) {
  Record mention = owner.at(key);
  mention.expect_object(key);
  return mention;
}

// The same for member `i`, named `key`, of members found in one walk.
template <size_t N>
Record mention_in(const Record::Members<N>& members, size_t i, std::string_view key) {
  Record mention = members.at(i, key);
  mention.expect_object(key);
  return mention;
}

// What a pair key takes from one mention. Views the record it was read from.
struct Mention {
  std::string_view text;
  Offset offset;

  // Reads "text", then "offset", of an object record, in one walk over its members; with the
  // whole format, "length" too, and only integer offsets.
  template <FormatChecks kChecks = FormatChecks::mapped_keys>
  static Mention read(const Record& mention) {
    if constexpr (kChecks == FormatChecks::whole_format) {
      const auto members = mention.find_each<3>({"text", "offset", "length"});
      expect_format_integer(members.at(1, "offset"), "offset");
      expect_format_integer(members.at(2, "length"), "length");
      return of(members, 0, 1);
    } else {
      return of(mention.find_each<2>({"text", "offset"}), 0, 1);
    }
  }

  // The same from members found in one walk, "text" at `text_at` and "offset" at `offset_at`.
  template <size_t N>
  static Mention of(const Record::Members<N>& members, size_t text_at, size_t offset_at) {
    const std::string_view text = members.at(text_at, "text").as_string("text");
    return {text, Offset::of(members.at(offset_at, "offset"), "offset")};
  }
};

}  // namespace nlpeval

#endif  // NLPEVAL_TASKS_MENTIONS_H_
