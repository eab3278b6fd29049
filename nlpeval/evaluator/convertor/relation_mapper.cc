#include "nlpeval/evaluator/convertor/relation_mapper.h"

#include <initializer_list>
#include <string_view>

#include "nlpeval/core/errors.h"
#include "nlpeval/tasks/task.h"

namespace nlpeval {

namespace {

// What the label of a relation needs, kept while its pair key is read so that the label does
// not read the record again. A missing "type" is reported when the label is taken, as before.
struct RelationLabel {
  Offset head;
  Offset tail;
  std::optional<Record> type;
};

DirectedLabel label_of(const RelationLabel& relation) {
  if (!relation.type) throw KeyError("type");
  return direct(relation.head, relation.tail, *relation.type);
}

// Reads the relations of one array in order: add(pair key parts, type if present, head,
// tail).
template <FormatChecks kChecks, typename Add>
void for_each_relation(const Record& relations, Add&& add) {
  const auto& element = task_of(TaskId::relation).element;  // looked up once, not per relation
  for (const Record relation : relations.as_array("relations")) {
    relation.expect_object(element);
    // One walk over the relation's members; they are checked in the order they are used.
    const auto members = relation.find_each<3>({"head", "tail", "type"});
    const Mention head = Mention::read<kChecks>(mention_in(members, 0, "head"));
    const Mention tail = Mention::read<kChecks>(mention_in(members, 1, "tail"));
    if constexpr (kChecks == FormatChecks::whole_format) members.at(2, "type").as_string("type");
    add({head.text, head.offset.key_text(), tail.text, tail.offset.key_text()},
        members.has(2) ? std::optional(members.at(2, "type")) : std::nullopt, head, tail);
  }
}

// One side's relation labels by pair key, in `pairs`.
const ReusedPairMap<RelationLabel>::Index& label_pairs(const Record& record,
                                                       ReusedPairMap<RelationLabel>& pairs,
                                                       FormatChecks checks) {
  pairs.clear();
  const auto add = [&](std::initializer_list<std::string_view> parts, std::optional<Record> type,
                       const Mention& head, const Mention& tail) {
    pairs.add(parts, RelationLabel{head.offset, tail.offset, type});
  };
  if (checks == FormatChecks::whole_format) {
    expect_format_text(record);
    for_each_relation<FormatChecks::whole_format>(record.at("relations"), add);
  } else {
    for_each_relation<FormatChecks::mapped_keys>(record.at("relations"), add);
  }
  return pairs.index();
}

}  // namespace

std::pair<std::vector<std::string>, std::vector<std::string>> RelationMapper::convert(
    const Record& label, const Record& prediction, std::optional<int64_t> index) const {
  return labels_as_text(*this, label, prediction, index);
}

void RelationMapper::convert_labels(const Record& label, const Record& prediction,
                                    [[maybe_unused]] std::optional<int64_t> index,
                                    TagVocabulary& vocabulary, TagIdSequence& gold,
                                    TagIdSequence& pred, FormatChecks checks) const {
  append_side_pair_labels<RelationLabel>(
      label, prediction,
      [checks](const Record& record, ReusedPairMap<RelationLabel>& pairs) -> const auto& {
        return label_pairs(record, pairs, checks);
      },
      label_of, vocabulary, gold, pred);
}

}  // namespace nlpeval
