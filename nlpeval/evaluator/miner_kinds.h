#ifndef NLPEVAL_EVALUATOR_MINER_KINDS_H_
#define NLPEVAL_EVALUATOR_MINER_KINDS_H_

// The task registry: for each record task, the shared mapper that turns an instance into
// label sequences ("transform") and the shared miner that turns it into a badcase record
// ("badcase"), next to the task's descriptor (tasks/task.h). Tasks whose input is not records
// are not here.
//
// Mappers and miners are plain classes without a common base: a registry entry holds a
// pointer to the task's own class inside a std::variant, so every call stays statically
// typed. Each task adds its classes to MinerKinds, ConvertorTypes, the two variants and the
// table, in the table's order: event, relation, ner, attribute, cws, pos.

#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "nlpeval/evaluator/badcase/attribute_miner.h"
#include "nlpeval/evaluator/badcase/cws_miner.h"
#include "nlpeval/evaluator/badcase/entity_miner.h"
#include "nlpeval/evaluator/badcase/event_miner.h"
#include "nlpeval/evaluator/badcase/pos_miner.h"
#include "nlpeval/evaluator/badcase/relation_miner.h"
#include "nlpeval/evaluator/convertor/attribute_mapper.h"
#include "nlpeval/evaluator/convertor/cws_mapper.h"
#include "nlpeval/evaluator/convertor/entity_mapper.h"
#include "nlpeval/evaluator/convertor/event_mapper.h"
#include "nlpeval/evaluator/convertor/pos_mapper.h"
#include "nlpeval/evaluator/convertor/relation_mapper.h"
#include "nlpeval/tasks/task.h"

namespace nlpeval {

// One miner per task family, created once and shared by every evaluation.
struct MinerKinds {
  static const EventMiner Event;
  static const RelationMiner Relation;
  static const EntityMiner Entity;
  static const AttributeMiner Attribute;
  static const CwsMiner Cws;
  static const PosMiner Pos;
};

// One mapper per task family, created once and shared by every evaluation.
struct ConvertorTypes {
  static const EventMapper Event;
  static const RelationMapper Relation;
  static const EntityMapper Entity;
  static const AttributeMapper Attribute;
  static const CwsMapper Cws;
  static const PosMapper Pos;
};

using Generator = std::variant<const EventMiner*, const RelationMiner*, const EntityMiner*,
                               const AttributeMiner*, const CwsMiner*, const PosMiner*>;
using Convertor = std::variant<const EventMapper*, const RelationMapper*, const EntityMapper*,
                               const AttributeMapper*, const CwsMapper*, const PosMapper*>;

struct TaskTools {
  std::string type;             // the task type, e.g. "ner"
  Generator badcase;            // the miner
  Convertor transform;          // the mapper
  const TaskDescriptor* task;   // everything else about it
};

class Instrument {
 public:
  // The fixed table of task types, in order. It never changes at run time.
  static const std::vector<TaskTools>& type2generator();

  // The shared miner of `type_`. Throws KeyError naming the type when it is not a record task.
  Generator get_generator(std::string_view type_) const;

  // The shared mapper of `type_`. Throws KeyError naming the type when it is not a record task.
  Convertor get_convertor(std::string_view type_) const;

 private:
  static const TaskTools& _find(std::string_view type_);
};

}  // namespace nlpeval

#endif  // NLPEVAL_EVALUATOR_MINER_KINDS_H_
