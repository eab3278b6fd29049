#include "nlpeval/core/short_strings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace nlpeval {
namespace {

// Strings of every size up to 20 that differ from a base in exactly one byte, at every
// position: the word-wise compare and hash must see each byte of every size class.
TEST(ShortStrings, SameKeySeesEveryByteOfEverySize) {
  for (size_t size = 0; size <= 20; ++size) {
    const std::string base(size, 'a');
    EXPECT_TRUE(same_key(base, std::string(size, 'a')));
    EXPECT_FALSE(same_key(base, std::string(size + 1, 'a')));
    for (size_t position = 0; position < size; ++position) {
      std::string changed = base;
      changed[position] = 'b';
      EXPECT_FALSE(same_key(base, changed)) << "size " << size << " position " << position;
    }
  }
}

TEST(ShortStrings, EqualStringsHashAlikeWhereverTheyLie) {
  const std::string buffer = "xxNOUNxxPROPNxxverb-with-a-long-namexx";
  const ShortStringHash hash;
  EXPECT_EQ(hash(std::string_view(buffer).substr(2, 4)), hash("NOUN"));
  EXPECT_EQ(hash(std::string_view(buffer).substr(8, 5)), hash("PROPN"));
  EXPECT_EQ(hash(std::string_view(buffer).substr(15, 21)), hash("verb-with-a-long-name"));
  EXPECT_NE(hash("NOUN"), hash("NOUM"));
}

TEST(ShortStringMap, FindsEveryKeyAcrossGrowth) {
  std::vector<std::string> keys;
  for (int i = 0; i < 500; ++i) keys.push_back(std::string("t").append(std::to_string(i)));
  keys.emplace_back("");
  ShortStringMap<int> map;
  EXPECT_EQ(map.find("t0"), nullptr);
  for (size_t i = 0; i < keys.size(); ++i) {
    map.insert(keys[i], static_cast<int>(i));
    ASSERT_NE(map.find(keys[i]), nullptr);
  }
  EXPECT_EQ(map.size(), keys.size());
  for (size_t i = 0; i < keys.size(); ++i) {
    const int* found = map.find(keys[i]);
    ASSERT_NE(found, nullptr) << keys[i];
    EXPECT_EQ(*found, static_cast<int>(i));
  }
  EXPECT_EQ(map.find("t500"), nullptr);
}

}  // namespace
}  // namespace nlpeval
