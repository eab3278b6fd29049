#ifndef NLPEVAL_TASKS_EVENT_RECORDS_H_
#define NLPEVAL_TASKS_EVENT_RECORDS_H_

// The "event" record formats, read alike by the event mapper and the event miner. A sentence
// is a list of words; its text is their concatenation. Gold and predicted records differ:
//
//   gold       {"words": [...], "events": [{"trigger": [start, end],
//                "arguments": [{"offset": [start, end], "type": role, "text": ...}]}]}
//   predicted  {"words": [...], "events": [{"trigger": {"id": word, "offset": o, "length": n},
//                "arguments": [{"offset": o, "length": n, "role": role, "text": ...}]}]}
//
// Gold positions are word indices, end exclusive; predicted ones count code points of the
// predicted text. Events of the two sides are paired by their trigger key: element 0 of a gold
// "trigger", the "id" of a predicted one.

#include <tsl/ordered_map.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "nlpeval/core/record.h"
#include "nlpeval/core/tags.h"

namespace nlpeval {

// Characters [offset, offset + length) of a text.
struct CharSpan {
  int64_t offset = 0;
  int64_t length = 0;
};

// The words of a record and where each one starts in their concatenation. Views the record.
class EventWords {
 public:
  // Reads `words`, an array of strings. Throws TypeError "<what>: expected array, got <kind>"
  // or "<what>[i]: expected string, got <kind>".
  EventWords(const Record& words, std::string_view what);

  size_t size() const { return words_.size(); }
  size_t text_length() const { return static_cast<size_t>(starts_.back()); }

  // The concatenation of all words.
  std::string text() const { return text(0, static_cast<int64_t>(size())); }

  // Words [start, end) under list-slice rules: an index past the end stands for the number of
  // words, a negative one counts from the end, and an end not after the start is empty.
  // Work is bounded by the words, whatever the indices.
  CharSpan characters(int64_t start, int64_t end) const;
  std::string text(int64_t start, int64_t end) const;

  // The word at `index`, a negative index counting from the end. Throws IndexError naming
  // `what` and the index when it is outside the words.
  std::string_view at(int64_t index, std::string_view what) const;

 private:
  std::vector<std::string_view> words_;
  std::vector<int64_t> starts_;  // code points before word i; one entry more than words
};

// A trigger key: an integer or a string. The two kinds never match, even when they read
// alike (1 and "1").
using TriggerKey = std::variant<int64_t, std::string_view>;

// What one trigger key pairs: the last predicted and the last gold event with that key.
struct EventPair {
  std::optional<Record> pred_event;
  std::optional<Record> label_event;
};

// Trigger key to its pair, in order of first insertion.
using Trigger2Event = tsl::ordered_map<TriggerKey, EventPair, std::hash<TriggerKey>>;

// Pairs the events of both sides: the predicted events in order, keyed by trigger "id", then
// the gold ones, keyed by element 0 of "trigger"; a later event with a key takes the slot of
// an earlier one. So the predicted keys come first, then the keys only gold has.
// Throws TypeError naming "label_events" or "pred_events" unless they are arrays, TypeError
// for an event that is not an object or a key that is neither integer nor string, KeyError
// for a missing "trigger" or "id" and IndexError for a gold "trigger" without elements.
Trigger2Event get_trigger2event(const Record& label_events, const Record& pred_events);

// One argument placed on characters: `type` is its role. Views the record.
using EventArgument = BioTagger::Element;

// The two readers side by side: each throws KeyError for a missing key, TypeError for a value
// of the wrong kind, and IndexError for a gold word range of fewer than two elements.

// Gold argument: "offset" [start, end] in words, then the role under "type".
EventArgument read_gold_argument(const Record& argument, const EventWords& words);
// Predicted argument: "offset", the role under "role", then "length", in characters.
EventArgument read_pred_argument(const Record& argument);

// Gold trigger: [start, end] in words.
CharSpan read_gold_trigger(const Record& trigger, const EventWords& words);
// Predicted trigger: "offset", then "length", in characters.
CharSpan read_pred_trigger(const Record& trigger);

// Elements 0 and 1 of a gold word range such as "offset" or "trigger".
struct WordRange {
  int64_t start = 0;
  int64_t end = 0;
};
WordRange read_word_range(const Record& range, std::string_view what);

}  // namespace nlpeval

#endif  // NLPEVAL_TASKS_EVENT_RECORDS_H_
