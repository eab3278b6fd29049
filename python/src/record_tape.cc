#include "record_tape.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <string>
#include <utility>

#include "convert.h"
#include "nlpeval/core/errors.h"
#include "nlpeval/core/internal/huge_pages.h"
#include "nlpeval/core/internal/tape_layout.h"

namespace nlpeval::python {
namespace {

namespace layout = tape_layout;

// Deeper records would only exhaust the stack; the library's parser stops at 1024.
constexpr int kMaxDepth = 512;

// A growing array whose memory a simdjson document can adopt as it is: no copy at the end.
// Unlike std::vector it leaves new room uninitialised and lets writers fill it by pointer.
template <typename T>
class Buffer {
 public:
  size_t size() const { return size_; }
  T& operator[](size_t index) { return data_[index]; }

  // Room for `extra` more elements; returns where they go. advance() then counts them.
  T* room(size_t extra) {
    if (size_ + extra > capacity_) grow(size_ + extra);
    return data_.get() + size_;
  }
  void advance(size_t count) { size_ += count; }
  void push_back(T value) {
    if (size_ == capacity_) grow(size_ + 1);
    data_[size_++] = value;
  }
  void reserve(size_t capacity) {
    if (capacity > capacity_) grow(capacity);
  }

  std::unique_ptr<T[]> release() { return std::move(data_); }

 private:
  // Out of line, so that the writes around it stay small enough to inline.
  [[gnu::noinline]] void grow(size_t needed) {
    size_t capacity = std::max({needed, 2 * capacity_, size_t{1024}});
    auto grown = std::make_unique_for_overwrite<T[]>(capacity);
    advise_huge_pages(grown.get(), capacity * sizeof(T));
    if (size_ > 0) std::memcpy(grown.get(), data_.get(), size_ * sizeof(T));
    data_ = std::move(grown);
    capacity_ = capacity;
  }

  std::unique_ptr<T[]> data_;
  size_t size_ = 0;
  size_t capacity_ = 0;
};

// The UTF-8 form of a code point of the Basic Multilingual Plane: its bytes (one to three)
// and their count. A surrogate, which has no UTF-8 form, has kSurrogateMark in its count.
struct BmpUtf8 {
  std::array<uint8_t, 3> bytes;
  uint8_t length;
};
constexpr uint8_t kSurrogateMark = 0x80;

constexpr BmpUtf8 bmp_utf8(uint32_t c) {
  const auto byte = [](uint32_t value) { return static_cast<uint8_t>(value); };
  if (c < 0x80) return {{byte(c), 0, 0}, 1};
  if (c < 0x800) return {{byte(0xC0 | (c >> 6)), byte(0x80 | (c & 0x3F)), 0}, 2};
  const uint8_t length = c >= 0xD800 && c <= 0xDFFF ? (kSurrogateMark | 3) : 3;
  return {{byte(0xE0 | (c >> 12)), byte(0x80 | ((c >> 6) & 0x3F)), byte(0x80 | (c & 0x3F))},
          length};
}

// Every BMP code point's form: 256 KB of read-only data, of which only the pages of the
// scripts met are ever read in.
constexpr auto kBmpUtf8 = [] {
  std::array<BmpUtf8, 0x10000> table{};
  for (uint32_t c = 0; c < table.size(); ++c) table[c] = bmp_utf8(c);
  return table;
}();

// Writes the UTF-8 form of `size` BMP code points (Latin-1 or UCS-2 units) at `out`, which has
// room for 4 bytes each. Returns the end, or nullptr if one is a lone surrogate.
//
// Text mixing scripts (Latin letters among CJK characters) changes its byte count from one
// character to the next, which a branch per character mispredicts. A table lookup has no
// branch: each character copies its whole entry and advances by its count; the bytes beyond
// are scratch that the next character overwrites.
template <typename Unit>
uint8_t* write_bmp_utf8(const Unit* units, size_t size, uint8_t* out) {
  static_assert(sizeof(Unit) <= 2 && sizeof(BmpUtf8) == 4);
  uint8_t marks = 0;
  for (size_t i = 0; i < size; ++i) {
    const BmpUtf8& form = kBmpUtf8[units[i]];
    std::memcpy(out, &form, sizeof form);
    marks |= form.length;
    out += form.length & 3;
  }
  return (marks & kSurrogateMark) != 0 ? nullptr : out;
}

// The same for UCS-4 units, which a str uses when it holds a character beyond the BMP. These
// are rare enough to compute, still without a branch per character: every character writes
// four bytes and advances by the count it needs.
uint8_t* write_ucs4_utf8(const Py_UCS4* units, size_t size, uint8_t* out) {
  uint32_t surrogates = 0;
  for (size_t i = 0; i < size; ++i) {
    const uint32_t c = units[i];
    surrogates |= static_cast<uint32_t>(c - 0xD800 < 0x800);
    const int continuations = int{c >= 0x80} + int{c >= 0x800} + int{c >= 0x10000};
    // The lead byte's marker bits and payload, then the continuation bytes from the top.
    // A shift for a scratch byte may come out negative; "& 31" keeps it defined.
    static constexpr uint8_t kLeadMarker[] = {0x00, 0xC0, 0xE0, 0xF0};
    out[0] = static_cast<uint8_t>(kLeadMarker[continuations] | (c >> (6 * continuations)));
    out[1] = static_cast<uint8_t>(0x80 | ((c >> ((6 * (continuations - 1)) & 31)) & 0x3F));
    out[2] = static_cast<uint8_t>(0x80 | ((c >> ((6 * (continuations - 2)) & 31)) & 0x3F));
    out[3] = static_cast<uint8_t>(0x80 | (c & 0x3F));
    out += 1 + continuations;
  }
  return surrogates != 0 ? nullptr : out;
}

// Appends the UTF-8 form of a str, read from its own storage (Latin-1, UCS-2 or UCS-4), which
// leaves no cached UTF-8 copy on the str. Returns false for a lone surrogate.
bool append_utf8(PyObject* text, Buffer<uint8_t>& out) {
  auto size = static_cast<size_t>(PyUnicode_GET_LENGTH(text));
  const void* data = PyUnicode_DATA(text);
  if (PyUnicode_IS_ASCII(text)) {
    std::memcpy(out.room(size), data, size);
    out.advance(size);
    return true;
  }
  uint8_t* start = out.room(4 * size);
  uint8_t* end = nullptr;
  switch (PyUnicode_KIND(text)) {
    case PyUnicode_1BYTE_KIND:
      end = write_bmp_utf8(static_cast<const Py_UCS1*>(data), size, start);
      break;
    case PyUnicode_2BYTE_KIND:
      end = write_bmp_utf8(static_cast<const Py_UCS2*>(data), size, start);
      break;
    default:
      end = write_ucs4_utf8(static_cast<const Py_UCS4*>(data), size, start);
  }
  if (end == nullptr) return false;
  out.advance(static_cast<size_t>(end - start));
  return true;
}

// Writes Python record values straight into a simdjson document, in the layout simdjson's
// parser gives it (its "tape", see tape_layout.h), so that records need neither JSON text nor
// a parse.
//
// `what` and the element index name the record in messages; the name is built only when
// something is wrong.
class TapeWriter {
 public:
  // A list's elements are named "<what>[<index>]"; a single record is named `what`.
  TapeWriter(std::string_view what, bool single_record)
      : what_(what), single_record_(single_record) {
    tape_.push_back(0);  // the first root word, filled in by finish()
  }

  // The elements [begin, end) of `list` as the document's root array.
  void write_list(py::handle list, size_t begin, size_t end) {
    size_t opening = open();
    PyObject** items = PySequence_Fast_ITEMS(list.ptr());
    const auto size = static_cast<Py_ssize_t>(end - begin);
    for (Py_ssize_t i = 0; i < size; ++i) {
      index_ = begin + static_cast<size_t>(i);
      write(items[index_], 1);
      if (i + 1 == kSampleRecords) reserve_like_sample(kSampleRecords, size);
    }
    close(opening, layout::kArrayStart, layout::kArrayEnd, static_cast<size_t>(size));
  }

  // `value` as the one element of the root array.
  void write_one(py::handle value) {
    size_t opening = open();
    write(value.ptr(), 1);
    close(opening, layout::kArrayStart, layout::kArrayEnd, 1);
  }

  std::unique_ptr<simdjson::dom::document> finish() {
    append(layout::kRoot, 0);
    if (tape_.size() >= layout::kMaxTapeSize) {
      throw ValueError(std::string(what_) + ": too large");
    }
    tape_[layout::kRootWord] = layout::word(layout::kRoot, tape_.size());
    // Readers may look a little past a string's end, as they may after a parse.
    std::memset(strings_.room(simdjson::SIMDJSON_PADDING), 0, simdjson::SIMDJSON_PADDING);
    auto document = std::make_unique<simdjson::dom::document>();
    document->tape = tape_.release();
    document->string_buf = strings_.release();
    return document;
  }

 private:
  // After this many records the rest is sized like them, so that a long list grows once.
  static constexpr Py_ssize_t kSampleRecords = 64;

  void reserve_like_sample(Py_ssize_t written, Py_ssize_t total) {
    double scale = 1.1 * static_cast<double>(total) / static_cast<double>(written);
    tape_.reserve(static_cast<size_t>(static_cast<double>(tape_.size()) * scale));
    strings_.reserve(static_cast<size_t>(static_cast<double>(strings_.size()) * scale));
  }

  void append(char kind, uint64_t payload) { tape_.push_back(layout::word(kind, payload)); }

  size_t open() {
    tape_.push_back(0);
    return tape_.size() - 1;
  }

  void close(size_t opening, char open_kind, char close_kind, size_t count) {
    tape_.push_back(layout::closing_word(close_kind, opening));
    tape_[opening] = layout::opening_word(open_kind, tape_.size(), count);
  }

  std::string name() const {
    return single_record_ ? std::string(what_) : element_name(what_, index_);
  }

  void write(PyObject* value, int depth) {
    if (depth > kMaxDepth) throw ValueError(name() + ": nested deeper than 512 levels");
    if (PyUnicode_Check(value)) return write_string(value);
    if (PyDict_Check(value)) return write_dict(value, depth);
    if (PyList_Check(value) || PyTuple_Check(value)) return write_array(value, depth);
    if (value == Py_None) return append(layout::kNull, 0);
    if (PyBool_Check(value)) return append(value == Py_True ? layout::kTrue : layout::kFalse, 0);
    if (PyLong_Check(value)) return write_int(value);
    if (PyFloat_Check(value)) return write_float(PyFloat_AS_DOUBLE(value));
    throw_kind(name(), "a JSON value (dict, list, str, int, float, bool or None)", value);
  }

  void write_string(PyObject* value) {
    size_t entry = strings_.size();
    append(layout::kString, entry);
    strings_.room(sizeof(layout::StringLength));
    strings_.advance(sizeof(layout::StringLength));
    if (!append_utf8(value, strings_)) throw ValueError(name() + ": a lone surrogate in a string");
    size_t length = strings_.size() - entry - sizeof(layout::StringLength);
    if (length > layout::kMaxStringLength) {
      throw ValueError(name() + ": a string longer than 4 GB");
    }
    layout::write_string_length(&strings_[entry], static_cast<layout::StringLength>(length));
    strings_.push_back(0);  // the terminator
  }

  // Keys repeat from record to record, mostly as the very same str objects: a key seen before
  // points at the bytes already written. The objects stay alive, and so their addresses
  // unique, while the list is written.
  void write_key(PyObject* key) {
    KeySlot& slot = keys_[(reinterpret_cast<uintptr_t>(key) >> 4) % kKeySlots];
    if (slot.key == key) return append(layout::kString, slot.offset);
    slot = {key, strings_.size()};
    write_string(key);
  }

  void write_dict(PyObject* dict, int depth) {
    size_t opening = open();
    Py_ssize_t position = 0;
    PyObject* key = nullptr;
    PyObject* item = nullptr;
    while (PyDict_Next(dict, &position, &key, &item)) {
      if (!PyUnicode_Check(key)) throw_kind(name() + " key", "str", key);
      write_key(key);
      write(item, depth + 1);
    }
    close(opening, layout::kObjectStart, layout::kObjectEnd,
          static_cast<size_t>(PyDict_GET_SIZE(dict)));
  }

  void write_array(PyObject* sequence, int depth) {
    size_t opening = open();
    Py_ssize_t size = PySequence_Fast_GET_SIZE(sequence);
    PyObject** items = PySequence_Fast_ITEMS(sequence);
    for (Py_ssize_t i = 0; i < size; ++i) write(items[i], depth + 1);
    close(opening, layout::kArrayStart, layout::kArrayEnd, static_cast<size_t>(size));
  }

  void write_int(PyObject* value) {
    int overflow = 0;
    long long number = PyLong_AsLongLongAndOverflow(value, &overflow);
    if (overflow != 0) throw ValueError(name() + ": integer does not fit in 64 bits");
    append(layout::kInt64, 0);
    tape_.push_back(static_cast<uint64_t>(number));
  }

  void write_float(double value) {
    if (!std::isfinite(value)) throw ValueError(name() + ": JSON holds no NaN or infinity");
    append(layout::kDouble, 0);
    uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    tape_.push_back(bits);
  }

  std::string_view what_;
  bool single_record_;
  size_t index_ = 0;
  Buffer<uint64_t> tape_;
  Buffer<uint8_t> strings_;

  struct KeySlot {
    PyObject* key = nullptr;
    size_t offset = 0;
  };
  static constexpr size_t kKeySlots = 64;
  std::array<KeySlot, kKeySlots> keys_{};
};

}  // namespace

std::unique_ptr<simdjson::dom::document> document_of_list(py::handle list, std::string_view what) {
  return document_of_list(list, what, 0, static_cast<size_t>(PySequence_Fast_GET_SIZE(list.ptr())));
}

std::unique_ptr<simdjson::dom::document> document_of_list(py::handle list, std::string_view what,
                                                          size_t begin, size_t end) {
  TapeWriter writer(what, /*single_record=*/false);
  writer.write_list(list, begin, end);
  return writer.finish();
}

std::unique_ptr<simdjson::dom::document> document_of_record(py::handle record,
                                                            std::string_view what) {
  TapeWriter writer(what, /*single_record=*/true);
  writer.write_one(record);
  return writer.finish();
}

}  // namespace nlpeval::python
