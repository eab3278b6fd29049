#ifndef NLPEVAL_EVALUATOR_BADCASE_CWS_MINER_H_
#define NLPEVAL_EVALUATOR_BADCASE_CWS_MINER_H_

// The "cws" miner: describes, word by word, where a predicted segmentation departs from the
// gold one.

#include <cstdint>
#include <string_view>

#include "nlpeval/core/record.h"
#include "nlpeval/evaluator/badcase/span_tools.h"
#include "nlpeval/evaluator/badcase/types.h"

namespace nlpeval {

// Tags each side's words "B-word", "I-word", ... (an empty word still gets its "B-word"),
// pairs the words with align_spans and describes each pair as a Desc. The tags come from the
// words alone: after an empty word, or when the words do not spell the text, tag positions
// and text positions part, and element texts are read at the tag positions, clipped at the
// end of the text.
class CwsMiner {
 public:
  // Returns the instance's badcase record: index `id_`, the gold text, and one Desc per span
  // pair, in pair order. Each Desc gets true_label and true_text ("word" and the word's
  // characters, or NONE twice), pred_label and pred_text (likewise, and pred_count = 0 when
  // there is no predicted word), then is_right (1 or 0) and for a wrong pair error_type.
  // Throws TypeError when a record is not an object or a value has the wrong kind (a word
  // that is not a string names "words[<i>]"), KeyError for a missing key, and ValueError
  // "text is different" when the two texts differ.
  Label2PredData generate(const Record& label, const Record& prediction, int64_t id_) const;

 private:
  // "B-word" for each word's first character (or for an empty word), "I-word" for the rest.
  static TagViews _convert_label(const Record& label);

  // The Desc of one pair; `text` is the gold text's code points.
  static Desc _generate_desc(const SpanPair& span_pair, std::u32string_view text);
};

}  // namespace nlpeval

#endif  // NLPEVAL_EVALUATOR_BADCASE_CWS_MINER_H_
