#include "nlpeval/evaluator/badcase/relation_miner.h"

#include <string_view>
#include <utility>

#include "nlpeval/core/errors.h"
#include "nlpeval/core/offset.h"
#include "nlpeval/evaluator/badcase/const.h"
#include "nlpeval/tasks/mentions.h"
#include "nlpeval/tasks/task.h"

namespace nlpeval {
namespace {

using badcase::Const;

constexpr std::string_view kReverseSuffix = "_rev";

struct Mention {
  Record record;
  Offset offset;
};

// The relation's two mentions with their offsets, the one that starts first (the head on a
// tie) first.
std::pair<Mention, Mention> in_text_order(const Record& relation) {
  relation.expect_object(task_of(TaskId::relation).element);
  const Record head = mention_at(relation, "head");
  const Record tail = mention_at(relation, "tail");
  Mention head_mention{head, Offset::read(head)};
  Mention tail_mention{tail, Offset::read(tail)};
  if (greater(head_mention.offset, tail_mention.offset)) return {tail_mention, head_mention};
  return {head_mention, tail_mention};
}

// `type` with every "_rev" taken out, in one left-to-right pass.
std::string without_reverse_marks(std::string_view type) {
  std::string kept;
  size_t from = 0;
  for (size_t found = type.find(kReverseSuffix); found != std::string_view::npos;
       found = type.find(kReverseSuffix, from)) {
    kept.append(type.substr(from, found - from));
    from = found + kReverseSuffix.size();
  }
  return kept.append(type.substr(from));
}

// The relation name of a tag: the text before its first "(".
std::string_view relation_name(std::string_view tag) { return tag.substr(0, tag.find('(')); }

// head_entity, tail_entity and tag, measured from the mention that starts first; only that
// mention's "length" is read.
void describe_mentions(Desc& desc, const Record& relation) {
  const auto [first, second] = in_text_order(relation);
  const int64_t gap =
      checked_distance(second.offset.number("offset"), first.offset.number("offset"),
                       first.record.get_int("length"), "tag");
  desc.set("head_entity", first.record.get_string("text"));
  desc.set("tail_entity", second.record.get_string("text"));
  desc.set("tag", gap);
}

// A pair both sides relate: right when the tags agree, an order error when only the
// direction differs.
void compare_tags(Desc& desc, std::string gold_tag, std::string pred_tag) {
  const bool right = gold_tag == pred_tag;
  const bool same_name = relation_name(gold_tag) == relation_name(pred_tag);
  desc.set("label_desc", std::move(gold_tag));
  desc.set("pred_desc", std::move(pred_tag));
  if (right) {
    desc.set("is_right", 1);
  } else {
    desc.set("error_type", same_name ? badcase::Error::ORDER_ERROR : badcase::Error::TYPE_ERROR);
  }
}

// The mention fields come from the predicted relation when both sides have one.
Desc describe_pair(const Record* gold, const Record* pred) {
  Desc desc;
  describe_mentions(desc, pred ? *pred : *gold);
  if (gold && pred) {
    compare_tags(desc, RelationMiner::_get_tag(*gold), RelationMiner::_get_tag(*pred));
  } else if (gold) {
    desc.set("label_desc", RelationMiner::_get_tag(*gold));
    desc.set("pred_desc", Const::NONE);
    desc.set("error_type", badcase::Error::PRED_NONE_ERROR);
  } else {
    desc.set("label_desc", Const::NONE);
    desc.set("pred_desc", RelationMiner::_get_tag(*pred));
    desc.set("error_type", badcase::Error::TRUE_NONE_ERROR);
  }
  return desc;
}

}  // namespace

Label2PredData RelationMiner::generate(const Record& label, const Record& prediction,
                                       int64_t id_) const {
  const std::string_view text = shared_text(label, prediction);

  const Tuple2Triple gold = _get_tuple2triple(label.get_array("relations"));
  const Tuple2Triple pred = _get_tuple2triple(prediction.get_array("relations"));
  Label2PredData result(id_, std::string(text), {});
  result.desc.reserve(gold.size() + pred.size());
  for_each_in_union(gold, pred, [&](const Record* gold_relation, const Record* pred_relation) {
    result.desc.push_back(describe_pair(gold_relation, pred_relation));
  });
  return result;
}

RelationMiner::Tuple2Triple RelationMiner::_get_tuple2triple(const RecordArray& triples) {
  Tuple2Triple tuple2triple;
  for (const Record relation : triples) {
    const auto [first, second] = in_text_order(relation);
    tuple2triple.insert_or_assign(
        pair_key({first.record.get_string("text"), first.offset.key_text(),
                  second.record.get_string("text"), second.offset.key_text()}),
        relation);
  }
  return tuple2triple;
}

std::string RelationMiner::_get_tag(const Record& relation) {
  relation.expect_object(task_of(TaskId::relation).element);
  const Offset head = Offset::read(mention_at(relation, "head"));
  const Offset tail = Offset::read(mention_at(relation, "tail"));
  const std::string_view type = relation.get_string("type");
  // A reversed type names its direction itself, so the offsets are not compared.
  if (type.ends_with(kReverseSuffix)) return without_reverse_marks(type) + "(e2,e1)";
  return std::string(type) + (greater(head, tail) ? "(e2,e1)" : "(e1,e2)");
}

}  // namespace nlpeval
