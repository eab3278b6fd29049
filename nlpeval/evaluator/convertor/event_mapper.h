#ifndef NLPEVAL_EVALUATOR_CONVERTOR_EVENT_MAPPER_H_
#define NLPEVAL_EVALUATOR_CONVERTOR_EVENT_MAPPER_H_

// The "event" mapper. Gold and predicted "event" records have different shapes; see
// event_records.h.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "nlpeval/core/record.h"
#include "nlpeval/core/tags.h"
#include "nlpeval/tasks/event_records.h"

namespace nlpeval {

// Pairs each gold event with the predicted event of the same trigger key and turns every pair
// into two tag sequences per side, one tag per character of that side's text: the arguments
// ("B-" + role on an argument's first character, "I-" + role on the rest, "O" elsewhere; the
// later argument wins where they overlap) and the trigger ("B-trigger", "I-trigger", "O"; a
// trigger of length 0 tags nothing). An argument of length 0 still gets its "B-" tag. Tags
// outside the text are dropped. An event without a counterpart is scored against two all-"O"
// sequences as long as the gold text. Keeps no state and changes no input.
class EventMapper {
 public:
  using Sequences = std::pair<std::vector<TagSequence>, std::vector<TagSequence>>;

  // Returns (gold sequences, predicted sequences), 2K each for the K keys of the pairing
  // map: the argument sequence, then the trigger sequence, pair by pair in map order. A
  // predicted sequence is as long as the predicted text, which the mapper does not compare
  // with the gold text. `index` is accepted and not used.
  // Reads the predicted "words", the gold "words" and "events", the predicted "events", then
  // pair by pair the predicted event before the gold one. Throws TypeError when a record is
  // not an object or a value has the wrong kind, KeyError for a missing key and IndexError
  // for a gold word range with fewer than two elements; nothing is returned then.
  Sequences convert(const Record& label, const Record& prediction,
                    std::optional<int64_t> index = {}) const;

  // The same as tag ids of `tagger`'s vocabulary: adds the instance's pairs (arguments, then
  // trigger, for each key) to `tags`. The driver's road, with no string per character.
  void convert_tags(const Record& label, const Record& prediction, std::optional<int64_t> index,
                    BioTagger& tagger, InstanceTags& tags) const;

  // The pairing map; see get_trigger2event.
  static Trigger2Event _get_trigger2event(const Record& label_events, const Record& pred_events);

 private:
  // One side's event, read and placed on the characters of that side's text.
  struct EventElements {
    size_t text_length = 0;
    std::vector<EventArgument> arguments;
    std::optional<EventArgument> trigger;  // none when the trigger covers no character

    // An absent event: nothing to tag over `length` characters.
    void clear(size_t length);

    // The trigger as the elements of its own sequence.
    std::span<const EventArgument> trigger_elements() const;
  };

  // Reads a predicted event: "arguments", "trigger", each argument, then the trigger.
  static void _convert_pred(const EventWords& words, const Record& event, EventElements& out);

  // Reads a gold event the same way, turning word indices into characters.
  static void _convert_label(const EventWords& words, const Record& event, EventElements& out);
};

}  // namespace nlpeval

#endif  // NLPEVAL_EVALUATOR_CONVERTOR_EVENT_MAPPER_H_
