#ifndef NLPEVAL_TASKS_TASK_H_
#define NLPEVAL_TASKS_TASK_H_

// What each task type is, in one place: its name, what its input files hold, the layout of
// its records, how it is scored, what its badcase spreadsheet shows and which options mean
// something for it. The validator, the tagger's fast road, the scoring dispatch, the badcase
// sheet, the command line and the Python bindings all read this table; the registry
// (evaluator/miner_kinds) adds each record task's mapper and miner.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "nlpeval/core/tags.h"
#include "nlpeval/tasks/record_layout.h"

namespace nlpeval {

// The task types, in the order the command line lists them.
enum class TaskId { ner, pos, cws, relation, attribute, event, dp, srl };

// What the two input files hold.
enum class TaskInput {
  records,      // JSON Lines, one record per instance
  conll_lines,  // CoNLL lines, one token per line
  props,        // CoNLL-2005 props: columns of words and argument brackets
};

// How the mapped instances are scored.
enum class Scoring {
  tag_chunks,   // BIO tag sequences, counted as chunks (seqeval's rules)
  flat_labels,  // one label per position, no-relation label "na" aside (scikit-learn's)
  word_spans,   // word extents, matched whole
  heads,        // dependency heads and labels (UAS, LAS)
  arguments,    // semantic-role arguments (the CoNLL-2005 scorer)
};

struct TaskDescriptor {
  TaskId id;
  std::string_view name;
  TaskInput input;
  Scoring scoring;
  // The keys and kinds every record must have (records only).
  std::optional<RecordFormat> format;
  // Where a record keeps its elements when they sit at an "offset" with a "length": the
  // mapper tags by these keys, and the reading threads tag records ahead by them.
  std::optional<TagKeys> element_keys;
  // What one element is called in messages: "entity", "entities".
  std::string_view element;
  std::string_view elements;
  // The badcase spreadsheet's columns between "index" and "text"; none for a task that mines
  // no badcases. With an entity-count file, `counted_columns` when it is not empty.
  std::vector<std::string> columns;
  std::vector<std::string> counted_columns;

  bool mines_badcases() const { return !columns.empty(); }
  bool takes_entity_counts() const { return !counted_columns.empty(); }
};

// Every task type, in TaskId order.
const std::vector<TaskDescriptor>& task_descriptors();

// The task named `name`, or null.
const TaskDescriptor* find_task(std::string_view name);

// The task `id`.
const TaskDescriptor& task_of(TaskId id);

// The names of the tasks that pass `keep`, in table order, separated by ", ".
template <typename Keep>
std::string task_names(Keep keep) {
  std::string names;
  for (const TaskDescriptor& task : task_descriptors()) {
    if (keep(task)) names += (names.empty() ? "" : ", ") + std::string(task.name);
  }
  return names;
}

}  // namespace nlpeval

#endif  // NLPEVAL_TASKS_TASK_H_
