#include "nlpeval/evaluator/miner_kinds.h"

#include "nlpeval/core/errors.h"

namespace nlpeval {

const EntityMiner MinerKinds::Entity{};

const EntityMapper ConvertorTypes::Entity{};

const std::vector<TaskTools>& Instrument::type2generator() {
  static const std::vector<TaskTools> table = {
      {"ner", &MinerKinds::Entity, &ConvertorTypes::Entity},
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
