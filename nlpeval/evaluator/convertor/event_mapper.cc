#include "nlpeval/evaluator/convertor/event_mapper.h"

#include <string_view>

namespace nlpeval {
namespace {

constexpr std::string_view kTrigger = "trigger";

// The trigger as an element of its own sequence; none when it covers no character.
std::optional<EventArgument> trigger_of(CharSpan span) {
  if (span.length <= 0) return std::nullopt;
  return EventArgument{span.offset, span.length, kTrigger};
}

}  // namespace

void EventMapper::EventElements::clear(size_t length) {
  text_length = length;
  arguments.clear();
  trigger.reset();
}

std::span<const EventArgument> EventMapper::EventElements::trigger_elements() const {
  if (!trigger) return {};
  return {&*trigger, 1};
}

EventMapper::Sequences EventMapper::convert(const Record& label, const Record& prediction,
                                            std::optional<int64_t> index) const {
  return tags_as_text(*this, label, prediction, index);
}

void EventMapper::convert_tags(const Record& label, const Record& prediction,
                               [[maybe_unused]] std::optional<int64_t> index, BioTagger& tagger,
                               InstanceTags& tags) const {
  label.expect_object("label");
  prediction.expect_object("prediction");
  const Record pred_words_record = prediction.at("words");
  const EventWords gold_words(label.at("words"), "words");
  const Record label_events = label.at("events");
  const Trigger2Event trigger2event = _get_trigger2event(label_events, prediction.at("events"));

  std::optional<EventWords> pred_words;  // read for the first predicted event
  EventElements gold;
  EventElements pred;
  for (const auto& [key, pair] : trigger2event) {
    if (pair.pred_event) {
      if (!pred_words) pred_words.emplace(pred_words_record, "words");
      _convert_pred(*pred_words, *pair.pred_event, pred);
    } else {
      pred.clear(gold_words.text_length());
    }
    if (pair.label_event) {
      _convert_label(gold_words, *pair.label_event, gold);
    } else {
      gold.clear(gold_words.text_length());
    }
    // Both events are read before either is tagged: the predicted event's errors come first,
    // and no pair of sequences is left half made.
    auto [gold_arguments, pred_arguments] = tags.add();
    tagger.tag(gold.text_length, gold.arguments, gold_arguments);
    tagger.tag(pred.text_length, pred.arguments, pred_arguments);
    auto [gold_trigger, pred_trigger] = tags.add();
    tagger.tag(gold.text_length, gold.trigger_elements(), gold_trigger);
    tagger.tag(pred.text_length, pred.trigger_elements(), pred_trigger);
  }
}

Trigger2Event EventMapper::_get_trigger2event(const Record& label_events,
                                              const Record& pred_events) {
  return get_trigger2event(label_events, pred_events);
}

void EventMapper::_convert_pred(const EventWords& words, const Record& event, EventElements& out) {
  const RecordArray arguments = event.get_array("arguments");
  const Record trigger = event.at("trigger");
  out.clear(words.text_length());
  for (const Record argument : arguments) out.arguments.push_back(read_pred_argument(argument));
  out.trigger = trigger_of(read_pred_trigger(trigger));
}

void EventMapper::_convert_label(const EventWords& words, const Record& event, EventElements& out) {
  const RecordArray arguments = event.get_array("arguments");
  const Record trigger = event.at("trigger");
  out.clear(words.text_length());
  for (const Record argument : arguments) {
    out.arguments.push_back(read_gold_argument(argument, words));
  }
  out.trigger = trigger_of(read_gold_trigger(trigger, words));
}

}  // namespace nlpeval
