#ifndef NLPEVAL_EVALUATOR_CONVERTOR_CWS_MAPPER_H_
#define NLPEVAL_EVALUATOR_CONVERTOR_CWS_MAPPER_H_

// The "cws" mapper. A "cws" record is an object with a "text" and an array "words" of
// strings, the segmentation of the text in order. Nothing checks that the words concatenate
// to the text: their spans follow the words alone.

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "nlpeval/core/record.h"
#include "nlpeval/core/word_span.h"

namespace nlpeval {

// Turns a gold and a predicted "cws" record into the word spans of each side: the first word
// starts at 0 and every further word where the previous one ended, its end being its start
// plus its number of code points.
class CwsMapper {
 public:
  // Every pair of records it maps without an error has the task's record format: it reads
  // each key the format requires, with its kind, on both sides. A walk that maps a pair has
  // then validated it.
  static constexpr bool kChecksRecordFormat = true;

  // Returns ([gold spans], [predicted spans]): one span list in each list, for the driver to
  // append to its running lists. `index` is the instance's position, used in messages only.
  // Throws as convert_spans does.
  std::pair<std::vector<WordSpans>, std::vector<WordSpans>> convert(
      const Record& label, const Record& prediction, std::optional<int64_t> index = {}) const;

  // The same into `true_spans` and `pred_spans`, which are overwritten and keep their
  // memory from one instance to the next: the driver's road.
  // Reads the gold "text", the predicted "text", the gold "words", the predicted "words", in
  // this order. Throws TypeError when a record is not an object or a value has the wrong
  // kind (a word that is not a string names "words[<i>]"), KeyError for a missing key, and
  // ValueError "text is different on line: <index>" (or "None") when the texts differ.
  void convert_spans(const Record& label, const Record& prediction, std::optional<int64_t> index,
                     WordSpans& true_spans, WordSpans& pred_spans) const;

 private:
  // The spans of `words`, tiling [0, total length of the words).
  static void _convert_words(const RecordArray& words, WordSpans& spans);
};

}  // namespace nlpeval

#endif  // NLPEVAL_EVALUATOR_CONVERTOR_CWS_MAPPER_H_
