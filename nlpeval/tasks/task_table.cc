#include <algorithm>

#include "nlpeval/tasks/task.h"

namespace nlpeval {
namespace {

// Elements at an offset ("ner" entities, "pos" words): the tagger's keys and the validator's
// shapes are made of the same names.
constexpr TagKeys kEntityKeys{.elements = "entities", .type = "type"};
constexpr TagKeys kWordKeys{.elements = "words", .type = "pos"};

constexpr Field kEntityFields[] = {
    {kEntityKeys.offset, &kInteger}, {kEntityKeys.length, &kInteger}, {kEntityKeys.type, &kString}};
constexpr Shape kEntity = object_of(kEntityFields);
constexpr Shape kEntities = array_of(kEntity);
constexpr Field kNerFields[] = {{kEntityKeys.text, &kString}, {kEntityKeys.elements, &kEntities}};
constexpr Shape kNer = object_of(kNerFields);

constexpr Field kPosWordFields[] = {
    {kWordKeys.offset, &kInteger}, {kWordKeys.length, &kInteger}, {kWordKeys.type, &kString}};
constexpr Shape kPosWord = object_of(kPosWordFields);
constexpr Shape kPosWords = array_of(kPosWord);
constexpr Field kPosFields[] = {{kWordKeys.text, &kString}, {kWordKeys.elements, &kPosWords}};
constexpr Shape kPos = object_of(kPosFields);

// cws: {"text", "words": [string]}
constexpr Field kCwsFields[] = {{"text", &kString}, {"words", &kStrings}};
constexpr Shape kCws = object_of(kCwsFields);

// A mention of relation and attribute records: {"text", "offset", "length"}.
constexpr Field kMentionFields[] = {
    {"text", &kString}, {"offset", &kInteger}, {"length", &kInteger}};
constexpr Shape kMention = object_of(kMentionFields);

// relation: {"text", "relations": [{"head", "tail", "type"}]}
constexpr Field kRelationFields[] = {{"head", &kMention}, {"tail", &kMention}, {"type", &kString}};
constexpr Shape kRelation = object_of(kRelationFields);
constexpr Shape kRelations = array_of(kRelation);
constexpr Field kRelationRecordFields[] = {{"text", &kString}, {"relations", &kRelations}};
constexpr Shape kRelationRecord = object_of(kRelationRecordFields);

// attribute: {"text", "subjects": [{"text", "offset", "type", "length",
//                                   "attributes": [{"type", "value"}]}]}
constexpr Field kAttributeFields[] = {{"type", &kString}, {"value", &kMention}};
constexpr Shape kAttribute = object_of(kAttributeFields);
constexpr Shape kAttributes = array_of(kAttribute);
constexpr Field kSubjectFields[] = {{"text", &kString},
                                    {"offset", &kInteger},
                                    {"type", &kString},
                                    {"length", &kInteger},
                                    {"attributes", &kAttributes}};
constexpr Shape kSubject = object_of(kSubjectFields);
constexpr Shape kSubjects = array_of(kSubject);
constexpr Field kAttributeRecordFields[] = {{"text", &kString}, {"subjects", &kSubjects}};
constexpr Shape kAttributeRecord = object_of(kAttributeRecordFields);

// Gold event: {"words", "events": [{"trigger": span, "arguments": [{"offset": span, "type",
// "text"}]}]}, positions being word indices.
constexpr Field kGoldArgumentFields[] = {
    {"offset", &kSpan}, {"type", &kString}, {"text", &kString}};
constexpr Shape kGoldArgument = object_of(kGoldArgumentFields);
constexpr Shape kGoldArguments = array_of(kGoldArgument);
constexpr Field kGoldEventFields[] = {{"trigger", &kSpan}, {"arguments", &kGoldArguments}};
constexpr Shape kGoldEvent = object_of(kGoldEventFields);
constexpr Shape kGoldEvents = array_of(kGoldEvent);
constexpr Field kGoldEventRecordFields[] = {{"words", &kStrings}, {"events", &kGoldEvents}};
constexpr Shape kGoldEventRecord = object_of(kGoldEventRecordFields);

// Predicted event: {"words", "events": [{"trigger": {"id", "offset", "length"},
// "arguments": [{"offset", "length", "role", "text"}]}]}, positions being characters.
constexpr Field kTriggerFields[] = {
    {"id", &kInteger}, {"offset", &kInteger}, {"length", &kInteger}};
constexpr Shape kTrigger = object_of(kTriggerFields);
constexpr Field kPredictedArgumentFields[] = {
    {"offset", &kInteger}, {"length", &kInteger}, {"role", &kString}, {"text", &kString}};
constexpr Shape kPredictedArgument = object_of(kPredictedArgumentFields);
constexpr Shape kPredictedArguments = array_of(kPredictedArgument);
constexpr Field kPredictedEventFields[] = {{"trigger", &kTrigger},
                                           {"arguments", &kPredictedArguments}};
constexpr Shape kPredictedEvent = object_of(kPredictedEventFields);
constexpr Shape kPredictedEvents = array_of(kPredictedEvent);
constexpr Field kPredictedEventRecordFields[] = {{"words", &kStrings},
                                                 {"events", &kPredictedEvents}};
constexpr Shape kPredictedEventRecord = object_of(kPredictedEventRecordFields);

static_assert(fits_validator(kNer) && fits_validator(kPos) && fits_validator(kCws) &&
              fits_validator(kRelationRecord) && fits_validator(kAttributeRecord) &&
              fits_validator(kGoldEventRecord) && fits_validator(kPredictedEventRecord));

std::vector<TaskDescriptor> make_table() {
  const std::vector<std::string> element_columns = {"true_text",  "pred_text", "true_label",
                                                    "pred_label", "is_right",  "error_type"};
  return {
      {.id = TaskId::ner,
       .name = "ner",
       .input = TaskInput::records,
       .scoring = Scoring::tag_chunks,
       .format = RecordFormat{&kNer},
       .element_keys = kEntityKeys,
       .element = "entity",
       .elements = "entities",
       .columns = element_columns,
       .counted_columns = {"true_text", "true_count", "pred_text", "pred_count", "true_label",
                           "pred_label", "is_right", "error_type"}},
      {.id = TaskId::pos,
       .name = "pos",
       .input = TaskInput::records,
       .scoring = Scoring::tag_chunks,
       .format = RecordFormat{&kPos},
       .element_keys = kWordKeys,
       .element = "word",
       .elements = "words",
       .columns = element_columns},
      {.id = TaskId::cws,
       .name = "cws",
       .input = TaskInput::records,
       .scoring = Scoring::word_spans,
       .format = RecordFormat{&kCws},
       .element = "word",
       .elements = "words",
       .columns = {"true_text", "pred_text", "is_right", "error_type"}},
      {.id = TaskId::relation,
       .name = "relation",
       .input = TaskInput::records,
       .scoring = Scoring::flat_labels,
       .format = RecordFormat{&kRelationRecord},
       .element = "relation",
       .elements = "relations",
       .columns = {"head_entity", "tail_entity", "tag", "label_desc", "pred_desc", "is_right",
                   "error_type"}},
      {.id = TaskId::attribute,
       .name = "attribute",
       .input = TaskInput::records,
       .scoring = Scoring::flat_labels,
       .format = RecordFormat{&kAttributeRecord},
       .element = "attribute",
       .elements = "attributes",
       .columns = {"entity", "value", "tag", "label_desc", "pred_desc", "is_right"}},
      {.id = TaskId::event,
       .name = "event",
       .input = TaskInput::records,
       .scoring = Scoring::tag_chunks,
       .format = RecordFormat{&kGoldEventRecord, &kPredictedEventRecord},
       .element = "argument",
       .elements = "arguments",
       .columns = {"label_type", "label_desc", "pred_type", "pred_desc", "is_right", "other"}},
      {.id = TaskId::dp,
       .name = "dp",
       .input = TaskInput::conll_lines,
       .scoring = Scoring::heads,
       .element = "token",
       .elements = "tokens"},
      {.id = TaskId::srl,
       .name = "srl",
       .input = TaskInput::props,
       .scoring = Scoring::arguments,
       .element = "argument",
       .elements = "arguments"},
  };
}

}  // namespace

const std::vector<TaskDescriptor>& task_descriptors() {
  static const std::vector<TaskDescriptor> table = make_table();
  return table;
}

const TaskDescriptor* find_task(std::string_view name) {
  const std::vector<TaskDescriptor>& table = task_descriptors();
  auto found = std::find_if(table.begin(), table.end(),
                            [&](const TaskDescriptor& task) { return task.name == name; });
  return found == table.end() ? nullptr : &*found;
}

const TaskDescriptor& task_of(TaskId id) { return task_descriptors()[static_cast<size_t>(id)]; }

}  // namespace nlpeval
