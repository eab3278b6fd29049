#include "nlpeval/core/record.h"

#include <gtest/gtest.h>

#include "nlpeval/core/errors.h"
#include "test_support.h"

namespace nlpeval {
namespace {

using testing::message_of;

TEST(Record, MissingKeyIsKeyErrorNamingTheKey) {
  Records records = Records::parse(R"([{"text": "abc"}])");
  try {
    records[0].at("entities");
    FAIL();
  } catch (const KeyError& thrown) {
    EXPECT_EQ(thrown.key(), "entities");
    EXPECT_STREQ(thrown.what(), "'entities'");
  }
}

TEST(Record, WrongKindNamesKeyExpectedAndReceived) {
  Records records = Records::parse(R"([{"offset": "3", "length": 5.0, "flag": true}])");
  EXPECT_EQ(message_of<TypeError>([&] { records[0].get_int("offset"); }),
            "offset: expected integer, got string");
  EXPECT_EQ(message_of<TypeError>([&] { records[0].get_int("length"); }),
            "length: expected integer, got float");
  EXPECT_EQ(message_of<TypeError>([&] { records[0].get_int("flag"); }),
            "flag: expected integer, got boolean");
  EXPECT_EQ(message_of<TypeError>([&] { records[0].get_array("flag"); }),
            "flag: expected array, got boolean");
}

TEST(Record, LastOccurrenceOfARepeatedKeyWins) {
  Records records = Records::parse(R"([{"text": "first", "text": "last"}])");
  EXPECT_EQ(records[0].get_string("text"), "last");
}

TEST(Record, FindEachReadsSeveralMembersInOneWalk) {
  Records records =
      Records::parse(R"([{"pos": "NOUN", "offset": 1, "length": 2, "offset": 7, "": 0}, [1], {}])");
  const auto members = records[0].find_each<4>({"offset", "length", "", "type"});
  EXPECT_EQ(members.at(0, "offset").as_int("offset"), 7);  // the last occurrence
  EXPECT_EQ(members.at(1, "length").as_int("length"), 2);
  EXPECT_FALSE(members.has(2));  // an empty key finds nothing, not the member ""
  EXPECT_FALSE(members.has(3));
  EXPECT_EQ(message_of<KeyError>([&] { members.at(3, "type"); }), "'type'");
  EXPECT_EQ(message_of<TypeError>([&] { records[1].find_each<1>({"offset"}); }),
            "record: expected object, got array");
  EXPECT_FALSE(records[2].find_each<1>({"offset"}).has(0));
}

TEST(Record, IntegersBeyondTheSignedRangeAreRefused) {
  Records records = Records::parse(R"([{"offset": 18446744073709551615}])");
  EXPECT_THROW(records[0].get_int("offset"), ValueError);
}

TEST(Records, ParseRefusesNonArraysAndBrokenJson) {
  EXPECT_THROW(Records::parse(R"({"text": "a"})"), ValueError);
  EXPECT_THROW(Records::parse(R"([{"text": )"), ValueError);
  EXPECT_THROW(Records::parse(R"([NaN])"), ValueError);
}

TEST(Records, KeepsOrderAndOutlivesMoves) {
  Records records = Records::parse(R"([{"i": 0}, {"i": 1}, {"i": 2}])");
  Records moved = std::move(records);
  ASSERT_EQ(moved.size(), 3u);
  int64_t expected = 0;
  for (Record record : moved) EXPECT_EQ(record.get_int("i"), expected++);
  EXPECT_THROW(moved.at(3), IndexError);
}

}  // namespace
}  // namespace nlpeval
