#ifndef NLPEVAL_TASKS_MENTIONS_H_
#define NLPEVAL_TASKS_MENTIONS_H_

// Mentions, as relation and attribute records hold them: objects {"text", "offset",
// "length"}. Read alike by the mappers and the miners of those tasks.

#include <string_view>

#include "nlpeval/core/offset.h"
#include "nlpeval/core/record.h"

namespace nlpeval {

// The mention record under `key` of `owner`. Throws KeyError when absent and TypeError naming
// the key unless it is an object.
inline Record mention_at(const Record& owner, std::string_view key) {
  Record mention = owner.at(key);
  mention.expect_object(key);
  return mention;
}

// What a pair key takes from one mention. Views the record it was read from.
struct Mention {
  std::string_view text;
  Offset offset;

  // Reads "text", then "offset", of an object record.
  static Mention read(const Record& mention) {
    return {mention.get_string("text"), Offset::read(mention)};
  }
};

}  // namespace nlpeval

#endif  // NLPEVAL_TASKS_MENTIONS_H_
