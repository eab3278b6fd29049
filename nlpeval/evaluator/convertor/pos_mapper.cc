#include "nlpeval/evaluator/convertor/pos_mapper.h"

#include "nlpeval/core/utf8.h"
#include "nlpeval/evaluator/convertor/entity_mapper.h"

namespace nlpeval {

std::pair<std::vector<TagSequence>, std::vector<TagSequence>> PosMapper::convert(
    const Record& label, const Record& prediction, std::optional<int64_t> index) const {
  return convert_elements(label, prediction, index, kPosKeys);
}

void PosMapper::convert_tags(const Record& label, const Record& prediction,
                             std::optional<int64_t> index, BioTagger& tagger,
                             InstanceTags& tags) const {
  convert_element_tags(label, prediction, index, kPosKeys, tagger, tags);
}

void PosMapper::convert_tagged(const Record& label, const Record& prediction,
                               std::optional<int64_t> index, const TaggedSide& gold,
                               const TaggedSide& pred, BioTagger& tagger,
                               InstanceTags& tags) const {
  convert_tagged_sides(label, prediction, index, kPosKeys, gold, pred, tagger, tags);
}

TagSequence PosMapper::_convert_pos(std::string_view text, const Record& label) {
  return bio_tags(utf8::length(text), label, kPosKeys);
}

}  // namespace nlpeval
