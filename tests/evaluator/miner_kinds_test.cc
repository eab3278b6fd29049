#include "nlpeval/evaluator/miner_kinds.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace nlpeval
