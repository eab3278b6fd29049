#include "nlpeval/evaluator/miner_kinds.h"

#include "nlpeval/core/errors.h"

namespace nlpeval {

const EventMiner MinerKinds::Event{};
const RelationMiner MinerKinds::Relation{};
const EntityMiner MinerKinds::Entity{};
const AttributeMiner MinerKinds::Attribute{};
const CwsMiner MinerKinds::Cws{};
const PosMiner MinerKinds::Pos{};

const EventMapper ConvertorTypes::Event{};
const RelationMapper ConvertorTypes::Relation{};
const EntityMapper ConvertorTypes::Entity{};
const AttributeMapper ConvertorTypes::Attribute{};
const CwsMapper ConvertorTypes::Cws{};
const PosMapper ConvertorTypes::Pos{};

namespace {

TaskTools tools_of(TaskId id, Generator miner, Convertor mapper) {
  return {std::string(task_of(id).name), miner, mapper, &task_of(id)};
}

}  // namespace

const std::vector<TaskTools>& Instrument::type2generator() {
  static const std::vector<TaskTools> table = {
      tools_of(TaskId::event, &MinerKinds::Event, &ConvertorTypes::Event),
      tools_of(TaskId::relation, &MinerKinds::Relation, &ConvertorTypes::Relation),
      tools_of(TaskId::ner, &MinerKinds::Entity, &ConvertorTypes::Entity),
      tools_of(TaskId::attribute, &MinerKinds::Attribute, &ConvertorTypes::Attribute),
      tools_of(TaskId::cws, &MinerKinds::Cws, &ConvertorTypes::Cws),
      tools_of(TaskId::pos, &MinerKinds::Pos, &ConvertorTypes::Pos),
  };
  return table;
}

const TaskTools& Instrument::_find(std::string_view type_) {
  for (const TaskTools& tools : type2generator()) {
    if (tools.type == type_) return tools;
  }
  std::string known;
  for (const TaskTools& tools : type2generator()) {
    known += (known.empty() ? "" : ", ") + tools.type;
  }
  throw KeyError(std::string(type_),
                 "not a record task type" + (known.empty() ? std::string() : "; known: " + known));
}

Generator Instrument::get_generator(std::string_view type_) const { return _find(type_).badcase; }

Convertor Instrument::get_convertor(std::string_view type_) const { return _find(type_).transform; }

}  // namespace nlpeval
