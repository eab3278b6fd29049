#ifndef NLPEVAL_CORE_RECORD_H_
#define NLPEVAL_CORE_RECORD_H_

// Read-only records: the gold and predicted instances as JSON values. A `Record` is a light
// view (two words) of one value inside a parsed document; `Records` owns the documents
// behind a list of records. Accessors turn a missing key into KeyError naming the key and a
// value of the wrong kind into TypeError naming the key (or the argument), the kind expected
// and the kind received.
//
// Integers are JSON integers only: a float such as 5.0 and a boolean are not integers. When an
// object repeats a key, the last occurrence wins.

#include <simdjson.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>


namespace nlpeval {

// The kinds of JSON values, named as messages name them.
enum class Kind { object, array, string, integer, floating, boolean, null };

// "object", "array", "string", "integer", "float", "boolean" or "null".
std::string_view kind_name(Kind kind);

class RecordArray;
class Record;

// Whether two values are equal as Python compares the values they decode to: numbers by value
// (true is 1), objects by their members whatever their order (the last of a repeated key).
bool same_value(const Record& a, const Record& b);

// The "text" of a gold and a predicted record, as every mapper and miner compares them before
// anything else: looked up in both (KeyError naming "text", the gold first) and compared as
// values; nullopt when they differ, which the caller reports in its own words. Only texts that
// are equal are read as strings (TypeError naming "text").
std::optional<std::string_view> shared_text_of(const Record& label, const Record& prediction);

class Record {
 public:
  Record() = default;
  explicit Record(simdjson::dom::element element) : element_(element) {}

  Kind kind() const;
  bool is_object() const { return element_.is_object(); }

  // Throws TypeError "<what>: expected object, got <kind>" unless this is an object.
  void expect_object(std::string_view what) const;

  // The member `key` of an object, the last one when the key repeats; nullopt when absent.
  // Throws TypeError unless this is an object.
  std::optional<Record> find(std::string_view key) const;
  bool contains(std::string_view key) const { return find(key).has_value(); }

  // The members `keys[i]` in one pass over the members, each the last one when its key
  // repeats. The keys must differ from each other; an empty key finds nothing. Throws TypeError
  // unless this is an object. Reading several members of many small objects, this is find's N walks
  // in one.
  template <size_t N>
  class Members;
  template <size_t N>
  Members<N> find_each(const std::array<std::string_view, N>& keys) const;

  // The member `key`; throws KeyError naming the key when it is absent.
  Record at(std::string_view key) const;

  // Typed members: KeyError when absent, TypeError "<key>: expected <kind>, got <kind>".
  std::string_view get_string(std::string_view key) const;
  int64_t get_int(std::string_view key) const;
  RecordArray get_array(std::string_view key) const;

  // This value itself as a kind; `what` names it in the TypeError. The first two are inline:
  // the mappers call them for every element of every record.
  std::string_view as_string(std::string_view what) const {
    std::string_view text;
    if (element_.get(text) != simdjson::SUCCESS) throw_kind(what, Kind::string);
    return text;
  }
  int64_t as_int(std::string_view what) const {
    if (element_.type() != simdjson::dom::element_type::INT64) throw_not_int64(what);
    return element_.get_int64().value_unsafe();
  }
  RecordArray as_array(std::string_view what) const;

  // The value as compact JSON text.
  std::string to_json() const;

  simdjson::dom::element element() const { return element_; }

 private:
  [[noreturn]] void throw_kind(std::string_view what, Kind expected) const;
  [[noreturn]] void throw_not_int64(std::string_view what) const;
  [[noreturn]] static void throw_missing(std::string_view key);

  simdjson::dom::element element_;
};

template <size_t N>
class Record::Members {
 public:
  bool has(size_t i) const { return (present_ >> i) & 1u; }
  // Member `i`; KeyError naming `key` when it is absent.
  Record at(size_t i, std::string_view key) const {
    if (!has(i)) throw_missing(key);
    return values_[i];
  }

 private:
  friend class Record;
  // Optionals would be larger and are cleared member by member on every call.
  std::array<Record, N> values_;
  uint32_t present_ = 0;
  static_assert(N <= 32);
};

// Defined for N from 1 to 5 (record.cc).
extern template Record::Members<1> Record::find_each(const std::array<std::string_view, 1>&) const;
extern template Record::Members<2> Record::find_each(const std::array<std::string_view, 2>&) const;
extern template Record::Members<3> Record::find_each(const std::array<std::string_view, 3>&) const;
extern template Record::Members<4> Record::find_each(const std::array<std::string_view, 4>&) const;
extern template Record::Members<5> Record::find_each(const std::array<std::string_view, 5>&) const;

// The elements of an array record, in order.
class RecordArray {
 public:
  class iterator {
   public:
    using value_type = Record;
    using difference_type = std::ptrdiff_t;
    iterator() = default;
    explicit iterator(simdjson::dom::array::iterator it) : it_(it) {}
    Record operator*() const { return Record(*it_); }
    iterator& operator++() {
      ++it_;
      return *this;
    }
    iterator operator++(int) {
      iterator before = *this;
      ++it_;
      return before;
    }
    bool operator==(const iterator& other) const { return it_ == other.it_; }

   private:
    simdjson::dom::array::iterator it_;
  };

  RecordArray() = default;
  explicit RecordArray(simdjson::dom::array array) : array_(array) {}

  iterator begin() const { return iterator(array_.begin()); }
  iterator end() const { return iterator(array_.end()); }
  size_t size() const { return array_.size(); }
  bool empty() const { return begin() == end(); }

 private:
  simdjson::dom::array array_;
};

// A list of records together with the parsed documents they live in. Movable, not copyable;
// records stay valid while their Records lives.
class Records {
 public:
  Records() = default;
  Records(Records&&) noexcept = default;
  Records& operator=(Records&&) noexcept = default;

  // Parses a JSON array text; its elements become the records. Throws ValueError when the
  // text is not JSON or not an array.
  static Records parse(std::string_view json_array_text);

  // Adds the elements of an array that was parsed into `document`, which this list keeps.
  void append_document(std::unique_ptr<simdjson::dom::document> document);

  // Empties the list and hands over its documents, so that a reader can parse into their
  // memory again. Every record taken from the list becomes invalid.
  std::vector<std::unique_ptr<simdjson::dom::document>> release_documents();

  // Names the file the records were read from and the 1-based line of each record.
  void set_source(std::string file, std::vector<size_t> line_numbers);

  // "file:line" of record `index` when it was read from a file, otherwise "".
  std::string origin(size_t index) const;

  // The same without allocating: appends to `out` and returns whether the origin is known.
  bool append_origin(size_t index, std::string& out) const;

  size_t size() const { return records_.size(); }
  bool empty() const { return records_.empty(); }

  // Where record `index` lies: its document and its position on the document's tape (see
  // Tape).
  struct TapePosition {
    const simdjson::dom::document* document;
    size_t at;
  };
  TapePosition tape_position(size_t index) const { return positions_[index]; }
  Record operator[](size_t index) const { return Record(records_[index]); }
  Record at(size_t index) const;

  class iterator {
   public:
    using value_type = Record;
    using difference_type = std::ptrdiff_t;
    iterator() = default;
    explicit iterator(std::vector<simdjson::dom::element>::const_iterator it) : it_(it) {}
    Record operator*() const { return Record(*it_); }
    iterator& operator++() {
      ++it_;
      return *this;
    }
    iterator operator++(int) {
      iterator before = *this;
      ++it_;
      return before;
    }
    bool operator==(const iterator& other) const { return it_ == other.it_; }

   private:
    std::vector<simdjson::dom::element>::const_iterator it_;
  };
  iterator begin() const { return iterator(records_.begin()); }
  iterator end() const { return iterator(records_.end()); }

 private:
  std::vector<std::unique_ptr<simdjson::dom::document>> documents_;
  std::vector<simdjson::dom::element> records_;
  std::vector<TapePosition> positions_;  // by record
  std::string source_file_;
  std::vector<size_t> line_numbers_;
};

}  // namespace nlpeval

#endif  // NLPEVAL_CORE_RECORD_H_
