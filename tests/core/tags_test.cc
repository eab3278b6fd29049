#include "nlpeval/core/tags.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace nlpeval {
namespace {

using Element = BioTagger::Element;

// The rule written out the slow way: elements applied first to last, each overwriting what it
// covers, positions outside the text dropped.
TagSequence naive_tags(size_t text_length, const std::vector<Element>& elements) {
  TagSequence tags(text_length, "O");
  const auto size = static_cast<int64_t>(text_length);
  for (const Element& element : elements) {
    const std::string type(element.type);
    if (element.offset >= 0 && element.offset < size) tags[element.offset] = "B-" + type;
    for (int64_t k = 1; k < element.length && element.offset + k < size; ++k) {
      if (element.offset + k >= 0) tags[element.offset + k] = "I-" + type;
    }
  }
  return tags;
}

// The characters naive_tags writes for `element`.
std::set<int64_t> characters_of(const Element& element, int64_t size) {
  std::set<int64_t> characters;
  if (element.offset >= 0 && element.offset < size) characters.insert(element.offset);
  for (int64_t k = 1; k < element.length && element.offset + k < size; ++k) {
    if (element.offset + k >= 0) characters.insert(element.offset + k);
  }
  return characters;
}

// The collisions written out the slow way: an element without characters lies outside, one
// sharing a character with any later element overlaps.
TagCollisions naive_collisions(size_t text_length, const std::vector<Element>& elements) {
  const auto size = static_cast<int64_t>(text_length);
  TagCollisions collisions;
  for (size_t i = 0; i < elements.size(); ++i) {
    const std::set<int64_t> mine = characters_of(elements[i], size);
    if (mine.empty()) {
      ++collisions.outside_text;
      continue;
    }
    for (size_t j = i + 1; j < elements.size(); ++j) {
      const std::set<int64_t> later = characters_of(elements[j], size);
      if (std::any_of(mine.begin(), mine.end(), [&](int64_t c) { return later.count(c) > 0; })) {
        ++collisions.overlapping;
        break;
      }
    }
  }
  return collisions;
}

TagSequence tagged(BioTagger& tagger, size_t text_length, const std::vector<Element>& elements,
                   TagCollisions* collisions = nullptr) {
  TagIdSequence ids;
  const TagCollisions found = tagger.tag(text_length, elements, ids);
  if (collisions != nullptr) *collisions = found;
  return tagger.vocabulary().strings(ids);
}

// Words one after another, as a segmenter writes them, with gaps, empty and overlong words;
// now and then a long word or a long gap, so that runs of one tag outgrow a written block.
std::vector<Element> words_in_order(std::mt19937& random, size_t text_length) {
  static const char* const kTypes[] = {"NOUN", "VERB", "X"};
  std::vector<Element> words;
  int64_t at = std::uniform_int_distribution<int64_t>(0, 2)(random);
  while (at < static_cast<int64_t>(text_length) + 2) {
    const bool long_run = random() % 8 == 0;
    const int64_t length = std::uniform_int_distribution<int64_t>(-1, long_run ? 11 : 4)(random);
    const int64_t gap = std::uniform_int_distribution<int64_t>(0, long_run ? 9 : 1)(random);
    words.push_back({at, length, kTypes[random() % 3]});
    at += std::max<int64_t>(length, 1) + gap;
  }
  return words;
}

TEST(BioTagger, WordsInOrderAndTangledElementsFollowTheSameRule) {
  std::mt19937 random(7);
  BioTagger tagger;  // one tagger throughout, as the mappers keep it
  for (int round = 0; round < 2000; ++round) {
    const size_t text_length = random() % 24;
    std::vector<Element> elements = words_in_order(random, text_length);
    if (round % 2 == 1 && !elements.empty()) {
      // Tangle them: an element moved, stretched back or started before the text.
      Element& changed = elements[random() % elements.size()];
      switch (random() % 3) {
        case 0:
          std::swap(changed, elements.front());
          break;
        case 1:
          changed.length += 3;
          changed.offset -= 2;
          break;
        default:
          changed.offset = -1 - static_cast<int64_t>(random() % 3);
      }
    }
    TagCollisions collisions;
    ASSERT_EQ(tagged(tagger, text_length, elements, &collisions), naive_tags(text_length, elements))
        << "round " << round;
    ASSERT_EQ(collisions, naive_collisions(text_length, elements)) << "round " << round;
  }
}

TEST(BioTagger, CountsElementsOverlappingALaterOneAndThoseOutsideTheText) {
  BioTagger tagger;
  TagCollisions found;
  // 北京大学很好: ORG 0..4 then LOC 0..2. The LOC wins the shared characters, and the ORG,
  // overlapping a later element, is counted; the LOC overlaps nothing after it.
  tagged(tagger, 6, {{0, 4, "ORG"}, {0, 2, "LOC"}}, &found);
  EXPECT_EQ(found, (TagCollisions{1, 0}));
  // The same entity twice: the first loses every character to the second.
  tagged(tagger, 6, {{1, 2, "A"}, {1, 2, "A"}}, &found);
  EXPECT_EQ(found, (TagCollisions{1, 0}));
  // A later element inside an earlier one, words in order, and one that only touches.
  tagged(tagger, 9, {{0, 2, "A"}, {2, 2, "B"}, {4, 4, "C"}, {5, 1, "D"}}, &found);
  EXPECT_EQ(found, (TagCollisions{1, 0}));
  // Beyond the end, before the start, and empty elements, which still tag their first
  // character; in order (the fast road) and out of order.
  for (const std::vector<Element>& elements :
       {std::vector<Element>{{0, 0, "A"}, {2, 1, "B"}, {5, 3, "C"}, {9, 1, "D"}},
        std::vector<Element>{{5, 3, "C"}, {0, 0, "A"}, {-3, 2, "E"}, {-1, 2, "F"}}}) {
    tagged(tagger, 5, elements, &found);
    EXPECT_EQ(found, naive_collisions(5, elements));
  }
  tagged(tagger, 5, {{0, 0, "A"}, {2, 1, "B"}, {5, 3, "C"}, {9, 1, "D"}}, &found);
  EXPECT_EQ(found, (TagCollisions{0, 2}));
  tagged(tagger, 5, {{5, 3, "C"}, {0, 0, "A"}, {-3, 2, "E"}, {-1, 2, "F"}}, &found);
  // E has no character; F, starting before the text, keeps character 0 and takes it from A.
  EXPECT_EQ(found, (TagCollisions{1, 2}));
}

TEST(BioTagger, ExtremeNumbersInOrderAreCutToTheText) {
  BioTagger tagger;
  const int64_t huge = int64_t{1} << 62;
  const std::vector<Element> elements = {{0, 2, "A"}, {2, huge, "B"}, {huge, huge, "C"}};
  EXPECT_EQ(tagged(tagger, 5, elements), TagSequence({"B-A", "I-A", "B-B", "I-B", "I-B"}));
}

}  // namespace
}  // namespace nlpeval
