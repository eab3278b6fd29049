#include "nlpeval/evaluator/convertor/entity_mapper.h"

#include <string>

#include "nlpeval/core/errors.h"
#include "nlpeval/core/utf8.h"

namespace nlpeval {

namespace {

[[noreturn]] void throw_texts_differ(std::optional<int64_t> index) {
  throw ValueError("text is different on line: " +
                   (index ? std::to_string(*index) : std::string("None")));
}

}  // namespace

void convert_element_tags(const Record& label, const Record& prediction,
                          std::optional<int64_t> index, const TagKeys& keys, BioTagger& tagger,
                          InstanceTags& tags) {
  label.expect_object("label");
  prediction.expect_object("prediction");
  const std::optional<std::string_view> text = shared_text_of(label, prediction);
  if (!text) throw_texts_differ(index);
  const size_t length = utf8::length(*text);
  auto [true_tags, pred_tags] = tags.add();
  tags.collisions += tagger.tag(length, prediction, keys, pred_tags);
  tags.collisions += tagger.tag(length, label, keys, true_tags);
}

void convert_tagged_sides(const Record& label, const Record& prediction,
                          std::optional<int64_t> index, const TagKeys& keys, const TaggedSide& gold,
                          const TaggedSide& pred, BioTagger& tagger, InstanceTags& tags) {
  const SideTags& true_side = gold.batch.records[gold.position];
  const SideTags& pred_side = pred.batch.records[pred.position];
  // Tagged alone, both records are objects with a text: only the texts can disagree.
  if (!true_side.tagged || !pred_side.tagged) {
    convert_element_tags(label, prediction, index, keys, tagger, tags);
    return;
  }
  if (true_side.text != pred_side.text) throw_texts_differ(index);
  tags.collisions += pred_side.collisions;
  tags.collisions += true_side.collisions;
  auto [true_tags, pred_tags] = tags.add();
  pred.translation.translate(pred.batch.tags_of(pred_side), pred_tags);
  gold.translation.translate(gold.batch.tags_of(true_side), true_tags);
}

std::pair<std::vector<TagSequence>, std::vector<TagSequence>> convert_elements(
    const Record& label, const Record& prediction, std::optional<int64_t> index,
    const TagKeys& keys) {
  BioTagger tagger;
  InstanceTags tags;
  convert_element_tags(label, prediction, index, keys, tagger, tags);
  std::pair<std::vector<TagSequence>, std::vector<TagSequence>> result;
  result.first.push_back(tagger.vocabulary().strings(tags.gold(0)));
  result.second.push_back(tagger.vocabulary().strings(tags.pred(0)));
  return result;
}

std::pair<std::vector<TagSequence>, std::vector<TagSequence>> EntityMapper::convert(
    const Record& label, const Record& prediction, std::optional<int64_t> index) const {
  return convert_elements(label, prediction, index, kEntityKeys);
}

void EntityMapper::convert_tags(const Record& label, const Record& prediction,
                                std::optional<int64_t> index, BioTagger& tagger,
                                InstanceTags& tags) const {
  convert_element_tags(label, prediction, index, kEntityKeys, tagger, tags);
}

void EntityMapper::convert_tagged(const Record& label, const Record& prediction,
                                  std::optional<int64_t> index, const TaggedSide& gold,
                                  const TaggedSide& pred, BioTagger& tagger,
                                  InstanceTags& tags) const {
  convert_tagged_sides(label, prediction, index, kEntityKeys, gold, pred, tagger, tags);
}

TagSequence EntityMapper::_convert_entity(std::string_view text, const Record& label) {
  return bio_tags(utf8::length(text), label, kEntityKeys);
}

}  // namespace nlpeval
