#include "nlpeval/evaluator/convertor/relation_mapper.h"

namespace nlpeval {

namespace {

DirectedLabel label_of(const Record& relation) {
  relation.expect_object("relation");
  const Offset head = Offset::read(mention_at(relation, "head"));
  const Offset tail = Offset::read(mention_at(relation, "tail"));
  return direct(head, tail, relation.at("type"));
}

}  // namespace

std::pair<std::vector<std::string>, std::vector<std::string>> RelationMapper::convert(
    const Record& label, const Record& prediction, std::optional<int64_t> index) const {
  return labels_as_text(*this, label, prediction, index);
}

void RelationMapper::convert_labels(const Record& label, const Record& prediction,
                                    [[maybe_unused]] std::optional<int64_t> index,
                                    TagVocabulary& vocabulary, TagIdSequence& gold,
                                    TagIdSequence& pred) const {
  label.expect_object("label");
  prediction.expect_object("prediction");
  const RelationMap gold_pairs = _get_tuple2relation(label.at("relations"));
  const RelationMap pred_pairs = _get_tuple2relation(prediction.at("relations"));
  append_pair_labels(gold_pairs, pred_pairs, label_of, vocabulary, gold, pred);
}

RelationMapper::RelationMap RelationMapper::_get_tuple2relation(const Record& relations) {
  const RecordArray records = relations.as_array("relations");
  RelationMap tuple2relation;
  tuple2relation.reserve(records.size());
  PairKeyBuilder key;
  for (const Record relation : records) {
    relation.expect_object("relation");
    const Mention head = Mention::read(mention_at(relation, "head"));
    const Mention tail = Mention::read(mention_at(relation, "tail"));
    tuple2relation.insert_or_assign(
        key.build({head.text, head.offset.key_text(), tail.text, tail.offset.key_text()}),
        relation);
  }
  return tuple2relation;
}

std::string RelationMapper::_get_tag(const Record& relation) { return label_of(relation).text(); }

}  // namespace nlpeval
