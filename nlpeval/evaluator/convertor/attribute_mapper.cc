#include "nlpeval/evaluator/convertor/attribute_mapper.h"

#include <initializer_list>
#include <string_view>
#include <utility>

#include "nlpeval/tasks/task.h"

namespace nlpeval {

namespace {

DirectedLabel label_of(const AttributePair& pair) {
  return direct(pair.head_offset, pair.tail_offset, pair.attribute);
}

// Reads the (subject, value) pairs of one array of subjects in order: add(pair key parts,
// pair). Each object's members are found in one walk and checked in the order they are used.
template <FormatChecks kChecks, typename Add>
void for_each_attribute(const Record& subjects, Add&& add) {
  constexpr bool kWholeFormat = kChecks == FormatChecks::whole_format;
  const auto& element = task_of(TaskId::attribute).element;  // looked up once, not per value
  for (const Record subject : subjects.as_array("subjects")) {
    subject.expect_object("subject");
    const auto subject_members = subject.find_each<5>(
        {"text", "offset", "attributes", kWholeFormat ? "length" : "", kWholeFormat ? "type" : ""});
    const Mention head = Mention::of(subject_members, 0, 1);
    if constexpr (kWholeFormat) {
      expect_format_integer(subject_members.at(1, "offset"), "offset");
      expect_format_integer(subject_members.at(3, "length"), "length");
      subject_members.at(4, "type").as_string("type");
    }
    for (const Record attribute :
         subject_members.at(2, "attributes").as_array("attributes")) {
      attribute.expect_object(element);
      const auto members = attribute.find_each<2>({"value", "type"});
      const Mention value = Mention::read<kChecks>(mention_in(members, 0, "value"));
      const Record type = members.at(1, "type");
      if constexpr (kWholeFormat) type.as_string("type");
      add({head.text, head.offset.key_text(), value.text, value.offset.key_text()},
          AttributePair{head.offset, value.offset, type});
    }
  }
}

// One side's pairs by pair key, in `pairs`.
const ReusedPairMap<AttributePair>::Index& attribute_pairs(const Record& record,
                                                           ReusedPairMap<AttributePair>& pairs,
                                                           FormatChecks checks) {
  pairs.clear();
  const auto add = [&](std::initializer_list<std::string_view> parts, AttributePair pair) {
    pairs.add(parts, std::move(pair));
  };
  if (checks == FormatChecks::whole_format) {
    expect_format_text(record);
    for_each_attribute<FormatChecks::whole_format>(record.at("subjects"), add);
  } else {
    for_each_attribute<FormatChecks::mapped_keys>(record.at("subjects"), add);
  }
  return pairs.index();
}

}  // namespace

std::pair<std::vector<std::string>, std::vector<std::string>> AttributeMapper::convert(
    const Record& label, const Record& prediction, std::optional<int64_t> index) const {
  return labels_as_text(*this, label, prediction, index);
}

void AttributeMapper::convert_labels(const Record& label, const Record& prediction,
                                     [[maybe_unused]] std::optional<int64_t> index,
                                     TagVocabulary& vocabulary, TagIdSequence& gold,
                                     TagIdSequence& pred, FormatChecks checks) const {
  append_side_pair_labels<AttributePair>(
      label, prediction,
      [checks](const Record& record, ReusedPairMap<AttributePair>& pairs) -> const auto& {
        return attribute_pairs(record, pairs, checks);
      },
      label_of, vocabulary, gold, pred);
}

AttributeMapper::AttributeMap AttributeMapper::_get_tuple2attribute(const Record& subjects) {
  AttributeMap tuple2attribute;
  for_each_attribute<FormatChecks::mapped_keys>(
      subjects, [&](std::initializer_list<std::string_view> parts, AttributePair pair) {
        tuple2attribute.insert_or_assign(pair_key(parts), std::move(pair));
      });
  return tuple2attribute;
}

}  // namespace nlpeval
