// Private hooks for python/tests/test_tape_layout.py: the tape the record writer makes from
// Python values, and the tape simdjson's parser makes from JSON text, as plain values the
// test can compare.

#include <simdjson.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "bindings.h"
#include "nlpeval/core/errors.h"
#include "nlpeval/core/internal/tape_layout.h"
#include "record_tape.h"

namespace nlpeval::python {
namespace {

namespace layout = tape_layout;

// The end of the last entry in the string buffer: the part of it that holds strings, the
// rest being padding or spare room.
size_t used_string_bytes(const simdjson::dom::document& document, size_t tape_size) {
  size_t used = 0;
  for (size_t at = 0; at < tape_size; ++at) {
    const uint64_t word = document.tape[at];
    switch (layout::kind_of(word)) {
      case layout::kString: {
        const uint8_t* entry = document.string_buf.get() + layout::payload_of(word);
        used = std::max(used, layout::payload_of(word) +
                                  layout::string_entry_size(layout::string_entry(entry).size()));
        break;
      }
      case layout::kInt64:
      case layout::kUint64:
      case layout::kDouble:
        at = layout::number_value(at);  // the value word is not a kind word
        break;
      default:
        break;
    }
  }
  return used;
}

// (words, strings): every word of the tape, from the first root word to the last, and the
// used part of the string buffer.
py::tuple tape_of(const simdjson::dom::document& document) {
  const size_t tape_size = layout::payload_of(document.tape[layout::kRootWord]);
  py::list words;
  for (size_t at = 0; at < tape_size; ++at) words.append(py::int_(document.tape[at]));
  const auto* strings = reinterpret_cast<const char*>(document.string_buf.get());
  return py::make_tuple(words, py::bytes(strings, used_string_bytes(document, tape_size)));
}

}  // namespace

void bind_tape_check(py::module_& module) {
  module.def(
      "_written_tape",
      [](const py::list& records) { return tape_of(*document_of_list(records, "records")); },
      py::arg("records"),
      "The tape the record writer makes for `records`, as (words, string bytes). For tests.");
  module.def(
      "_parsed_tape",
      [](const std::string& json) {
        simdjson::dom::parser parser;
        simdjson::dom::element root;
        if (parser.parse(json).get(root) != simdjson::SUCCESS) {
          throw ValueError("_parsed_tape: not JSON");
        }
        return tape_of(parser.doc);
      },
      py::arg("json"),
      "The tape simdjson's parser makes for `json`, as (words, string bytes). For tests.");
}

}  // namespace nlpeval::python
