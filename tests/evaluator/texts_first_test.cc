// Every mapper and miner compares the two texts of an instance as values before reading them:
// texts that differ are the ValueError "text is different", whatever their kinds, and only
// equal texts that are not strings are a TypeError.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "nlpeval/core/errors.h"
#include "nlpeval/core/record.h"
#include "nlpeval/evaluator/badcase/attribute_miner.h"
#include "nlpeval/evaluator/badcase/cws_miner.h"
#include "nlpeval/evaluator/badcase/entity_miner.h"
#include "nlpeval/evaluator/badcase/pos_miner.h"
#include "nlpeval/evaluator/badcase/relation_miner.h"
#include "nlpeval/evaluator/convertor/cws_mapper.h"
#include "nlpeval/evaluator/convertor/entity_mapper.h"
#include "nlpeval/evaluator/convertor/pos_mapper.h"
#include "test_support.h"

namespace nlpeval {
namespace {

using Call = std::function<void(const Record&, const Record&)>;

struct Named {
  const char* name;
  const char* different;  // the message of texts that differ
  Call call;
};

std::vector<Named> mappers_and_miners() {
  return {
      {"EntityMapper", "text is different on line: 3",
       [](const Record& l, const Record& p) { EntityMapper().convert(l, p, 3); }},
      {"PosMapper", "text is different on line: 3",
       [](const Record& l, const Record& p) { PosMapper().convert(l, p, 3); }},
      {"CwsMapper", "text is different on line: 3",
       [](const Record& l, const Record& p) { CwsMapper().convert(l, p, 3); }},
      {"EntityMiner", "text is different",
       [](const Record& l, const Record& p) { EntityMiner().generate(l, p, 1); }},
      {"PosMiner", "text is different",
       [](const Record& l, const Record& p) { PosMiner().generate(l, p, 1); }},
      {"CwsMiner", "text is different",
       [](const Record& l, const Record& p) { CwsMiner().generate(l, p, 1); }},
      {"RelationMiner", "text is different",
       [](const Record& l, const Record& p) { RelationMiner().generate(l, p, 1); }},
      {"AttributeMiner", "text is different",
       [](const Record& l, const Record& p) { AttributeMiner().generate(l, p, 1); }},
  };
}

TEST(TextsFirst, TextsThatDifferAsValuesAreAValueErrorWhateverTheirKinds) {
  // Each pair: gold and predicted "text", as JSON.
  const std::vector<std::pair<std::string, std::string>> differing = {
      {"5", R"("5")"}, {R"("a")", "null"}, {"[1]", "[2]"}, {R"({"a": 1})", R"({"a": 2})"},
      {"1", "1.5"},
  };
  for (const Named& named : mappers_and_miners()) {
    for (const auto& [gold, pred] : differing) {
      Records records = Records::parse("[{\"text\": " + gold + "}, {\"text\": " + pred + "}]");
      EXPECT_EQ(testing::message_of<ValueError>([&] { named.call(records[0], records[1]); }),
                named.different)
          << named.name << ": " << gold << " / " << pred;
    }
  }
}

TEST(TextsFirst, EqualTextsThatAreNotStringsAreThenATypeError) {
  // Equal as Python compares them: numbers by value, members in any order.
  const std::vector<std::pair<std::string, std::string>> equal = {
      {"5", "5"},
      {"1", "1.0"},
      {"true", "1"},
      {"[1, [null]]", "[1, [null]]"},
      {R"({"a": 1, "b": 2})", R"({"b": 2, "a": 0, "a": 1})"},
  };
  for (const Named& named : mappers_and_miners()) {
    for (const auto& [gold, pred] : equal) {
      Records records = Records::parse("[{\"text\": " + gold + "}, {\"text\": " + pred + "}]");
      EXPECT_THROW(named.call(records[0], records[1]), TypeError)
          << named.name << ": " << gold << " / " << pred;
    }
  }
}

TEST(TextsFirst, AMissingTextIsNamedWithTheGoldRecordFirst) {
  Records records = Records::parse(R"([{"words": []}, {"nothing": 1}])");
  for (const Named& named : mappers_and_miners()) {
    EXPECT_EQ(testing::message_of<KeyError>([&] { named.call(records[0], records[1]); }), "'text'")
        << named.name;
  }
}

}  // namespace
}  // namespace nlpeval
