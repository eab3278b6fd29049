#include "nlpeval/core/internal/short_strings.h"

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

// Every byte value at every position of every size up to 8, read from inside a larger
// buffer: the packed value must tell apart exactly the strings that differ.
TEST(ShortStrings, PackShortIsExactForEverySize) {
  for (size_t size = 0; size <= 8; ++size) {
    std::string buffer = "<<" + std::string(size, 'a') + ">>";
    const std::string_view base = std::string_view(buffer).substr(2, size);
    const uint64_t packed = pack_short(base);
    EXPECT_EQ(pack_short(std::string(size, 'a')), packed) << "size " << size;
    for (size_t position = 0; position < size; ++position) {
      for (const int byte : {0x00, 0x62, 0xFF}) {  // NUL, 'b', a byte no UTF-8 text holds
        std::string changed(base);
        changed[position] = static_cast<char>(byte);
        EXPECT_NE(pack_short(changed), packed) << "size " << size << " position " << position;
      }
    }
  }
}

// Keys that pack alike and differ only in size, and long keys that share their first 8 bytes.
TEST(ShortStringMap, TellsApartKeysThatDifferOnlyInSizeOrLate) {
  using namespace std::string_literals;
  const std::vector<std::string> keys = {
      "A"s, "A\0"s, "A\0\0\0\0"s, ""s, "\0"s, "prefix-of-a-long-key-1"s, "prefix-of-a-long-key-2"s};
  ShortStringMap<size_t> map;
  for (size_t i = 0; i < keys.size(); ++i) map.insert(keys[i], i);
  for (size_t i = 0; i < keys.size(); ++i) {
    const size_t* found = map.find(keys[i]);
    ASSERT_NE(found, nullptr) << i;
    EXPECT_EQ(*found, i);
  }
  EXPECT_EQ(map.find("A\0\0"s), nullptr);
  EXPECT_EQ(map.find("prefix-of-a-long-key-3"), nullptr);
}

// Keys past 8 bytes are hashed a word at a time: a change of any one byte, in the last
// overlapping word too, must make another key.
TEST(ShortStringMap, TellsApartLongKeysThatDifferInOneByte) {
  for (size_t size = 9; size <= 40; ++size) {
    const std::string base(size, 'k');
    ShortStringMap<size_t> map;
    map.insert(base, size);
    std::vector<std::string> changed(size, base);
    for (size_t position = 0; position < size; ++position) {
      changed[position][position] = 'K';
      ASSERT_EQ(map.find(changed[position]), nullptr) << "size " << size << " at " << position;
      map.insert(changed[position], position);
    }
    ASSERT_NE(map.find(base), nullptr);
    EXPECT_EQ(*map.find(base), size);
    for (size_t position = 0; position < size; ++position) {
      ASSERT_NE(map.find(changed[position]), nullptr);
      EXPECT_EQ(*map.find(changed[position]), position);
    }
  }
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
