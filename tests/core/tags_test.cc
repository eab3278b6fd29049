#include "nlpeval/core/tags.h"

#include <gtest/gtest.h>

#include <random>
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

TagSequence tagged(BioTagger& tagger, size_t text_length, const std::vector<Element>& elements) {
  TagIdSequence ids;
  tagger.tag(text_length, elements, ids);
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
    ASSERT_EQ(tagged(tagger, text_length, elements), naive_tags(text_length, elements))
        << "round " << round;
  }
}

TEST(BioTagger, ExtremeNumbersInOrderAreCutToTheText) {
  BioTagger tagger;
  const int64_t huge = int64_t{1} << 62;
  const std::vector<Element> elements = {{0, 2, "A"}, {2, huge, "B"}, {huge, huge, "C"}};
  EXPECT_EQ(tagged(tagger, 5, elements), TagSequence({"B-A", "I-A", "B-B", "I-B", "I-B"}));
}

}  // namespace
}  // namespace nlpeval
