#include "nlpeval/evaluator/convertor/pos_mapper.h"

#include "nlpeval/tasks/task.h"

namespace nlpeval {

std::pair<std::vector<TagSequence>, std::vector<TagSequence>> PosMapper::convert(
    const Record& label, const Record& prediction, std::optional<int64_t> index) const {
  return tags_as_text(*this, label, prediction, index);
}

void PosMapper::convert_tags(const Record& label, const Record& prediction,
                             std::optional<int64_t> index, BioTagger& tagger,
                             InstanceTags& tags) const {
  static const TagKeys& keys = *task_of(TaskId::pos).element_keys;
  convert_element_tags(label, prediction, index, keys, tagger, tags);
}

}  // namespace nlpeval
