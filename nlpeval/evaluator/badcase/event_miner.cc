#include "nlpeval/evaluator/badcase/event_miner.h"

#include <tsl/ordered_map.h>

#include <optional>
#include <string_view>
#include <utility>

#include "nlpeval/evaluator/badcase/const.h"

namespace nlpeval {
namespace {

using badcase::Const;

// The trigger text of an event that has no "trigger".
constexpr std::string_view kNoTrigger = "无";

// The Desc at one argument start, and the gold role when a gold argument starts there.
struct Slot {
  Desc desc;
  std::optional<std::string_view> gold_role;
};

// Argument start (a character offset) to its Desc, in order of first insertion: a later
// argument at a start replaces the Desc and keeps the place.
using Offset2Desc = tsl::ordered_map<int64_t, Slot>;

// The gold words the trigger covers.
Value gold_trigger_text(const Record& event, const EventWords& words) {
  const std::optional<Record> trigger = event.find("trigger");
  if (!trigger) return Value(kNoTrigger);
  const WordRange range = read_word_range(*trigger, "trigger");
  return Value(words.text(range.start, range.end));
}

// The predicted word at the trigger's "id".
Value pred_trigger_text(const Record& event, const EventWords& words) {
  const std::optional<Record> trigger = event.find("trigger");
  if (!trigger) return Value(kNoTrigger);
  trigger->expect_object("trigger");
  return Value(words.at(trigger->get_int("id"), "trigger id"));
}

void add_gold_arguments(const Record& event, const EventWords& words, Offset2Desc& offset2desc) {
  const RecordArray arguments = event.get_array("arguments");
  if (arguments.empty()) return;
  const Value trigger_text = gold_trigger_text(event, words);
  for (const Record argument : arguments) {
    argument.expect_object("argument");
    const std::string_view type = argument.get_string("type");
    const std::string_view text = argument.get_string("text");
    const WordRange range = read_word_range(argument.at("offset"), "offset");
    const int64_t offset = words.characters(range.start, range.end).offset;
    offset2desc.insert_or_assign(
        offset,
        Slot{Desc(Const::NONE, Const::NONE, type, text, Const::NONE, 0, trigger_text), type});
  }
}

// A predicted argument meets the gold one at its start. A second predicted argument at a
// start takes the place of the first, and rightness follows the role finally shown.
void add_pred_arguments(const Record& event, const EventWords& words, Offset2Desc& offset2desc) {
  const RecordArray arguments = event.get_array("arguments");
  if (arguments.empty()) return;
  const Value trigger_text = pred_trigger_text(event, words);
  for (const Record argument : arguments) {
    argument.expect_object("argument");
    const int64_t offset = argument.get_int("offset");
    const std::string_view role = argument.get_string("role");
    const std::string_view text = argument.get_string("text");
    auto found = offset2desc.find(offset);
    if (found == offset2desc.end()) {
      offset2desc.emplace(
          offset, Slot{Desc(role, text, Const::NONE, Const::NONE, Const::NONE, 0, trigger_text),
                       std::nullopt});
      continue;
    }
    Slot& slot = found.value();
    slot.desc.set("pred_type", role).set("pred_desc", text);
    if (slot.gold_role) {
      slot.desc.set("pred_trigger", trigger_text).set("is_right", role == *slot.gold_role ? 1 : 0);
    }
  }
}

}  // namespace

Label2PredData EventMiner::generate(const Record& label, const Record& prediction,
                                    int64_t id_) const {
  label.expect_object("label");
  prediction.expect_object("prediction");
  const Record label_events = label.at("events");
  const Record label_words = label.at("words");
  const Record pred_words = prediction.at("words");
  const Record pred_events = prediction.at("events");
  return _get_label2preddataset(_get_trigger2event(label_events, pred_events), label_words,
                                pred_words, id_);
}

Trigger2Event EventMiner::_get_trigger2event(const Record& label_events,
                                             const Record& pred_events) {
  return get_trigger2event(label_events, pred_events);
}

Label2PredData EventMiner::_get_label2preddataset(const Trigger2Event& trigger2event,
                                                  const Record& label_words,
                                                  const Record& pred_words, int64_t _id) {
  const EventWords gold(label_words, "label_words");
  const EventWords pred(pred_words, "pred_words");
  Label2PredData result(_id, gold.text(), {});
  for (const auto& [key, pair] : trigger2event) {
    Offset2Desc offset2desc;
    if (pair.label_event) add_gold_arguments(*pair.label_event, gold, offset2desc);
    if (pair.pred_event) add_pred_arguments(*pair.pred_event, pred, offset2desc);
    for (auto slot = offset2desc.begin(); slot != offset2desc.end(); ++slot) {
      result.desc.push_back(std::move(slot.value().desc));
    }
  }
  return result;
}

}  // namespace nlpeval
