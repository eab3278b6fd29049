#include "nlpeval/evaluator/miner_kinds.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "nlpeval/core/errors.h"

namespace nlpeval {
namespace {

TEST(Instrument, NerGivesTheSharedEntityMinerAndMapper) {
  const Instrument first, second;
  EXPECT_EQ(std::get<const EntityMiner*>(first.get_generator("ner")), &MinerKinds::Entity);
  EXPECT_EQ(std::get<const EntityMapper*>(first.get_convertor("ner")), &ConvertorTypes::Entity);
  EXPECT_EQ(first.get_generator("ner"), second.get_generator("ner"));
  EXPECT_EQ(first.get_convertor("ner"), second.get_convertor("ner"));
  EXPECT_THROW(first.get_generator("NER"), KeyError);
  EXPECT_THROW(first.get_convertor("dp"), KeyError);
}

TEST(Instrument, TableKeepsItsOrderAndEveryTypeItsOwnTools) {
  std::vector<std::string> types;
  for (const TaskTools& tools : Instrument::type2generator()) types.push_back(tools.type);
  EXPECT_EQ(types,
            (std::vector<std::string>{"event", "relation", "ner", "attribute", "cws", "pos"}));
  const Instrument instrument;
  EXPECT_EQ(std::get<const RelationMiner*>(instrument.get_generator("relation")),
            &MinerKinds::Relation);
  EXPECT_EQ(std::get<const AttributeMapper*>(instrument.get_convertor("attribute")),
            &ConvertorTypes::Attribute);
}

}  // namespace
}  // namespace nlpeval
