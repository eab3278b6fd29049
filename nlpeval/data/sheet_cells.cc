#include "nlpeval/data/internal/sheet_cells.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string_view>

#include "nlpeval/core/utf8.h"

namespace nlpeval::xlsx {
namespace {

// Excel's longest cell text. Excel counts UTF-16 code units, where a character beyond the
// BMP takes two; counting the same way guarantees that a cut text fits.
constexpr size_t kCellTextLimit = 32'767;
constexpr std::string_view kCutMark = "\u2026";  // "…", one UTF-16 code unit

// Cell numbers are doubles, which hold every integer up to 2^53 exactly.
constexpr int64_t kExactIntegerLimit = int64_t{1} << 53;

// Column widths, in Excel's unit of one digit.
constexpr size_t kWidthSampleRows = 1'000;
constexpr double kMinColumnWidth = 8;
constexpr double kMaxColumnWidth = 40;
constexpr double kTextColumnWidth = 80;
constexpr double kFilterButtonWidth = 3;
constexpr size_t kScalarTextBytes = 24;

// ---- Cell text ----

// Whether `text` can go to a cell as it is: well-formed, without a NUL (which would end the C
// string the library reads), and too short to pass the limit (a UTF-16 unit takes at least
// one UTF-8 byte).
bool is_cell_ready(const std::string& text) {
  return text.size() <= kCellTextLimit && text.find('\0') == std::string::npos &&
         utf8::is_valid(text);
}

// Every UTF-16 code unit takes at most 3 bytes of the text, so a text longer than this holds
// more units than a cell, and its cut lies in this prefix: a sequence broken at the end of the
// prefix lies beyond the cut.
constexpr size_t kCleanedPrefixBytes = 3 * kCellTextLimit + 6;

// The bytes of the character that starts with the byte `lead` of well-formed UTF-8.
size_t sequence_length(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead < 0xE0) return 2;
  return lead < 0xF0 ? 3 : 4;
}

// `text` with every byte outside well-formed UTF-8, and every NUL, replaced by U+FFFD; past
// the cell limit it keeps the longest run of whole characters that leaves room for "…", then
// "…".
std::string clean_cell_text(std::string_view text) {
  std::string out = utf8::replace_invalid(text.substr(0, kCleanedPrefixBytes));
  size_t units = 0;      // UTF-16 code units up to `at`
  size_t cut_bytes = 0;  // size of the longest prefix that leaves room for the mark
  for (size_t at = 0; at < out.size();) {
    const size_t length = sequence_length(static_cast<unsigned char>(out[at]));
    units += length == 4 ? 2 : 1;
    if (units > kCellTextLimit) {
      out.resize(cut_bytes);
      out += kCutMark;
      break;
    }
    at += length;
    if (units < kCellTextLimit) cut_bytes = at;
  }
  return out;
}

// ---- Numbers ----

bool fits_double(int64_t number) {
  return number >= -kExactIntegerLimit && number <= kExactIntegerLimit;
}

bool fits_double(uint64_t number) { return number <= static_cast<uint64_t>(kExactIntegerLimit); }

lxw_error write_text(lxw_worksheet* sheet, lxw_row_t row, lxw_col_t column, const std::string& text,
                     lxw_format* format, std::string& scratch) {
  return worksheet_write_string(sheet, row, column, cell_text(text, scratch), format);
}

template <typename Integer>
lxw_error write_integer(lxw_worksheet* sheet, lxw_row_t row, lxw_col_t column, Integer number,
                        lxw_format* format, std::string& scratch) {
  if (fits_double(number)) {
    return worksheet_write_number(sheet, row, column, static_cast<double>(number), format);
  }
  return write_text(sheet, row, column, std::to_string(number), format, scratch);
}

// ---- Widths ----

// Approximate on-screen width of `text` in digits: characters of three or four UTF-8 bytes,
// mostly CJK, count two.
double display_width(std::string_view text) {
  double width = 0;
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0xE0) {
      width += 2;
    } else if (byte < 0x80 || byte >= 0xC0) {
      width += 1;  // continuation bytes add nothing
    }
  }
  return width;
}

double value_width(const Value& value) {
  return value.is_string() ? display_width(value.get_ref<const std::string&>())
                           : display_width(repr(value));
}

// Column widths that fit the header and the first rows, within bounds; the text column is
}  // namespace

// The C string a cell shows for `text`: `text` itself when ready, else a cleaned copy kept
// in `scratch`.
const char* cell_text(const std::string& text, std::string& scratch) {
  if (is_cell_ready(text)) return text.c_str();
  scratch = clean_cell_text(text);
  return scratch.c_str();
}

lxw_error write_cell(lxw_worksheet* sheet, lxw_row_t row, lxw_col_t column, const Value& value,
                     lxw_format* format, std::string& scratch) {
  switch (value.type()) {
    case Value::value_t::null:
      return worksheet_write_string(sheet, row, column, "NONE", format);
    case Value::value_t::boolean:
      return worksheet_write_boolean(sheet, row, column, value.get<bool>(), format);
    case Value::value_t::number_integer:
      return write_integer(sheet, row, column, value.get<int64_t>(), format, scratch);
    case Value::value_t::number_unsigned:
      return write_integer(sheet, row, column, value.get<uint64_t>(), format, scratch);
    case Value::value_t::number_float:
      if (std::isfinite(value.get<double>())) {
        return worksheet_write_number(sheet, row, column, value.get<double>(), format);
      }
      return write_text(sheet, row, column, repr(value), format, scratch);  // nan, inf, -inf
    case Value::value_t::string:
      return write_text(sheet, row, column, value.get_ref<const std::string&>(), format, scratch);
    default:
      return write_text(sheet, row, column, repr(value), format, scratch);
  }
}

// Rough bytes of text a value puts into the sheet XML.
size_t text_bytes(const Value& value) {
  switch (value.type()) {
    case Value::value_t::string:
      return value.get_ref<const std::string&>().size();
    case Value::value_t::array: {
      size_t bytes = 2;
      for (const Value& element : value) bytes += text_bytes(element) + 2;
      return bytes;
    }
    case Value::value_t::object: {
      size_t bytes = 2;
      for (const auto& member : value.items()) {
        bytes += member.key().size() + 6 + text_bytes(member.value());
      }
      return bytes;
    }
    default:
      return kScalarTextBytes;
  }
}

ColumnWidths::ColumnWidths(const std::vector<std::string>& head, std::optional<size_t> text_column)
    : text_column_(text_column), widest_(head.size()) {
  for (size_t j = 0; j < head.size(); ++j) {
    widest_[j] = display_width(head[j]) + kFilterButtonWidth;
  }
}

void ColumnWidths::sample(std::span<const Value* const> row) {
  if (sampled_ == kWidthSampleRows) return;
  ++sampled_;
  for (size_t j = 0; j < row.size(); ++j) {
    if (j != text_column_) widest_[j] = std::max(widest_[j], value_width(*row[j]) + 1);
  }
}

double ColumnWidths::width(size_t column) const {
  return column == text_column_ ? kTextColumnWidth
                                : std::clamp(widest_[column], kMinColumnWidth, kMaxColumnWidth);
}

}  // namespace nlpeval::xlsx
