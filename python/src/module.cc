// The extension module nlpeval._nlpeval: the library's functions and classes with their own
// names, defaults and exception kinds. The pure-Python package nlpeval re-exports them by
// module.

#include <pybind11/pybind11.h>

#include <exception>
#include <filesystem>
#include <string>
#include <string_view>

#include "bindings.h"
#include "convert.h"
#include "nlpeval/core/errors.h"
#include "nlpeval/core/version.h"

namespace nlpeval::python {
namespace {

// The path of a "cannot open '<path>'" or "cannot open '<path>': <reason>" message.
std::optional<std::string> path_not_opened(std::string_view message) {
  constexpr std::string_view kPrefix = "cannot open '";
  if (!message.starts_with(kPrefix)) return std::nullopt;
  std::string_view rest = message.substr(kPrefix.size());
  size_t end = rest.ends_with('\'') ? rest.size() - 1 : rest.rfind("': ");
  if (end == std::string_view::npos) return std::nullopt;
  return std::string(rest.substr(0, end));
}

// A file that could not be opened because it is not there is Python's FileNotFoundError;
// every other file failure is an OSError. Both keep the library's message.
PyObject* file_error_kind(const FileError& error) {
  std::optional<std::string> path = path_not_opened(error.what());
  std::error_code ignored;
  if (path && !std::filesystem::exists(*path, ignored)) return PyExc_FileNotFoundError;
  return PyExc_OSError;
}

PyObject* python_kind(std::string_view kind) {
  if (kind == "TypeError") return PyExc_TypeError;
  if (kind == "ValueError") return PyExc_ValueError;
  if (kind == "IndexError") return PyExc_IndexError;
  if (kind == "AttributeError") return PyExc_AttributeError;
  if (kind == "ZeroDivisionError") return PyExc_ZeroDivisionError;
  return PyExc_RuntimeError;
}

void translate_error(std::exception_ptr thrown) {
  try {
    if (thrown) std::rethrow_exception(thrown);
  } catch (const KeyError& error) {
    // Python's KeyError carries the key alone, as a dict lookup does.
    set_key_error(py::str(error.key()));
  } catch (const FileError& error) {
    PyErr_SetString(file_error_kind(error), error.what());
  } catch (const Error& error) {
    PyErr_SetString(python_kind(error.kind()), error.what());
  }
}

}  // namespace
}  // namespace nlpeval::python

PYBIND11_MODULE(_nlpeval, module) {
  using namespace nlpeval::python;
  module.doc() =
      "nlpeval: evaluation of NLP model predictions (ner, pos, cws, relation, "
      "attribute, event, dp, srl).";
  module.attr("__version__") = std::string(nlpeval::version());
  py::register_exception_translator(&translate_error);
  bind_records(module);
  bind_evaluator(module);
  bind_evaluation(module);
  bind_scoring(module);
  bind_metrics(module);
  bind_tape_check(module);
}
