#include "nlpeval/evaluator/convertor/entity_mapper.h"

#include <string>

#include "nlpeval/core/errors.h"
#include "nlpeval/core/utf8.h"

namespace nlpeval {

namespace {

constexpr TagKeys kEntityKeys{.elements = "entities", .type = "type"};

}  // namespace

std::pair<std::vector<TagSequence>, std::vector<TagSequence>> EntityMapper::convert(
    const Record& label, const Record& prediction, std::optional<int64_t> index) const {
  BioTagger tagger;
  InstanceTags tags;
  convert_tags(label, prediction, index, tagger, tags);
  std::pair<std::vector<TagSequence>, std::vector<TagSequence>> result;
  result.first.push_back(tagger.vocabulary().strings(tags.gold(0)));
  result.second.push_back(tagger.vocabulary().strings(tags.pred(0)));
  return result;
}

void EntityMapper::convert_tags(const Record& label, const Record& prediction,
                                std::optional<int64_t> index, BioTagger& tagger,
                                InstanceTags& tags) const {
  label.expect_object("label");
  prediction.expect_object("prediction");
  const std::string_view true_text = label.get_string("text");
  const std::string_view pred_text = prediction.get_string("text");
  if (true_text != pred_text) {
    throw ValueError("text is different on line: " +
                     (index ? std::to_string(*index) : std::string("None")));
  }
  const size_t length = utf8::length(true_text);
  auto [true_tags, pred_tags] = tags.add();
  tagger.tag(length, prediction, kEntityKeys, pred_tags);
  tagger.tag(length, label, kEntityKeys, true_tags);
}

TagSequence EntityMapper::_convert_entity(std::string_view text, const Record& label) {
  return bio_tags(utf8::length(text), label, kEntityKeys);
}

}  // namespace nlpeval
