#include "nlpeval/core/record.h"

#include <algorithm>
#include <charconv>
#include <map>

#include "nlpeval/core/errors.h"
#include "nlpeval/core/internal/short_strings.h"
#include "nlpeval/core/internal/tape.h"

namespace nlpeval {

std::string_view kind_name(Kind kind) {
  switch (kind) {
    case Kind::object:
      return "object";
    case Kind::array:
      return "array";
    case Kind::string:
      return "string";
    case Kind::integer:
      return "integer";
    case Kind::floating:
      return "float";
    case Kind::boolean:
      return "boolean";
    case Kind::null:
      return "null";
  }
  return "unknown";
}

Kind Record::kind() const {
  switch (element_.type()) {
    case simdjson::dom::element_type::OBJECT:
      return Kind::object;
    case simdjson::dom::element_type::ARRAY:
      return Kind::array;
    case simdjson::dom::element_type::STRING:
      return Kind::string;
    case simdjson::dom::element_type::INT64:
    case simdjson::dom::element_type::UINT64:
      return Kind::integer;
    case simdjson::dom::element_type::DOUBLE:
      return Kind::floating;
    case simdjson::dom::element_type::BOOL:
      return Kind::boolean;
    case simdjson::dom::element_type::NULL_VALUE:
      return Kind::null;
  }
  return Kind::null;
}

void Record::throw_kind(std::string_view what, Kind expected) const {
  throw TypeError(std::string(what) + ": expected " + std::string(kind_name(expected)) + ", got " +
                  std::string(kind_name(kind())));
}

void Record::expect_object(std::string_view what) const {
  if (!is_object()) throw_kind(what, Kind::object);
}

std::optional<Record> Record::find(std::string_view key) const {
  simdjson::dom::object object;
  if (element_.get(object) != simdjson::SUCCESS) throw_kind("record", Kind::object);
  // simdjson's own lookup stops at the first occurrence; the last one must win.
  std::optional<Record> found;
  for (simdjson::dom::key_value_pair field : object) {
    if (same_key(field.key, key)) found = Record(field.value);
  }
  return found;
}

Record Record::at(std::string_view key) const {
  std::optional<Record> found = find(key);
  if (!found) throw_missing(key);
  return *found;
}

std::string_view Record::get_string(std::string_view key) const { return at(key).as_string(key); }

int64_t Record::get_int(std::string_view key) const { return at(key).as_int(key); }

RecordArray Record::get_array(std::string_view key) const { return at(key).as_array(key); }

void Record::throw_missing(std::string_view key) { throw KeyError(std::string(key)); }

void Record::throw_not_int64(std::string_view what) const {
  if (element_.type() == simdjson::dom::element_type::UINT64) {
    throw ValueError(std::string(what) + ": integer out of the 64-bit signed range");
  }
  throw_kind(what, Kind::integer);
}

RecordArray Record::as_array(std::string_view what) const {
  simdjson::dom::array array;
  if (element_.get(array) != simdjson::SUCCESS) throw_kind(what, Kind::array);
  return RecordArray(array);
}

std::string Record::to_json() const { return simdjson::to_string(element_); }

namespace {

bool is_number(Kind kind) {
  return kind == Kind::integer || kind == Kind::floating || kind == Kind::boolean;
}

// By value, through long double, which holds every 64-bit integer exactly.
bool same_number(simdjson::dom::element a, simdjson::dom::element b) {
  auto value_of = [](simdjson::dom::element number) -> long double {
    switch (number.type()) {
      case simdjson::dom::element_type::BOOL:
        return number.get_bool().value_unsafe() ? 1 : 0;
      case simdjson::dom::element_type::INT64:
        return static_cast<long double>(number.get_int64().value_unsafe());
      case simdjson::dom::element_type::UINT64:
        return static_cast<long double>(number.get_uint64().value_unsafe());
      default:
        return static_cast<long double>(number.get_double().value_unsafe());
    }
  };
  return value_of(a) == value_of(b);
}

// The members of an object by key, the last of a repeated key winning.
std::map<std::string_view, simdjson::dom::element> members_of(simdjson::dom::object object) {
  std::map<std::string_view, simdjson::dom::element> members;
  for (simdjson::dom::key_value_pair field : object)
    members.insert_or_assign(field.key, field.value);
  return members;
}

}  // namespace

bool same_value(const Record& a, const Record& b) {
  const Kind kind = a.kind();
  if (is_number(kind) && is_number(b.kind())) return same_number(a.element(), b.element());
  if (kind != b.kind()) return false;
  switch (kind) {
    case Kind::string:
      return a.element().get_string().value_unsafe() == b.element().get_string().value_unsafe();
    case Kind::null:
      return true;
    case Kind::array: {
      const simdjson::dom::array x = a.element().get_array().value_unsafe();
      const simdjson::dom::array y = b.element().get_array().value_unsafe();
      if (x.size() != y.size()) return false;
      for (auto i = x.begin(), j = y.begin(); i != x.end(); ++i, ++j) {
        if (!same_value(Record(*i), Record(*j))) return false;
      }
      return true;
    }
    case Kind::object: {
      const auto x = members_of(a.element().get_object().value_unsafe());
      const auto y = members_of(b.element().get_object().value_unsafe());
      return x.size() == y.size() &&
             std::equal(x.begin(), x.end(), y.begin(), [](const auto& m, const auto& n) {
               return m.first == n.first && same_value(Record(m.second), Record(n.second));
             });
    }
    default:
      return false;  // numbers were compared above
  }
}

std::optional<std::string_view> shared_text_of(const Record& label, const Record& prediction) {
  const Record true_text = label.at("text");
  const Record pred_text = prediction.at("text");
  // Texts are strings but for broken records: compare those without the general walk.
  std::string_view gold;
  std::string_view pred;
  if (true_text.element().get(gold) == simdjson::SUCCESS &&
      pred_text.element().get(pred) == simdjson::SUCCESS) {
    return gold == pred ? std::optional(gold) : std::nullopt;
  }
  if (!same_value(true_text, pred_text)) return std::nullopt;
  return true_text.as_string("text");
}

Records Records::parse(std::string_view json_array_text) {
  auto document = std::make_unique<simdjson::dom::document>();
  simdjson::dom::parser parser;
  simdjson::dom::element root;
  simdjson::error_code error =
      parser.parse_into_document(*document, json_array_text.data(), json_array_text.size())
          .get(root);
  if (error != simdjson::SUCCESS) {
    throw ValueError(std::string("records are not valid JSON: ") + simdjson::error_message(error));
  }
  if (!root.is_array()) {
    throw ValueError("records must be a JSON array, got " +
                     std::string(kind_name(Record(root).kind())));
  }
  Records records;
  records.append_document(std::move(document));
  return records;
}

void Records::append_document(std::unique_ptr<simdjson::dom::document> document) {
  simdjson::dom::array array;
  if (document->root().get(array) != simdjson::SUCCESS) {
    throw ValueError("records must be a JSON array");
  }
  // push_back grows the list geometrically; reserving the exact size for every chunk of a
  // large file would copy all earlier records each time.
  for (simdjson::dom::element element : array) records_.push_back(element);
  // The root array is the document's first value, after the root word.
  const Tape tape(*document);
  // The root value is the array of records; its elements follow its opening word.
  const size_t array_at = tape_layout::kRootValue;
  for (size_t at = array_at + 1; at < tape.closing(array_at); at = tape.after(at)) {
    positions_.push_back({document.get(), at});
  }
  if (positions_.size() != records_.size()) throw Error("records: unexpected tape layout");
  documents_.push_back(std::move(document));
}

std::vector<std::unique_ptr<simdjson::dom::document>> Records::release_documents() {
  std::vector<std::unique_ptr<simdjson::dom::document>> documents = std::move(documents_);
  *this = Records();
  return documents;
}

void Records::set_source(std::string file, std::vector<size_t> line_numbers) {
  source_file_ = std::move(file);
  line_numbers_ = std::move(line_numbers);
}

std::string Records::origin(size_t index) const {
  std::string out;
  append_origin(index, out);
  return out;
}

bool Records::append_origin(size_t index, std::string& out) const {
  if (index >= line_numbers_.size()) return false;
  char digits[24];
  auto end = std::to_chars(digits, digits + sizeof digits, line_numbers_[index]).ptr;
  out.append(source_file_).append(1, ':').append(digits, end);
  return true;
}

Record Records::at(size_t index) const {
  if (index >= records_.size()) {
    throw IndexError("record index " + std::to_string(index) + " out of range (" +
                     std::to_string(records_.size()) + " records)");
  }
  return Record(records_[index]);
}

template <size_t N>
Record::Members<N> Record::find_each(const std::array<std::string_view, N>& keys) const {
  simdjson::dom::object object;
  if (element_.get(object) != simdjson::SUCCESS) throw_kind("record", Kind::object);
  Members<N> found;
  for (simdjson::dom::key_value_pair field : object) {
    for (size_t i = 0; i < N; ++i) {
      if (!keys[i].empty() && same_key(field.key, keys[i])) {
        found.values_[i] = Record(field.value);
        found.present_ |= 1u << i;
        break;
      }
    }
  }
  return found;
}

template Record::Members<1> Record::find_each(const std::array<std::string_view, 1>&) const;
template Record::Members<2> Record::find_each(const std::array<std::string_view, 2>&) const;
template Record::Members<3> Record::find_each(const std::array<std::string_view, 3>&) const;
template Record::Members<4> Record::find_each(const std::array<std::string_view, 4>&) const;
template Record::Members<5> Record::find_each(const std::array<std::string_view, 5>&) const;

}  // namespace nlpeval
