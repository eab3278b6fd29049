#ifndef NLPEVAL_EVALUATOR_BADCASE_EVENT_MINER_H_
#define NLPEVAL_EVALUATOR_BADCASE_EVENT_MINER_H_

// The "event" miner: describes, argument by argument, what a prediction got wrong. Reads the
// records of the event mapper (event_records.h), plus the "text" of every argument.

#include <cstdint>

#include "nlpeval/core/record.h"
#include "nlpeval/evaluator/badcase/types.h"
#include "nlpeval/tasks/event_records.h"

namespace nlpeval {

// Pairs events by trigger key as the mapper does; within a pair, a gold and a predicted
// argument meet when they start at the same character, whatever their lengths and texts.
// A met pair is right when the roles agree. No error kind is set.
class EventMiner {
 public:
  // Returns the instance's badcase record: index `id_`, the gold text, and one Desc per
  // argument start of either side, pair by pair in pairing order; within a pair the gold
  // starts first, then the starts only the prediction has. A Desc holds label_type and
  // label_desc (gold "type" and "text"), pred_type and pred_desc (predicted "role" and
  // "text"), other (the trigger text: the gold one when there is a gold argument) and
  // is_right; a met pair also gets pred_trigger (the predicted trigger text). Where a side
  // has two arguments at one start, the later one's values are kept, at the first one's
  // place.
  // Reads the gold "events" and "words", the predicted "words" and "events". Throws TypeError
  // for a value of the wrong kind, KeyError for a missing key, and IndexError for a gold word
  // range of fewer than two elements or a trigger "id" outside the predicted words.
  Label2PredData generate(const Record& label, const Record& prediction, int64_t id_) const;

  // The pairing map; see get_trigger2event.
  static Trigger2Event _get_trigger2event(const Record& label_events, const Record& pred_events);

  // The badcase record of a pairing map. An event without a "trigger" has the trigger text
  // "无". Throws TypeError naming "label_words" or "pred_words" unless they are arrays of
  // strings.
  static Label2PredData _get_label2preddataset(const Trigger2Event& trigger2event,
                                               const Record& label_words, const Record& pred_words,
                                               int64_t _id);
};

}  // namespace nlpeval

#endif  // NLPEVAL_EVALUATOR_BADCASE_EVENT_MINER_H_
