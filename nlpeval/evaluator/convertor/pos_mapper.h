#ifndef NLPEVAL_EVALUATOR_CONVERTOR_POS_MAPPER_H_
#define NLPEVAL_EVALUATOR_CONVERTOR_POS_MAPPER_H_

// The "pos" mapper. A "pos" record is an object with a "text" and an array "words" of
// objects {"offset", "length", "pos"}; offsets and lengths count code points of the text.
// The keys are the task descriptor's (tasks/task.h).

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "nlpeval/core/record.h"
#include "nlpeval/core/tags.h"

namespace nlpeval {

// The entity mapping applied to words: turns a gold and a predicted "pos" record into two tag
// sequences with one tag per code point of the text, "B-" + part of speech on a word's first
// character, "I-" + part of speech on the rest, "O" on characters no word covers. Where words
// overlap, the later one in the array wins position by position; parts of a word outside the
// text are dropped.
class PosMapper {
 public:
  // Every pair of records it maps without an error has the task's record format: it reads
  // each key the format requires, with its kind, on both sides. A walk that maps a pair has
  // then validated it.
  static constexpr bool kChecksRecordFormat = true;

  // Returns ([gold tags], [predicted tags]). `index` is the instance's position, used in
  // messages only. Throws TypeError when a record is not an object or a value has the wrong
  // kind, KeyError for a missing key ("text", "words", "offset", "pos", "length"), and
  // ValueError "text is different on line: <index>" (or "None") when the two texts differ,
  // before any word is read. The predicted record is converted first.
  std::pair<std::vector<TagSequence>, std::vector<TagSequence>> convert(
      const Record& label, const Record& prediction, std::optional<int64_t> index = {}) const;

  // The same as tag ids of `tagger`'s vocabulary, added to `tags`: the driver's road.
  void convert_tags(const Record& label, const Record& prediction, std::optional<int64_t> index,
                    BioTagger& tagger, InstanceTags& tags) const;
};

}  // namespace nlpeval

#endif  // NLPEVAL_EVALUATOR_CONVERTOR_POS_MAPPER_H_
