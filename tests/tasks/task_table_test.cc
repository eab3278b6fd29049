#include "nlpeval/tasks/task.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "nlpeval/core/errors.h"
#include "nlpeval/data/json_validator.h"
#include "nlpeval/evaluator/badcase_sheet.h"
#include "nlpeval/evaluator/miner_kinds.h"

namespace nlpeval {
namespace {

std::vector<std::string> record_task_names() {
  std::vector<std::string> names;
  for (const TaskDescriptor& task : task_descriptors()) {
    if (task.input == TaskInput::records) names.emplace_back(task.name);
  }
  return names;
}

TEST(TaskTable, EachTaskStandsAtItsIdAndIsFoundByItsName) {
  std::set<std::string_view> names;
  for (size_t k = 0; k < task_descriptors().size(); ++k) {
    const TaskDescriptor& task = task_descriptors()[k];
    EXPECT_EQ(static_cast<size_t>(task.id), k) << task.name;
    EXPECT_EQ(&task_of(task.id), &task);
    EXPECT_EQ(find_task(task.name), &task);
    EXPECT_TRUE(names.insert(task.name).second) << "twice: " << task.name;
  }
  EXPECT_EQ(find_task("NER"), nullptr);  // names are case-sensitive
  EXPECT_EQ(find_task(""), nullptr);
}

// The registry, the validator and the spreadsheet serve exactly the record tasks of the table.
TEST(TaskTable, EveryReaderOfTheTableSeesTheSameRecordTasks) {
  const std::vector<std::string> names = record_task_names();
  EXPECT_EQ(MvrcloudJsonValidator::known_types(), names);
  std::vector<std::string> registered;
  for (const TaskTools& tools : Instrument::type2generator()) {
    registered.push_back(tools.type);
    EXPECT_EQ(tools.task, find_task(tools.type));
  }
  std::sort(registered.begin(), registered.end());
  std::vector<std::string> sorted = names;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(registered, sorted);
  for (const TaskDescriptor& task : task_descriptors()) {
    const bool records = task.input == TaskInput::records;
    EXPECT_EQ(task.format.has_value(), records) << task.name;
    EXPECT_EQ(task.mines_badcases(), records) << task.name;
    if (records) {
      EXPECT_EQ(type2head(task.name, false), task.columns);
    } else {
      EXPECT_THROW(type2head(task.name, false), KeyError);
    }
  }
  EXPECT_EQ(type2head("ner", true), task_of(TaskId::ner).counted_columns);
  EXPECT_EQ(type2head("pos", true), task_of(TaskId::pos).columns);
}

// Where elements sit at offsets, the validator's layout is made of the keys the tagger reads
// (and the reading threads read from the tape): {text, elements: [{offset, length, type}]}.
TEST(TaskTable, ElementLayoutsAreTheTaggersKeys) {
  size_t tagged = 0;
  for (const TaskDescriptor& task : task_descriptors()) {
    if (!task.element_keys) continue;
    ++tagged;
    const TagKeys& keys = *task.element_keys;
    const Shape& record = *task.format->shape;
    ASSERT_EQ(record.fields.size(), 2u) << task.name;
    EXPECT_EQ(record.fields[0].key, keys.text);
    EXPECT_EQ(record.fields[0].shape->expect, Expect::string);
    EXPECT_EQ(record.fields[1].key, keys.elements);
    const Shape& element = *record.fields[1].shape->element;
    std::vector<std::string_view> element_keys;
    for (const Field& field : element.fields) element_keys.push_back(field.key);
    EXPECT_EQ(element_keys, (std::vector<std::string_view>{keys.offset, keys.length, keys.type}));
    EXPECT_EQ(task.scoring, Scoring::tag_chunks) << task.name;
  }
  EXPECT_EQ(tagged, 2u);
}

TEST(TaskTable, TaskNamesListsInTableOrder) {
  EXPECT_EQ(task_names([](const TaskDescriptor& task) { return task.scoring == Scoring::flat_labels; }),
            "relation, attribute");
  EXPECT_EQ(task_names([](const TaskDescriptor&) { return false; }), "");
}

}  // namespace
}  // namespace nlpeval
