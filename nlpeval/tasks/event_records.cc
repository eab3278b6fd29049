#include "nlpeval/tasks/event_records.h"

#include <algorithm>

#include "nlpeval/core/errors.h"
#include "nlpeval/core/utf8.h"

namespace nlpeval {
namespace {

// Where list-slice index `index` falls among `size` elements.
size_t slice_index(int64_t index, size_t size) {
  const auto count = static_cast<int64_t>(size);
  if (index < 0) index = std::max<int64_t>(index + count, 0);  // index + count cannot overflow
  return static_cast<size_t>(std::min(index, count));
}

// "<what>[<position>]", made only for an error message.
std::string element_name(std::string_view what, size_t position) {
  return std::string(what) + "[" + std::to_string(position) + "]";
}

TriggerKey trigger_key(const Record& value, std::string_view what) {
  std::string_view text;
  if (value.element().get(text) == simdjson::SUCCESS) return text;
  if (value.kind() == Kind::integer) return value.as_int(what);
  throw TypeError(std::string(what) + ": expected integer or string, got " +
                  std::string(kind_name(value.kind())));
}

TriggerKey pred_trigger_key(const Record& event) {
  event.expect_object("event");
  const Record trigger = event.at("trigger");
  trigger.expect_object("trigger");
  return trigger_key(trigger.at("id"), "id");
}

TriggerKey gold_trigger_key(const Record& event) {
  event.expect_object("event");
  const RecordArray trigger = event.get_array("trigger");
  if (trigger.empty()) throw IndexError("trigger: expected [start, end], got no element");
  return trigger_key(*trigger.begin(), "trigger[0]");
}

}  // namespace

EventWords::EventWords(const Record& words, std::string_view what) {
  const RecordArray array = words.as_array(what);
  words_.reserve(array.size());
  starts_.reserve(array.size() + 1);
  starts_.push_back(0);
  for (const Record word : array) {
    std::string_view text;
    if (word.element().get(text) != simdjson::SUCCESS) {
      word.as_string(element_name(what, words_.size()));
    }
    words_.push_back(text);
    starts_.push_back(starts_.back() + static_cast<int64_t>(utf8::length(text)));
  }
}

CharSpan EventWords::characters(int64_t start, int64_t end) const {
  const size_t first = slice_index(start, size());
  const size_t last = slice_index(end, size());
  const int64_t offset = starts_[first];
  return {offset, last > first ? starts_[last] - offset : 0};
}

std::string EventWords::text(int64_t start, int64_t end) const {
  const size_t first = slice_index(start, size());
  const size_t last = slice_index(end, size());
  std::string joined;
  for (size_t i = first; i < last; ++i) joined += words_[i];
  return joined;
}

std::string_view EventWords::at(int64_t index, std::string_view what) const {
  const auto count = static_cast<int64_t>(size());
  const int64_t position = index < 0 ? index + count : index;
  if (position < 0 || position >= count) {
    throw IndexError(std::string(what) + " " + std::to_string(index) + " is outside the " +
                     std::to_string(count) + " words");
  }
  return words_[static_cast<size_t>(position)];
}

Trigger2Event get_trigger2event(const Record& label_events, const Record& pred_events) {
  const RecordArray gold = label_events.as_array("label_events");
  const RecordArray pred = pred_events.as_array("pred_events");
  Trigger2Event trigger2event;
  for (const Record event : pred) trigger2event[pred_trigger_key(event)].pred_event = event;
  for (const Record event : gold) trigger2event[gold_trigger_key(event)].label_event = event;
  return trigger2event;
}

EventArgument read_gold_argument(const Record& argument, const EventWords& words) {
  argument.expect_object("argument");
  const WordRange range = read_word_range(argument.at("offset"), "offset");
  const std::string_view role = argument.get_string("type");
  const CharSpan span = words.characters(range.start, range.end);
  return {span.offset, span.length, role};
}

EventArgument read_pred_argument(const Record& argument) {
  argument.expect_object("argument");
  const int64_t offset = argument.get_int("offset");
  const std::string_view role = argument.get_string("role");
  return {offset, argument.get_int("length"), role};
}

CharSpan read_gold_trigger(const Record& trigger, const EventWords& words) {
  const WordRange range = read_word_range(trigger, "trigger");
  return words.characters(range.start, range.end);
}

CharSpan read_pred_trigger(const Record& trigger) {
  trigger.expect_object("trigger");
  const int64_t offset = trigger.get_int("offset");
  return {offset, trigger.get_int("length")};
}

WordRange read_word_range(const Record& range, std::string_view what) {
  const RecordArray elements = range.as_array(what);
  int64_t bounds[2] = {0, 0};
  auto element = elements.begin();
  for (size_t i = 0; i < 2; ++i, ++element) {
    if (element == elements.end()) {
      throw IndexError(std::string(what) + ": expected [start, end], got " +
                       (i == 0 ? "no element" : "1 element"));
    }
    const Record bound = *element;
    bounds[i] =
        bound.kind() == Kind::integer ? bound.as_int(what) : bound.as_int(element_name(what, i));
  }
  return {bounds[0], bounds[1]};
}

}  // namespace nlpeval
