#include "nlpeval/evaluator/convertor/attribute_mapper.h"

#include "nlpeval/tasks/task.h"

namespace nlpeval {

namespace {

DirectedLabel label_of(const AttributePair& pair) {
  return direct(pair.head_offset, pair.tail_offset, pair.attribute);
}

}  // namespace

std::pair<std::vector<std::string>, std::vector<std::string>> AttributeMapper::convert(
    const Record& label, const Record& prediction, std::optional<int64_t> index) const {
  return labels_as_text(*this, label, prediction, index);
}

void AttributeMapper::convert_labels(const Record& label, const Record& prediction,
                                     [[maybe_unused]] std::optional<int64_t> index,
                                     TagVocabulary& vocabulary, TagIdSequence& gold,
                                     TagIdSequence& pred) const {
  label.expect_object("label");
  prediction.expect_object("prediction");
  const AttributeMap gold_pairs = _get_tuple2attribute(label.at("subjects"));
  const AttributeMap pred_pairs = _get_tuple2attribute(prediction.at("subjects"));
  append_pair_labels(gold_pairs, pred_pairs, label_of, vocabulary, gold, pred);
}

AttributeMapper::AttributeMap AttributeMapper::_get_tuple2attribute(const Record& subjects) {
  AttributeMap tuple2attribute;
  PairKeyBuilder key;
  for (const Record subject : subjects.as_array("subjects")) {
    subject.expect_object("subject");
    const Mention head = Mention::read(subject);
    for (const Record attribute : subject.get_array("attributes")) {
      attribute.expect_object(task_of(TaskId::attribute).element);
      const Mention value = Mention::read(mention_at(attribute, "value"));
      AttributePair pair{head.offset, value.offset, attribute.at("type")};
      tuple2attribute.insert_or_assign(
          key.build({head.text, head.offset.key_text(), value.text, value.offset.key_text()}),
          std::move(pair));
    }
  }
  return tuple2attribute;
}

}  // namespace nlpeval
