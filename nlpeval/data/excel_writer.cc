#include "nlpeval/data/excel_writer.h"

#include <fcntl.h>
#include <unistd.h>
#include <xlsxwriter.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <memory>
#include <new>
#include <optional>
#include <random>
#include <span>
#include <string_view>
#include <utility>

#include "nlpeval/core/errors.h"
#include "nlpeval/core/utf8.h"

namespace nlpeval {
namespace {

using Head = std::vector<std::string>;

constexpr size_t kSheetRowLimit = LXW_ROW_MAX;  // header included
constexpr size_t kSheetColumnLimit = LXW_COL_MAX;
constexpr const char* kSheetName = "badcase";

// Excel's longest cell text. Excel counts UTF-16 code units, where a character beyond the
// BMP takes two; counting the same way guarantees that a cut text fits.
constexpr size_t kCellTextLimit = 32'767;
constexpr std::string_view kCutMark = "\u2026";      // "…", one UTF-16 code unit
constexpr std::string_view kReplacement = "\uFFFD";  // for a byte a cell cannot hold

// libxlsxwriter counts a sheet's merged ranges in this type and, past its maximum, writes a
// wrong count or drops every range of the sheet. Records beyond it are written unmerged.
constexpr size_t kMergesPerSheet =
    std::numeric_limits<decltype(lxw_worksheet::merged_range_count)>::max();

// Cell numbers are doubles, which hold every integer up to 2^53 exactly.
constexpr int64_t kExactIntegerLimit = int64_t{1} << 53;

// Column widths, in Excel's unit of one digit.
constexpr size_t kWidthSampleRows = 1'000;
constexpr double kMinColumnWidth = 8;
constexpr double kMaxColumnWidth = 40;
constexpr double kTextColumnWidth = 80;
constexpr double kFilterButtonWidth = 3;

// Past 4 GiB of sheet XML the zip container needs its 64-bit extensions; below, they stay off
// so that the file keeps the plain form every reader knows. The estimate is rough, hence half
// the limit.
constexpr size_t kZip64Threshold = size_t{2} << 30;
constexpr size_t kCellMarkupBytes = 64;
constexpr size_t kScalarTextBytes = 24;

// ---- Cell text ----

// Length of the well-formed UTF-8 sequence that starts the non-empty `text`, or 0 when none
// starts there (stray continuation byte, overlong form, surrogate, truncated sequence).
size_t sequence_length(std::string_view text) {
  auto byte = [text](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) return 1;
  size_t length = 0;
  unsigned char low = 0x80;  // bounds of the second byte
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // no overlong forms
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;   // no overlong forms
    if (lead == 0xF4) high = 0x8F;  // nothing past U+10FFFF
  } else {
    return 0;
  }
  if (text.size() < length || byte(1) < low || byte(1) > high) return 0;
  for (size_t i = 2; i < length; ++i) {
    if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
  }
  return length;
}

// Whether `text` can go to a cell as it is: well-formed, without a NUL (which would end the C
// string the library reads), and too short to pass the limit (a UTF-16 unit takes at least
// one UTF-8 byte).
bool is_cell_ready(const std::string& text) {
  return text.size() <= kCellTextLimit && text.find('\0') == std::string::npos &&
         utf8::is_valid(text);
}

// `text` with every byte outside well-formed UTF-8, and every NUL, replaced by U+FFFD; past
// the cell limit it keeps the longest run of whole characters that leaves room for "…", then
// "…".
std::string clean_cell_text(std::string_view text) {
  std::string out;
  out.reserve(std::min(text.size(), 3 * kCellTextLimit));
  size_t units = 0;      // UTF-16 code units in `out`
  size_t cut_bytes = 0;  // size of the longest prefix of `out` that leaves room for the mark
  while (!text.empty()) {
    const size_t length = sequence_length(text);
    const bool keep = length > 0 && text[0] != '\0';
    const std::string_view piece = keep ? text.substr(0, length) : kReplacement;
    text.remove_prefix(std::max<size_t>(length, 1));
    units += piece.size() == 4 ? 2 : 1;
    if (units > kCellTextLimit) {
      out.resize(cut_bytes);
      out += kCutMark;
      break;
    }
    out += piece;
    if (units < kCellTextLimit) cut_bytes = out.size();
  }
  return out;
}

// The C string a cell shows for `text`: `text` itself when ready, else a cleaned copy kept
// in `scratch`.
const char* cell_text(const std::string& text, std::string& scratch) {
  if (is_cell_ready(text)) return text.c_str();
  scratch = clean_cell_text(text);
  return scratch.c_str();
}

// ---- Numbers ----

bool fits_double(int64_t number) {
  return number >= -kExactIntegerLimit && number <= kExactIntegerLimit;
}

bool fits_double(uint64_t number) { return number <= static_cast<uint64_t>(kExactIntegerLimit); }

// ---- Library errors ----

bool is_file_problem(lxw_error error) {
  switch (error) {
    case LXW_ERROR_CREATING_XLSX_FILE:
    case LXW_ERROR_CREATING_TMPFILE:
    case LXW_ERROR_READING_TMPFILE:
    case LXW_ERROR_ZIP_FILE_OPERATION:
    case LXW_ERROR_ZIP_PARAMETER_ERROR:
    case LXW_ERROR_ZIP_BAD_ZIP_FILE:
    case LXW_ERROR_ZIP_INTERNAL_ERROR:
    case LXW_ERROR_ZIP_FILE_ADD:
    case LXW_ERROR_ZIP_CLOSE:
      return true;
    default:
      return false;
  }
}

// Throws for a failed library call on `what` while writing `file`: FileError for trouble
// with the output or temporary files, bad_alloc for memory, ValueError for anything the
// library refused.
[[noreturn]] void fail(lxw_error error, const std::string& file, const std::string& what) {
  if (error == LXW_ERROR_MEMORY_MALLOC_FAILED) throw std::bad_alloc();
  std::string message = "cannot write '" + file + "': " + what + ": " + lxw_strerror(error);
  if (is_file_problem(error)) throw FileError(message);
  throw ValueError(message);
}

void check(lxw_error error, const std::string& file, const char* what) {
  if (error != LXW_NO_ERROR) [[unlikely]] {
    fail(error, file, what);
  }
}

// ---- The output file ----

// A new, empty file beside `target` under a hidden temporary name. It is removed again unless
// commit() moves it onto `target`, so a failed write never leaves a partial file behind.
class PendingFile {
 public:
  explicit PendingFile(const std::string& target) : target_(target) {
    const std::filesystem::path path(target);
    if (!path.has_filename()) throw FileError("cannot write '" + target + "': not a file name");
    const std::filesystem::path folder = path.parent_path();
    folder_ = folder.empty() ? "." : folder.string();
    std::string prefix = ".";  // hidden, and named after the target for whoever finds it
    prefix += path.filename().string();
    prefix += ".tmp-";
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
      path_ = (folder / (prefix + std::to_string(random()))).string();
      // 0666 rather than mkstemp's 0600: the file keeps the permissions the umask gives.
      const int fd = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      if (fd >= 0) {
        ::close(fd);
        return;
      }
      if (errno != EEXIST) fail_to_create(errno);
    }
    throw FileError("cannot write '" + target + "': no free temporary name beside it");
  }

  ~PendingFile() {
    if (!committed_) ::unlink(path_.c_str());
  }

  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;

  const std::string& target() const { return target_; }
  const std::string& folder() const { return folder_; }
  const std::string& path() const { return path_; }

  void commit() {
    if (std::rename(path_.c_str(), target_.c_str()) != 0) {
      throw FileError("cannot write '" + target_ + "': " + std::strerror(errno));
    }
    committed_ = true;
  }

 private:
  [[noreturn]] void fail_to_create(int error) const {
    std::string reason;
    if (error == ENOENT) {
      reason = "folder '" + folder_ + "' does not exist";
    } else if (error == ENOTDIR) {
      reason = "'" + folder_ + "' is not a folder";
    } else {
      reason = "cannot create a file in '" + folder_ + "': " + std::strerror(error);
    }
    throw FileError("cannot write '" + target_ + "': " + reason);
  }

  std::string target_;
  std::string folder_;
  std::string path_;
  bool committed_ = false;
};

// A libxlsxwriter workbook in constant-memory mode (each row goes to a temporary file once
// the next one starts) with the two cell formats the sheets use. Freed without writing
// anything unless close() is reached.
class Workbook {
 public:
  // Writes to `file` on close(); temporary files go to its folder rather than to a /tmp that
  // may live in memory.
  explicit Workbook(const PendingFile& file) : target_(file.target()), folder_(file.folder()) {
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = folder_.data();
    workbook_.reset(workbook_new_opt(file.path().c_str(), &options));
    if (workbook_ == nullptr) throw std::bad_alloc();
    header_ = add_format();
    format_set_bold(header_);
    top_wrapped_ = add_format();
    format_set_text_wrap(top_wrapped_);
    format_set_align(top_wrapped_, LXW_ALIGN_VERTICAL_TOP);
  }

  const std::string& target() const { return target_; }
  lxw_format* header_format() const { return header_; }
  lxw_format* top_wrapped_format() const { return top_wrapped_; }

  lxw_worksheet* add_sheet(const std::string& name) {
    lxw_worksheet* sheet = workbook_add_worksheet(workbook_.get(), name.c_str());
    if (sheet == nullptr) {  // the sheet's temporary file could not be made, or no memory
      throw FileError("cannot write '" + target_ + "': cannot start the sheet '" + name +
                      "' with a temporary file in '" + folder_ + "'");
    }
    return sheet;
  }

  // Assembles and writes the file, with the zip container's 64-bit extensions when `zip64`.
  void close(bool zip64) {
    // The library reads this option only here, when it packs the file; whether the sheets
    // need it is known only once they are written.
    workbook_->options.use_zip64 = zip64 ? LXW_TRUE : LXW_FALSE;
    // The call frees the workbook whether it succeeds or not.
    check(workbook_close(workbook_.release()), target_, "assembling the file");
  }

 private:
  lxw_format* add_format() {
    lxw_format* format = workbook_add_format(workbook_.get());
    if (format == nullptr) throw std::bad_alloc();
    return format;
  }

  std::string target_;
  std::string folder_;
  std::unique_ptr<lxw_workbook, decltype(&lxw_workbook_free)> workbook_{nullptr,
                                                                        &lxw_workbook_free};
  lxw_format* header_ = nullptr;
  lxw_format* top_wrapped_ = nullptr;
};

// ---- Layout ----

void check_head(const Head& head) {
  if (head.empty()) throw ValueError("excel_head is empty");
  if (head.size() > kSheetColumnLimit) {
    throw ValueError("excel_head has " + std::to_string(head.size()) +
                     " names, more than the 16384 columns of a sheet");
  }
}

void check_row_size(size_t row_size, size_t i, const Head& head) {
  if (row_size != head.size()) {
    throw ValueError("rows[" + std::to_string(i) + "] has " + std::to_string(row_size) +
                     " values for " + std::to_string(head.size()) + " header names");
  }
}

std::optional<size_t> find_column(const Head& head, std::string_view name) {
  auto found = std::find(head.begin(), head.end(), name);
  if (found == head.end()) return std::nullopt;
  return static_cast<size_t>(found - head.begin());
}

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
// wide and wraps instead.
class ColumnWidths {
 public:
  ColumnWidths(const Head& head, std::optional<size_t> text_column)
      : text_column_(text_column), widest_(head.size()) {
    for (size_t j = 0; j < head.size(); ++j) {
      widest_[j] = display_width(head[j]) + kFilterButtonWidth;
    }
  }

  void sample(std::span<const Value* const> row) {
    if (sampled_ == kWidthSampleRows) return;
    ++sampled_;
    for (size_t j = 0; j < row.size(); ++j) {
      if (j != text_column_) widest_[j] = std::max(widest_[j], value_width(*row[j]) + 1);
    }
  }

  double width(size_t j) const {
    return j == text_column_ ? kTextColumnWidth
                             : std::clamp(widest_[j], kMinColumnWidth, kMaxColumnWidth);
  }

 private:
  std::optional<size_t> text_column_;
  std::vector<double> widest_;
  size_t sampled_ = 0;
};

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

// ---- Writing ----

struct SheetOptions {
  size_t rows_per_sheet;
  bool merge;
};

// Writes the header and then rows as they come into a workbook, sheet after sheet.
//
// A record (consecutive rows with equal "index" and "text") shows those two once, in cells
// merged down over its rows, when it has more than one row on the sheet and the sheet's merge
// budget allows; its later rows leave the merged cells blank. Whether a record is merged is
// known at its second row, and the merge is recorded when the record ends, while its last
// row is still the current one: constant-memory mode keeps the cells already written (the
// record's first row holds the values) and refuses any call on rows before the current one.
// Column widths and the autofilter are set when a sheet is complete.
class SheetStream {
 public:
  SheetStream(Workbook& book, const Head& head, SheetOptions options)
      : book_(book),
        head_(head),
        rows_per_sheet_(options.rows_per_sheet),
        index_column_(find_column(head, "index")),
        text_column_(find_column(head, "text")),
        merging_(options.merge && index_column_.has_value()),
        widths_(head, text_column_),
        formats_(head.size(), nullptr),
        merged_(head.size(), false) {
    for (std::optional<size_t> column : {index_column_, text_column_}) {
      if (!column) continue;
      merged_[*column] = merging_;
      merged_columns_ += merging_ ? 1 : 0;
      if (merging_ || column == text_column_) formats_[*column] = book.top_wrapped_format();
    }
  }

  // Writes one more row, which has one value per header name.
  void add(std::span<const Value* const> values) {
    if (sheet_ == nullptr || rows_on_sheet_ == rows_per_sheet_ - 1) {
      if (sheet_ != nullptr) end_sheet();
      start_sheet();
    }
    widths_.sample(values);
    for (const Value* value : values) sheet_bytes_ += kCellMarkupBytes + text_bytes(*value);
    const auto row = static_cast<lxw_row_t>(rows_on_sheet_ + 1);
    const bool same_as_previous = merging_ && row > 1 && same_record_as_previous(values);
    if (!same_as_previous) {
      end_record();
      record_start_ = row;
    } else if (record_start_ == row - 1) {  // the record's second row
      merging_record_ = merges_left_ >= merged_columns_;
      if (merging_record_) merges_left_ -= merged_columns_;
    }
    write_row(values, row, merging_record_ && same_as_previous);
    if (merging_) remember_record(values);
    ++rows_on_sheet_;
    ++rows_added_;
  }

  // Completes the last sheet; a stream without rows gets one sheet with the header alone.
  void finish() {
    if (sheet_ == nullptr) start_sheet();
    end_sheet();
  }

  // Whether the sheet XML may pass the 4 GiB that the plain zip container can hold.
  bool needs_zip64() const { return sheet_bytes_ > kZip64Threshold; }

  size_t rows_added() const { return rows_added_; }

 private:
  // "badcase", then "badcase_2", "badcase_3", ...
  std::string next_sheet_name() {
    std::string name = kSheetName;
    if (++sheets_ > 1) name.append("_").append(std::to_string(sheets_));
    return name;
  }

  void start_sheet() {
    sheet_ = book_.add_sheet(next_sheet_name());
    rows_on_sheet_ = 0;
    merges_left_ = kMergesPerSheet;
    for (size_t j = 0; j < head_.size(); ++j) {
      check(worksheet_write_string(sheet_, 0, static_cast<lxw_col_t>(j),
                                   cell_text(head_[j], scratch_), book_.header_format()),
            book_.target(), "header");
    }
    worksheet_freeze_panes(sheet_, 1, 0);
  }

  void end_sheet() {
    end_record();
    const auto last_column = static_cast<lxw_col_t>(head_.size() - 1);
    for (lxw_col_t j = 0; j <= last_column; ++j) {
      check(worksheet_set_column(sheet_, j, j, widths_.width(j), formats_[j]), book_.target(),
            "column width");
    }
    check(worksheet_autofilter(sheet_, 0, 0, static_cast<lxw_row_t>(rows_on_sheet_), last_column),
          book_.target(), "autofilter");
  }

  // Merges the cells of the record that ends at the current row, when it is merged.
  void end_record() {
    if (merging_record_) merge(record_start_, static_cast<lxw_row_t>(rows_on_sheet_));
    merging_record_ = false;
  }

  bool same_record_as_previous(std::span<const Value* const> values) const {
    return *values[*index_column_] == previous_index_ &&
           (!text_column_ || *values[*text_column_] == previous_text_);
  }

  void remember_record(std::span<const Value* const> values) {
    previous_index_ = *values[*index_column_];
    if (text_column_) previous_text_ = *values[*text_column_];
  }

  // Writes a row at `row` of the sheet; the merged cells of a record's later rows stay blank.
  void write_row(std::span<const Value* const> values, lxw_row_t row, bool continues) {
    for (size_t j = 0; j < values.size(); ++j) {
      const auto column = static_cast<lxw_col_t>(j);
      const lxw_error error = continues && merged_[j]
                                  ? worksheet_write_blank(sheet_, row, column, formats_[j])
                                  : write_value(row, column, *values[j], formats_[j]);
      if (error != LXW_NO_ERROR) [[unlikely]] {
        fail(error, book_.target(),
             "rows[" + std::to_string(rows_added_) + "][" + std::to_string(j) + "]");
      }
    }
  }

  lxw_error write_value(lxw_row_t row, lxw_col_t column, const Value& value, lxw_format* format) {
    switch (value.type()) {
      case Value::value_t::null:
        return worksheet_write_string(sheet_, row, column, "NONE", format);
      case Value::value_t::boolean:
        return worksheet_write_boolean(sheet_, row, column, value.get<bool>(), format);
      case Value::value_t::number_integer:
        return write_integer(row, column, value.get<int64_t>(), format);
      case Value::value_t::number_unsigned:
        return write_integer(row, column, value.get<uint64_t>(), format);
      case Value::value_t::number_float:
        if (std::isfinite(value.get<double>())) {
          return worksheet_write_number(sheet_, row, column, value.get<double>(), format);
        }
        return write_text(row, column, repr(value), format);  // nan, inf, -inf
      case Value::value_t::string:
        return write_text(row, column, value.get_ref<const std::string&>(), format);
      default:
        return write_text(row, column, repr(value), format);
    }
  }

  template <typename Integer>
  lxw_error write_integer(lxw_row_t row, lxw_col_t column, Integer number, lxw_format* format) {
    if (fits_double(number)) {
      return worksheet_write_number(sheet_, row, column, static_cast<double>(number), format);
    }
    return write_text(row, column, std::to_string(number), format);
  }

  lxw_error write_text(lxw_row_t row, lxw_col_t column, const std::string& text,
                       lxw_format* format) {
    return worksheet_write_string(sheet_, row, column, cell_text(text, scratch_), format);
  }

  void merge(lxw_row_t first, lxw_row_t last) {
    for (size_t j = 0; j < merged_.size(); ++j) {
      if (!merged_[j]) continue;
      const auto column = static_cast<lxw_col_t>(j);
      // The text given here would go to the first cell, which already holds the value.
      check(worksheet_merge_range(sheet_, first, column, last, column, "", formats_[j]),
            book_.target(), "merged cells");
    }
  }

  Workbook& book_;
  const Head& head_;
  size_t rows_per_sheet_;
  std::optional<size_t> index_column_;
  std::optional<size_t> text_column_;
  bool merging_;
  ColumnWidths widths_;
  std::vector<lxw_format*> formats_;  // per column; null for the library's default
  std::vector<bool> merged_;          // per column
  size_t merged_columns_ = 0;
  size_t sheet_bytes_ = 0;  // estimated
  size_t rows_added_ = 0;
  size_t sheets_ = 0;
  lxw_worksheet* sheet_ = nullptr;
  size_t rows_on_sheet_ = 0;  // data rows, the header not counted
  size_t merges_left_ = kMergesPerSheet;
  lxw_row_t record_start_ = 1;
  bool merging_record_ = false;
  Value previous_index_;
  Value previous_text_;
  std::string scratch_;
};

}  // namespace

// Everything an open stream holds, in the order it must be torn down: the workbook (and its
// temporary sheet files) before the pending file.
struct ExcelWriter::Stream::State {
  State(const Head& head, const std::string& badcase_file, SheetOptions options)
      : head(head), pending(badcase_file), book(pending), sheets(book, this->head, options) {}

  Head head;
  PendingFile pending;
  Workbook book;
  SheetStream sheets;
  std::vector<const Value*> row;  // the row being added, reused
};

ExcelWriter::Stream::Stream(std::unique_ptr<State> state) : state_(std::move(state)) {}
ExcelWriter::Stream::Stream(Stream&&) noexcept = default;
ExcelWriter::Stream& ExcelWriter::Stream::operator=(Stream&&) noexcept = default;
ExcelWriter::Stream::~Stream() = default;

void ExcelWriter::Stream::add_row(std::span<const Value* const> row) {
  if (!state_) throw ValueError("the spreadsheet stream is closed");
  try {
    check_row_size(row.size(), state_->sheets.rows_added(), state_->head);
    state_->sheets.add(row);
  } catch (...) {
    state_.reset();  // nothing is left behind
    throw;
  }
}

void ExcelWriter::Stream::add_row(const std::vector<Value>& row) {
  if (!state_) throw ValueError("the spreadsheet stream is closed");
  std::vector<const Value*>& pointers = state_->row;
  pointers.clear();
  for (const Value& value : row) pointers.push_back(&value);
  add_row(std::span<const Value* const>(pointers));
}

void ExcelWriter::Stream::close() {
  if (!state_) throw ValueError("the spreadsheet stream is closed");
  std::unique_ptr<State> state = std::move(state_);
  state->sheets.finish();
  state->book.close(state->sheets.needs_zip64());
  state->pending.commit();
}

std::string_view ExcelWriter::Stream::pending_file() const {
  return state_ ? std::string_view(state_->pending.path()) : std::string_view();
}

ExcelWriter::ExcelWriter(size_t rows_per_sheet) : rows_per_sheet_(rows_per_sheet) {
  if (rows_per_sheet < 2 || rows_per_sheet > kSheetRowLimit) {
    throw ValueError("rows_per_sheet must be between 2 and 1048576, got " +
                     std::to_string(rows_per_sheet));
  }
}

ExcelWriter::Stream ExcelWriter::open(const std::vector<std::string>& excel_head,
                                      const std::string& badcase_file, bool is_merge) const {
  check_head(excel_head);
  return Stream(std::make_unique<Stream::State>(excel_head, badcase_file,
                                                SheetOptions{rows_per_sheet_, is_merge}));
}

void ExcelWriter::write(const std::vector<std::vector<Value>>& rows,
                        const std::vector<std::string>& excel_head, const std::string& badcase_file,
                        bool is_merge) const {
  check_head(excel_head);
  for (size_t i = 0; i < rows.size(); ++i) check_row_size(rows[i].size(), i, excel_head);
  Stream stream = open(excel_head, badcase_file, is_merge);
  for (const std::vector<Value>& row : rows) stream.add_row(row);
  stream.close();
}

}  // namespace nlpeval
