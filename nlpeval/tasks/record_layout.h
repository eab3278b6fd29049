#ifndef NLPEVAL_TASKS_RECORD_LAYOUT_H_
#define NLPEVAL_TASKS_RECORD_LAYOUT_H_

// The layout of a task's JSON records, as tables of shapes: for each object the keys it
// requires and the shape of their values, for each array the shape of its elements. The
// format validator walks these tables; the mappers read the same keys, taken from the same
// constants where a layout is shared with the tagger (see TagKeys).

#include <algorithm>
#include <cstddef>
#include <span>
#include <string_view>

namespace nlpeval {

enum class Expect { string, integer, object, array };

struct Shape;

// A required key of an object and the shape of its value.
struct Field {
  std::string_view key;
  const Shape* shape;
};

// What a value must be: for objects the required keys, for arrays the element shape and,
// when not zero, the exact number of elements.
struct Shape {
  Expect expect;
  std::span<const Field> fields = {};
  const Shape* element = nullptr;
  size_t length = 0;
};

constexpr Shape object_of(std::span<const Field> fields) { return {Expect::object, fields}; }
constexpr Shape array_of(const Shape& element, size_t length = 0) {
  return {Expect::array, {}, &element, length};
}

// Internal linkage, one copy per file: the layout tables are checked at compile time, and
// the sanitizers do not let an inline variable's address be compared there.
constexpr Shape kString{Expect::string};
constexpr Shape kInteger{Expect::integer};
constexpr Shape kStrings = array_of(kString);
constexpr Shape kSpan = array_of(kInteger, 2);  // [start, end]

// The record format of a task: one shape for both sides, or a second one the predicted
// records may take instead.
struct RecordFormat {
  const Shape* shape;
  const Shape* predicted = nullptr;
};

// The number of steps (keys and positions) from a record to its deepest checked value.
constexpr size_t steps_below(const Shape& shape) {
  size_t deepest = 0;
  for (const Field& field : shape.fields) {
    deepest = std::max(deepest, 1 + steps_below(*field.shape));
  }
  if (shape.element != nullptr) deepest = std::max(deepest, 1 + steps_below(*shape.element));
  return deepest;
}

// The most keys any object of a format requires.
constexpr size_t widest_below(const Shape& shape) {
  size_t widest = shape.fields.size();
  for (const Field& field : shape.fields) widest = std::max(widest, widest_below(*field.shape));
  if (shape.element != nullptr) widest = std::max(widest, widest_below(*shape.element));
  return widest;
}

// The validator walks a record with fixed-size arrays this large; every layout fits them.
inline constexpr size_t kMaxLayoutSteps = 8;
inline constexpr size_t kMaxLayoutFields = 5;
constexpr bool fits_validator(const Shape& shape) {
  return steps_below(shape) <= kMaxLayoutSteps && widest_below(shape) <= kMaxLayoutFields;
}

}  // namespace nlpeval

#endif  // NLPEVAL_TASKS_RECORD_LAYOUT_H_
