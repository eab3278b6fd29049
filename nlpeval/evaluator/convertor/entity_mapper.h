#ifndef NLPEVAL_EVALUATOR_CONVERTOR_ENTITY_MAPPER_H_
#define NLPEVAL_EVALUATOR_CONVERTOR_ENTITY_MAPPER_H_

// The "ner" mapper. A "ner" record is an object with a "text" and an array "entities" of
// objects {"offset", "length", "type"}; offsets and lengths count code points of the text.
// The keys are the task descriptor's (tasks/task.h).

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "nlpeval/core/record.h"
#include "nlpeval/core/tags.h"

namespace nlpeval {

// Turns a gold and a predicted "ner" record into two tag sequences with one tag per code
// point of the text: "B-" + type on an entity's first character, "I-" + type on the rest,
// "O" elsewhere. Where entities overlap, the later one in the array wins position by
// position; parts of an entity outside the text are dropped.
class EntityMapper {
 public:
  // Every pair of records it maps without an error has the task's record format: it reads
  // each key the format requires, with its kind, on both sides. A walk that maps a pair has
  // then validated it.
  static constexpr bool kChecksRecordFormat = true;

  // Returns ([gold tags], [predicted tags]): one sequence in each list, for the driver to
  // append to its running lists. `index` is the instance's position, used in messages only.
  // Throws as convert_element_tags does.
  std::pair<std::vector<TagSequence>, std::vector<TagSequence>> convert(
      const Record& label, const Record& prediction, std::optional<int64_t> index = {}) const;

  // The same as tag ids: adds the instance's one (gold, predicted) pair to `tags`, built by
  // `tagger` (convert_element_tags with the task's keys). The driver's road: no string per
  // character.
  void convert_tags(const Record& label, const Record& prediction, std::optional<int64_t> index,
                    BioTagger& tagger, InstanceTags& tags) const;
};

}  // namespace nlpeval

#endif  // NLPEVAL_EVALUATOR_CONVERTOR_ENTITY_MAPPER_H_
