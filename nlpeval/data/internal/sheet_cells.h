#ifndef NLPEVAL_DATA_INTERNAL_SHEET_CELLS_H_
#define NLPEVAL_DATA_INTERNAL_SHEET_CELLS_H_

// What a value becomes in a cell of the badcase spreadsheet, and how much room it takes.

#include <xlsxwriter.h>

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "nlpeval/core/value.h"

namespace nlpeval::xlsx {

// The C string a cell shows for `text`: `text` itself when a cell can hold it as it is, else a
// cleaned copy kept in `scratch`. Cleaning puts U+FFFD in place of every byte that is not
// well-formed UTF-8 and of every NUL, and cuts a text past the cell limit of 32,767 UTF-16
// code units to the longest run of whole characters that leaves room for "…", then "…".
const char* cell_text(const std::string& text, std::string& scratch);

// Writes `value` to cell (row, column) of `sheet`: integers, floats and booleans as numbers
// and booleans (an integer beyond 2^53, and NaN or infinity, as text), null as NONE, arrays
// and objects as repr(), text through cell_text. Returns the library's status.
lxw_error write_cell(lxw_worksheet* sheet, lxw_row_t row, lxw_col_t column, const Value& value,
                     lxw_format* format, std::string& scratch);

// Rough bytes of text a value puts into the sheet XML.
size_t text_bytes(const Value& value);

// Column widths, in Excel's unit of one digit, that fit the header and the first rows within
// bounds; the text column is wide and wraps instead.
class ColumnWidths {
 public:
  ColumnWidths(const std::vector<std::string>& head, std::optional<size_t> text_column);

  // Widens the columns for one more row, while the rows seen are few enough to sample.
  void sample(std::span<const Value* const> row);

  double width(size_t column) const;

 private:
  std::optional<size_t> text_column_;
  std::vector<double> widest_;
  size_t sampled_ = 0;
};

}  // namespace nlpeval::xlsx

#endif  // NLPEVAL_DATA_INTERNAL_SHEET_CELLS_H_
