// The task-format checker: walks a record along the shapes of its task's record format
// (tasks/record_layout.h) and says where it first departs from them.

#include <array>
#include <string>
#include <utility>

#include "nlpeval/core/errors.h"
#include "nlpeval/core/internal/short_strings.h"
#include "nlpeval/data/json_validator.h"
#include "nlpeval/data/internal/record_name.h"
#include "nlpeval/tasks/task.h"

namespace nlpeval {
namespace {

// Why a value does not match its shape. It holds views and numbers only, so checking
// allocates nothing; the text is made when the mismatch is reported.
struct Mismatch {
  enum class Problem { wrong_kind, missing_key, out_of_range, wrong_length };

  // One step from a value into it: a key, or a position when the key is empty.
  struct Step {
    std::string_view key;
    size_t position = 0;
  };

  Problem problem = Problem::wrong_kind;
  Kind expected = Kind::null;  // wrong_kind
  Kind got = Kind::null;       // wrong_kind
  std::string_view key;        // missing_key
  size_t length = 0;           // wrong_length: the expected and the actual element counts
  size_t actual_length = 0;
  std::array<Step, kMaxLayoutSteps> steps;  // innermost first, filled while the walk unwinds
  size_t depth = 0;

  void step_out(Step step) {
    if (depth < steps.size()) steps[depth++] = step;
  }

  // "entities[1].offset"; empty for the record itself.
  std::string path() const {
    std::string text;
    for (size_t i = depth; i-- > 0;) {
      if (steps[i].key.empty()) {
        text.append("[").append(std::to_string(steps[i].position)).append("]");
      } else {
        if (!text.empty()) text += '.';
        text.append(steps[i].key);
      }
    }
    return text;
  }

  std::string reason() const {
    switch (problem) {
      case Problem::wrong_kind:
        return "expected " + std::string(kind_name(expected)) + ", got " +
               std::string(kind_name(got));
      case Problem::missing_key:
        return "missing key '" + std::string(key) + "'";
      case Problem::out_of_range:
        return "expected integer within the signed 64-bit range";
      case Problem::wrong_length:
        return "expected " + std::to_string(length) + " elements, got " +
               std::to_string(actual_length);
    }
    return "";
  }

  // "<path>: <reason>", or the reason alone for the record itself.
  std::string text() const {
    std::string where = path();
    return where.empty() ? reason() : where + ": " + reason();
  }
};

bool wrong_kind(Record value, Kind expected, Mismatch& mismatch) {
  mismatch.problem = Mismatch::Problem::wrong_kind;
  mismatch.expected = expected;
  mismatch.got = value.kind();
  return false;
}

bool matches_integer(Record value, Mismatch& mismatch) {
  switch (value.element().type()) {
    case simdjson::dom::element_type::INT64:
      return true;
    case simdjson::dom::element_type::UINT64:
      mismatch.problem = Mismatch::Problem::out_of_range;
      return false;
    default:
      return wrong_kind(value, Kind::integer, mismatch);
  }
}

bool matches_object(Record value, std::span<const Field> fields, Mismatch& mismatch);
bool matches_array(Record value, const Shape& shape, Mismatch& mismatch);

// The walker: true when `value` has `shape`, otherwise false with `mismatch` saying why.
// Its depth is that of the shape, never that of the record. Strings and integers, most of
// the values, are checked in place rather than by a call each.
inline bool matches(Record value, const Shape& shape, Mismatch& mismatch) {
  switch (shape.expect) {
    case Expect::string:
      return value.element().is_string() || wrong_kind(value, Kind::string, mismatch);
    case Expect::integer:
      return matches_integer(value, mismatch);
    case Expect::object:
      return matches_object(value, shape.fields, mismatch);
    case Expect::array:
      return matches_array(value, shape, mismatch);
  }
  return false;
}

bool matches_object(Record value, std::span<const Field> fields, Mismatch& mismatch) {
  simdjson::dom::object object;
  if (value.element().get(object) != simdjson::SUCCESS) {
    return wrong_kind(value, Kind::object, mismatch);
  }
  // One pass over the members; a later occurrence of a key replaces an earlier one.
  std::array<simdjson::dom::element, kMaxLayoutFields> members;
  uint32_t found = 0;
  for (simdjson::dom::key_value_pair member : object) {
    for (size_t i = 0; i < fields.size(); ++i) {
      if (same_key(member.key, fields[i].key)) {
        members[i] = member.value;
        found |= 1u << i;
        break;
      }
    }
  }
  for (size_t i = 0; i < fields.size(); ++i) {
    if ((found & (1u << i)) == 0) {
      mismatch.problem = Mismatch::Problem::missing_key;
      mismatch.key = fields[i].key;
      return false;
    }
    if (!matches(Record(members[i]), *fields[i].shape, mismatch)) {
      mismatch.step_out({fields[i].key});
      return false;
    }
  }
  return true;
}

bool matches_array(Record value, const Shape& shape, Mismatch& mismatch) {
  simdjson::dom::array array;
  if (value.element().get(array) != simdjson::SUCCESS) {
    return wrong_kind(value, Kind::array, mismatch);
  }
  if (shape.length != 0) {
    // Counted rather than asked: simdjson's size() saturates on very long arrays.
    size_t count = 0;
    for (auto it = array.begin(); it != array.end(); ++it) ++count;
    if (count != shape.length) {
      mismatch.problem = Mismatch::Problem::wrong_length;
      mismatch.length = shape.length;
      mismatch.actual_length = count;
      return false;
    }
  }
  size_t position = 0;
  for (simdjson::dom::element item : array) {
    if (!matches(Record(item), *shape.element, mismatch)) {
      mismatch.step_out({{}, position});
      return false;
    }
    ++position;
  }
  return true;
}

// The record format of `type`; a KeyError naming the known types for any other.
const RecordFormat& format_of(std::string_view type) {
  const TaskDescriptor* task = find_task(type);
  if (task != nullptr && task->format) return *task->format;
  throw KeyError(std::string(type), "unknown task type; known types: " +
                                        task_names([](const TaskDescriptor& known) {
                                          return known.format.has_value();
                                        }));
}

// The reason given when a record matches neither of its task's two formats.
std::string neither(const Mismatch& gold, const Mismatch& predicted) {
  std::string gold_text = gold.text();
  std::string predicted_text = predicted.text();
  // A fault both formats share (a missing "words", a record that is no object) is said once.
  if (gold_text == predicted_text) return gold_text;
  return "matches neither the gold format (" + gold_text + ") nor the predicted format (" +
         predicted_text + ")";
}

[[noreturn]] void throw_bad_record(int64_t index, std::string_view origin, std::string_view type,
                                   const std::string& reason) {
  throw ValueError(record_name(index, origin) + " (" + std::string(type) + "): " + reason);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// MvrcloudJsonValidator

void MvrcloudJsonValidator::validate(const Record& line, std::string_view type_, int64_t index,
                                     std::string_view origin) const {
  const RecordFormat& format = format_of(type_);
  Mismatch mismatch;
  if (matches(line, *format.shape, mismatch)) return;
  if (format.predicted == nullptr) throw_bad_record(index, origin, type_, mismatch.text());
  Mismatch predicted_mismatch;
  if (matches(line, *format.predicted, predicted_mismatch)) return;
  throw_bad_record(index, origin, type_, neither(mismatch, predicted_mismatch));
}

const std::vector<std::string>& MvrcloudJsonValidator::known_types() {
  static const std::vector<std::string> types = [] {
    std::vector<std::string> names;
    for (const TaskDescriptor& task : task_descriptors()) {
      if (task.format) names.emplace_back(task.name);
    }
    return names;
  }();
  return types;
}

}  // namespace nlpeval
