#include "nlpeval/evaluator/convertor/entity_mapper.h"

#include <string>

#include "nlpeval/core/errors.h"
#include "nlpeval/core/utf8.h"

namespace nlpeval {

std::pair<std::vector<TagSequence>, std::vector<TagSequence>> EntityMapper::convert(
    const Record& label, const Record& prediction, std::optional<int64_t> index) const {
  label.expect_object("label");
  prediction.expect_object("prediction");
  const std::string_view true_text = label.get_string("text");
  const std::string_view pred_text = prediction.get_string("text");
  if (true_text != pred_text) {
    throw ValueError("text is different on line: " +
                     (index ? std::to_string(*index) : std::string("None")));
  }
  TagSequence pred_tags = _convert_entity(pred_text, prediction);
  TagSequence true_tags = _convert_entity(true_text, label);
  std::pair<std::vector<TagSequence>, std::vector<TagSequence>> result;
  result.first.push_back(std::move(true_tags));
  result.second.push_back(std::move(pred_tags));
  return result;
}

TagSequence EntityMapper::_convert_entity(std::string_view text, const Record& label) {
  return bio_tags(utf8::length(text), label, {.elements = "entities", .type = "type"});
}

}  // namespace nlpeval
