#include "nlpeval/evaluator/badcase/attribute_miner.h"

#include <string_view>
#include <utility>

#include "nlpeval/core/errors.h"
#include "nlpeval/tasks/task.h"

namespace nlpeval {
namespace {

using Triple = AttributeMiner::Triple;

// Shown for the side that lacks the pair.
constexpr std::string_view kMissing = "无";

// entity, value and tag, measured from the mention that starts first; the value's "length"
// is read only when the value starts before the subject.
void describe_mentions(Desc& desc, const Triple& triple) {
  const bool value_first = greater(triple.entity_offset, triple.value_offset);
  desc.set("entity", triple.entity_text);
  desc.set("value", triple.value_text);
  const int64_t entity_offset = triple.entity_offset.number("offset");
  const int64_t value_offset = triple.value_offset.number("offset");
  desc.set("tag", value_first ? checked_distance(entity_offset, value_offset,
                                                 triple.value.get_int("length"), "tag")
                              : checked_distance(value_offset, entity_offset,
                                                 triple.entity_length.as_int("length"), "tag"));
}

// The mention fields come from the predicted triple when both sides have one.
Desc describe_pair(const Triple* gold, const Triple* pred) {
  Desc desc;
  describe_mentions(desc, pred ? *pred : *gold);
  desc.set("label_desc", gold ? Value(AttributeMiner::_get_tag(*gold)) : Value(kMissing));
  desc.set("pred_desc", pred ? Value(AttributeMiner::_get_tag(*pred)) : Value(kMissing));
  // The tags above have checked that both names are strings.
  if (gold && pred && gold->attribute.as_string("type") == pred->attribute.as_string("type")) {
    desc.set("is_right", 1);
  }
  return desc;
}

// The triple of one attribute of `subject`. Every subject key is required here, though no
// field shows the subject's "type".
Triple read_triple(const Record& subject, std::string_view subject_text, const Record& attribute) {
  attribute.expect_object(task_of(TaskId::attribute).element);
  const Record value = attribute.at("value");
  value.expect_object("value");
  subject.at("type");
  return Triple{.entity_text = subject_text,
                .entity_offset = Offset::read(subject),
                .entity_length = subject.at("length"),
                .value = value,
                .value_text = value.get_string("text"),
                .value_offset = Offset::read(value),
                .attribute = attribute.at("type")};
}

}  // namespace

Label2PredData AttributeMiner::generate(const Record& label, const Record& prediction,
                                        int64_t id_) const {
  const std::string_view text = shared_text(label, prediction);

  const Tuple2Triple gold = _get_tuple2triple(label.get_array("subjects"));
  const Tuple2Triple pred = _get_tuple2triple(prediction.get_array("subjects"));
  Label2PredData result(id_, std::string(text), {});
  result.desc.reserve(gold.size() + pred.size());
  for_each_in_union(gold, pred, [&](const Triple* gold_triple, const Triple* pred_triple) {
    result.desc.push_back(describe_pair(gold_triple, pred_triple));
  });
  return result;
}

AttributeMiner::Tuple2Triple AttributeMiner::_get_tuple2triple(const RecordArray& subjects) {
  Tuple2Triple tuple2triple;
  for (const Record subject : subjects) {
    subject.expect_object("subject");
    const std::string_view subject_text = subject.get_string("text");
    const RecordArray attributes = subject.get_array("attributes");
    for (const Record attribute : attributes) {
      Triple triple = read_triple(subject, subject_text, attribute);
      std::string key = pair_key({subject_text, triple.value_text, triple.value_offset.key_text()});
      tuple2triple.insert_or_assign(std::move(key), std::move(triple));
    }
  }
  return tuple2triple;
}

std::string AttributeMiner::_get_tag(const Triple& triple) {
  const bool value_first = greater(triple.entity_offset, triple.value_offset);
  return std::string(triple.attribute.as_string("type")) + (value_first ? "(e2,e1)" : "(e1,e2)");
}

}  // namespace nlpeval
