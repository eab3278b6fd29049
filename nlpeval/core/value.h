#ifndef NLPEVAL_CORE_VALUE_H_
#define NLPEVAL_CORE_VALUE_H_

// Values that nlpeval builds and shows (badcase fields, spreadsheet cells, results): JSON
// values that keep their members in insertion order, and their text form.

#include <nlohmann/json.hpp>
#include <string>

namespace nlpeval {

// Any kind of value, stored unchanged; null stands for "nothing" (shown as NONE).
using Value = nlohmann::ordered_json;

// Returns the Python-like text form of `value`: null as NONE, strings in single quotes
// (backslashes, quotes and control characters escaped, other text unchanged), integers in
// decimal, floats in their shortest round-trip form ("0.5", "1.0", "1e+16"), booleans as
// True/False, arrays as [a, b] and objects as {'k': v} in their member order.
std::string repr(const Value& value);

// Returns whether `a` and `b` are equal when the member order of objects, at any depth, does
// not matter. Arrays compare element by element, in order.
bool equal_ignoring_order(const Value& a, const Value& b);

}  // namespace nlpeval

#endif  // NLPEVAL_CORE_VALUE_H_
