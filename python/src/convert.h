#ifndef NLPEVAL_PYTHON_CONVERT_H_
#define NLPEVAL_PYTHON_CONVERT_H_

// Conversions between Python values and the library's C++ values, with the argument-kind
// checks of the public functions: a value of the wrong kind is a TypeError
// "<argument>: expected <kind>, got <Python type name>".
//
// Records (dicts, lists, strings, numbers, booleans, None) are written, with the GIL held,
// straight into the library's read-only Records (a parsed-document layout, no JSON text), which
// need no Python object any more.

#include <pybind11/pybind11.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "nlpeval/core/record.h"
#include "nlpeval/core/value.h"
#include "nlpeval/core/word_span.h"

namespace nlpeval::python {

namespace py = pybind11;

// Throws TypeError "<what>: expected <expected>, got <type of value>".
[[noreturn]] void throw_kind(std::string_view what, std::string_view expected, py::handle value);

// Sets Python's KeyError with `key` as its one argument, as a failed dict lookup does: a
// tuple key stays whole instead of becoming the exception's arguments, None stays None.
void set_key_error(py::handle key);
[[noreturn]] void throw_key_error(py::handle key);

// "<what>[<index>]", the name of one element in messages.
std::string element_name(std::string_view what, size_t index);

// A list or a tuple: what the library calls a list.
bool is_list(py::handle value);

// Checked scalars. Integers exclude booleans, as the library's records do.
std::string to_string(py::handle value, std::string_view what);
std::optional<std::string> to_optional_string(py::handle value, std::string_view what);
int64_t to_int(py::handle value, std::string_view what);
std::optional<int64_t> to_optional_int(py::handle value, std::string_view what);
// Python's truth value of any object.
bool to_bool(py::handle value);

// A list of strings, and one of lists of strings (tag sequences).
std::vector<std::string> to_strings(py::handle value, std::string_view what);
std::optional<std::vector<std::string>> to_optional_strings(py::handle value,
                                                            std::string_view what);
std::vector<std::vector<std::string>> to_sequences(py::handle value, std::string_view what);

// A list of span lists, each span a pair [start, end] of non-negative integers.
std::vector<WordSpans> to_span_lists(py::handle value, std::string_view what);

// The elements of a list as records. Throws TypeError for a value that is not a list or a
// record value that JSON cannot hold (a key that is not a string, a set, an object), ValueError
// for an integer beyond 64 bits, a float that is not finite, a lone surrogate in a string or
// nesting deeper than 512 levels.
Records to_records(py::handle list, std::string_view what);

// The elements [begin, end) of a list or a tuple as records, named by their index in the
// whole list; the same checks as to_records.
Records to_records(py::handle list, std::string_view what, size_t begin, size_t end);

// One record, as the single element of a Records.
Records to_record(py::handle record, std::string_view what);

// Any record value as a library Value; the same checks as to_records.
Value to_value(py::handle value, std::string_view what);

// Library values as Python values: objects become dicts in member order, null becomes None.
py::object from_value(const Value& value);
py::object from_record(const Record& record);
py::list from_strings(const std::vector<std::string>& strings);
py::list from_sequences(const std::vector<std::vector<std::string>>& sequences);
py::list from_span_lists(const std::vector<WordSpans>& span_lists);

}  // namespace nlpeval::python

#endif  // NLPEVAL_PYTHON_CONVERT_H_
