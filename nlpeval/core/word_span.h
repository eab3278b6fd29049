#ifndef NLPEVAL_CORE_WORD_SPAN_H_
#define NLPEVAL_CORE_WORD_SPAN_H_

// Word spans of a segmentation: what the word-segmentation mapper makes of an instance and
// what its score compares.

#include <compare>
#include <cstddef>
#include <vector>

namespace nlpeval {

// The characters [start, end) of one word, counted in code points; an empty word has
// start == end.
struct WordSpan {
  size_t start = 0;
  size_t end = 0;

  friend auto operator<=>(const WordSpan&, const WordSpan&) = default;
};

// The word spans of one instance, in word order.
using WordSpans = std::vector<WordSpan>;

}  // namespace nlpeval

#endif  // NLPEVAL_CORE_WORD_SPAN_H_
