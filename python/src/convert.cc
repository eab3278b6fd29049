#include "convert.h"

#include <memory>
#include <utility>

#include "nlpeval/core/errors.h"
#include "record_tape.h"

namespace nlpeval::python {
namespace {

// A record as a library Value, kinds and member order kept.
Value value_of(const Record& record) {
  simdjson::dom::element element = record.element();
  switch (record.kind()) {
    case Kind::null:
      return nullptr;
    case Kind::boolean:
      return element.get_bool().value();
    case Kind::integer:
      return element.get_int64().value();
    case Kind::floating:
      return element.get_double().value();
    case Kind::string:
      return std::string(element.get_string().value());
    case Kind::array: {
      Value array = Value::array();
      for (Record item : record.as_array("record")) array.push_back(value_of(item));
      return array;
    }
    case Kind::object: {
      Value object = Value::object();
      simdjson::dom::object members = element.get_object().value();
      for (auto field : members) {
        object[std::string(field.key)] = value_of(Record(field.value));
      }
      return object;
    }
  }
  return nullptr;
}

Records from_document(std::unique_ptr<simdjson::dom::document> document) {
  Records records;
  records.append_document(std::move(document));
  return records;
}

std::string_view type_name(py::handle value) { return Py_TYPE(value.ptr())->tp_name; }

void check_list(py::handle value, std::string_view what) {
  if (!is_list(value)) throw_kind(what, "list", value);
}

WordSpan to_span(py::handle value, std::string_view what) {
  if (!is_list(value) || PySequence_Fast_GET_SIZE(value.ptr()) != 2) {
    throw_kind(what, "a pair [start, end]", value);
  }
  PyObject** items = PySequence_Fast_ITEMS(value.ptr());
  int64_t start = to_int(items[0], element_name(what, 0));
  int64_t end = to_int(items[1], element_name(what, 1));
  if (start < 0 || end < 0) throw ValueError(std::string(what) + ": negative offset");
  return WordSpan{static_cast<size_t>(start), static_cast<size_t>(end)};
}

}  // namespace

void throw_kind(std::string_view what, std::string_view expected, py::handle value) {
  throw TypeError(std::string(what) + ": expected " + std::string(expected) + ", got " +
                  std::string(type_name(value)));
}

void set_key_error(py::handle key) {
  py::tuple arguments = py::make_tuple(key);
  PyErr_SetObject(PyExc_KeyError, arguments.ptr());
}

void throw_key_error(py::handle key) {
  set_key_error(key);
  throw py::error_already_set();
}

std::string element_name(std::string_view what, size_t index) {
  return std::string(what) + "[" + std::to_string(index) + "]";
}

bool is_list(py::handle value) { return PyList_Check(value.ptr()) || PyTuple_Check(value.ptr()); }

std::string to_string(py::handle value, std::string_view what) {
  if (!PyUnicode_Check(value.ptr())) throw_kind(what, "str", value);
  Py_ssize_t size = 0;
  const char* data = PyUnicode_AsUTF8AndSize(value.ptr(), &size);
  if (data == nullptr) throw py::error_already_set();
  return std::string(data, static_cast<size_t>(size));
}

std::optional<std::string> to_optional_string(py::handle value, std::string_view what) {
  if (value.is_none()) return std::nullopt;
  if (!PyUnicode_Check(value.ptr())) throw_kind(what, "str or None", value);
  return to_string(value, what);
}

int64_t to_int(py::handle value, std::string_view what) {
  if (!PyLong_Check(value.ptr()) || PyBool_Check(value.ptr())) throw_kind(what, "int", value);
  int overflow = 0;
  long long number = PyLong_AsLongLongAndOverflow(value.ptr(), &overflow);
  if (overflow != 0) throw ValueError(std::string(what) + ": integer does not fit in 64 bits");
  return number;
}

std::optional<int64_t> to_optional_int(py::handle value, std::string_view what) {
  if (value.is_none()) return std::nullopt;
  if (!PyLong_Check(value.ptr()) || PyBool_Check(value.ptr())) {
    throw_kind(what, "int or None", value);
  }
  return to_int(value, what);
}

bool to_bool(py::handle value) {
  int truth = PyObject_IsTrue(value.ptr());
  if (truth < 0) throw py::error_already_set();
  return truth != 0;
}

std::vector<std::string> to_strings(py::handle value, std::string_view what) {
  check_list(value, what);
  Py_ssize_t size = PySequence_Fast_GET_SIZE(value.ptr());
  PyObject** items = PySequence_Fast_ITEMS(value.ptr());
  std::vector<std::string> strings;
  strings.reserve(static_cast<size_t>(size));
  for (Py_ssize_t i = 0; i < size; ++i) {
    PyObject* item = items[i];
    if (!PyUnicode_Check(item)) throw_kind(element_name(what, static_cast<size_t>(i)), "str", item);
    Py_ssize_t length = 0;
    const char* data = PyUnicode_AsUTF8AndSize(item, &length);
    if (data == nullptr) throw py::error_already_set();
    strings.emplace_back(data, static_cast<size_t>(length));
  }
  return strings;
}

std::optional<std::vector<std::string>> to_optional_strings(py::handle value,
                                                            std::string_view what) {
  if (value.is_none()) return std::nullopt;
  if (!is_list(value)) throw_kind(what, "list or None", value);
  return to_strings(value, what);
}

std::vector<std::vector<std::string>> to_sequences(py::handle value, std::string_view what) {
  check_list(value, what);
  Py_ssize_t size = PySequence_Fast_GET_SIZE(value.ptr());
  PyObject** items = PySequence_Fast_ITEMS(value.ptr());
  std::vector<std::vector<std::string>> sequences;
  sequences.reserve(static_cast<size_t>(size));
  for (Py_ssize_t i = 0; i < size; ++i) {
    sequences.push_back(to_strings(items[i], element_name(what, static_cast<size_t>(i))));
  }
  return sequences;
}

std::vector<WordSpans> to_span_lists(py::handle value, std::string_view what) {
  check_list(value, what);
  Py_ssize_t size = PySequence_Fast_GET_SIZE(value.ptr());
  PyObject** items = PySequence_Fast_ITEMS(value.ptr());
  std::vector<WordSpans> span_lists(static_cast<size_t>(size));
  for (Py_ssize_t i = 0; i < size; ++i) {
    std::string list_name = element_name(what, static_cast<size_t>(i));
    check_list(items[i], list_name);
    Py_ssize_t spans = PySequence_Fast_GET_SIZE(items[i]);
    PyObject** span_items = PySequence_Fast_ITEMS(items[i]);
    span_lists[i].reserve(static_cast<size_t>(spans));
    for (Py_ssize_t k = 0; k < spans; ++k) {
      span_lists[i].push_back(to_span(span_items[k], element_name(list_name, k)));
    }
  }
  return span_lists;
}

Records to_records(py::handle list, std::string_view what) {
  check_list(list, what);
  return from_document(document_of_list(list, what));
}

Records to_records(py::handle list, std::string_view what, size_t begin, size_t end) {
  check_list(list, what);
  return from_document(document_of_list(list, what, begin, end));
}

Records to_record(py::handle record, std::string_view what) {
  return from_document(document_of_record(record, what));
}

Value to_value(py::handle value, std::string_view what) {
  Records records = to_record(value, what);
  return value_of(records[0]);
}

py::object from_value(const Value& value) {
  switch (value.type()) {
    case Value::value_t::null:
      return py::none();
    case Value::value_t::boolean:
      return py::bool_(value.get<bool>());
    case Value::value_t::number_integer:
      return py::int_(value.get<int64_t>());
    case Value::value_t::number_unsigned:
      return py::int_(value.get<uint64_t>());
    case Value::value_t::number_float:
      return py::float_(value.get<double>());
    case Value::value_t::string:
      return py::str(value.get_ref<const std::string&>());
    case Value::value_t::array: {
      py::list list;
      for (const Value& element : value) list.append(from_value(element));
      return list;
    }
    case Value::value_t::object: {
      py::dict dict;
      for (const auto& [key, member] : value.items()) dict[py::str(key)] = from_value(member);
      return dict;
    }
    default:
      return py::none();
  }
}

py::object from_record(const Record& record) {
  simdjson::dom::element element = record.element();
  switch (record.kind()) {
    case Kind::null:
      return py::none();
    case Kind::boolean:
      return py::bool_(element.get_bool().value());
    case Kind::integer:
      return element.is_int64() ? py::int_(element.get_int64().value())
                                : py::int_(element.get_uint64().value());
    case Kind::floating:
      return py::float_(element.get_double().value());
    case Kind::string: {
      std::string_view text = element.get_string().value();
      return py::str(text.data(), text.size());
    }
    case Kind::array: {
      py::list list;
      for (Record item : record.as_array("record")) list.append(from_record(item));
      return list;
    }
    case Kind::object: {
      // A repeated key keeps its last value, in the place of its first occurrence.
      py::dict dict;
      simdjson::dom::object object = element.get_object().value();
      for (auto field : object) {
        dict[py::str(field.key.data(), field.key.size())] = from_record(Record(field.value));
      }
      return dict;
    }
  }
  return py::none();
}

py::list from_strings(const std::vector<std::string>& strings) {
  py::list list(strings.size());
  for (size_t i = 0; i < strings.size(); ++i) {
    PyObject* text =
        PyUnicode_FromStringAndSize(strings[i].data(), static_cast<Py_ssize_t>(strings[i].size()));
    if (text == nullptr) throw py::error_already_set();
    PyList_SET_ITEM(list.ptr(), static_cast<Py_ssize_t>(i), text);
  }
  return list;
}

py::list from_sequences(const std::vector<std::vector<std::string>>& sequences) {
  py::list list;
  for (const auto& sequence : sequences) list.append(from_strings(sequence));
  return list;
}

py::list from_span_lists(const std::vector<WordSpans>& span_lists) {
  py::list lists;
  for (const WordSpans& spans : span_lists) {
    py::list list;
    for (const WordSpan& span : spans) {
      py::list pair;
      pair.append(span.start);
      pair.append(span.end);
      list.append(std::move(pair));
    }
    lists.append(std::move(list));
  }
  return lists;
}

}  // namespace nlpeval::python
