#ifndef NLPEVAL_PYTHON_RECORD_TAPE_H_
#define NLPEVAL_PYTHON_RECORD_TAPE_H_

// Python record values (dicts, lists, tuples, strings, numbers, booleans, None) written straight
// into a simdjson document, the read-only form the library's Records take, with no JSON text
// and no parse in between. Call with the GIL held.

#include <pybind11/pybind11.h>
#include <simdjson.h>

#include <memory>
#include <string_view>

namespace nlpeval::python {

namespace py = pybind11;

// A document whose root array holds the elements of `list` (a list or a tuple). Throws
// TypeError for a value JSON cannot hold (a key that is not a str, a set, any other object),
// ValueError for an integer beyond 64 bits, a float that is not finite, a lone surrogate or
// nesting deeper than 512 levels; messages name the element as "<what>[<index>]".
std::unique_ptr<simdjson::dom::document> document_of_list(py::handle list, std::string_view what);

// The same for the elements [begin, end) of `list`, named by their index in the whole list.
std::unique_ptr<simdjson::dom::document> document_of_list(py::handle list, std::string_view what,
                                                          size_t begin, size_t end);

// A document whose root array holds `record` alone; messages name it `what`.
std::unique_ptr<simdjson::dom::document> document_of_record(py::handle record,
                                                            std::string_view what);

}  // namespace nlpeval::python

#endif  // NLPEVAL_PYTHON_RECORD_TAPE_H_
