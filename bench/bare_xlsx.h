#ifndef NLPEVAL_BENCH_BARE_XLSX_H_
#define NLPEVAL_BENCH_BARE_XLSX_H_

// The speed limit of a spreadsheet: rows written through libxlsxwriter alone, in its
// constant-memory mode, without checks of the text, and without formats or merges unless
// asked for.

#include <xlsxwriter.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <vector>

#include "nlpeval/core/value.h"

namespace nlpeval::bench {

// The look of a badcase sheet, for a bare loop that writes all that the sheet holds: its
// header bold, its first and last columns ("index" and "text") wrapped and top-aligned, and
// a record's rows merged in those columns, the covered cells blank with the same format.
struct BadcaseLook {
  lxw_format* header = nullptr;
  lxw_format* wrapped = nullptr;
};

// Merges the first and last columns over the rows [first, last] when they are several.
inline void merge_record(lxw_worksheet* sheet, lxw_row_t first, lxw_row_t last,
                         lxw_col_t last_column, lxw_format* format) {
  if (last <= first) return;
  for (lxw_col_t column : {lxw_col_t{0}, last_column}) {
    worksheet_merge_range(sheet, first, column, last, column, "", format);
  }
}

// Writes `head` and then `rows` to `path`: strings as they are, numbers as numbers, and for a
// null either `null_text` or, when that is null, nothing. With `badcase_look`, a null is a
// blank cell instead and the sheet is formatted and merged as a badcase sheet is. Returns the
// seconds spent closing the workbook, which is when the library compresses the sheet.
inline double write_bare_xlsx(const std::vector<std::string>& head,
                            const std::vector<std::vector<Value>>& rows, const std::string& path,
                            const char* null_text, bool badcase_look = false) {
  lxw_workbook_options options{};
  options.constant_memory = LXW_TRUE;
  lxw_workbook* workbook = workbook_new_opt(path.c_str(), &options);
  if (workbook == nullptr) throw std::runtime_error("cannot create " + path);
  lxw_worksheet* sheet = workbook_add_worksheet(workbook, "badcase");
  BadcaseLook look;
  if (badcase_look) {
    look.header = workbook_add_format(workbook);
    format_set_bold(look.header);
    look.wrapped = workbook_add_format(workbook);
    format_set_text_wrap(look.wrapped);
    format_set_align(look.wrapped, LXW_ALIGN_VERTICAL_TOP);
  }
  const auto last_column = static_cast<lxw_col_t>(head.size() - 1);
  for (size_t j = 0; j < head.size(); ++j) {
    worksheet_write_string(sheet, 0, static_cast<lxw_col_t>(j), head[j].c_str(), look.header);
  }
  lxw_row_t record_start = 1;
  for (size_t i = 0; i < rows.size(); ++i) {
    const auto row = static_cast<lxw_row_t>(i + 1);
    if (badcase_look && row > 1 && !rows[i].empty() && !rows[i][0].is_null()) {
      merge_record(sheet, record_start, row - 1, last_column, look.wrapped);
      record_start = row;
    }
    for (size_t j = 0; j < rows[i].size(); ++j) {
      const auto column = static_cast<lxw_col_t>(j);
      lxw_format* format = column == 0 || column == last_column ? look.wrapped : nullptr;
      const Value& value = rows[i][j];
      if (value.is_string()) {
        worksheet_write_string(sheet, row, column, value.get_ref<const std::string&>().c_str(),
                               format);
      } else if (value.is_number()) {
        worksheet_write_number(sheet, row, column, value.get<double>(), format);
      } else if (badcase_look) {
        worksheet_write_blank(sheet, row, column, format);
      } else if (null_text != nullptr) {
        worksheet_write_string(sheet, row, column, null_text, format);
      }
    }
  }
  if (badcase_look) {
    merge_record(sheet, record_start, static_cast<lxw_row_t>(rows.size()), last_column,
                 look.wrapped);
  }
  const auto closing = std::chrono::steady_clock::now();
  if (workbook_close(workbook) != LXW_NO_ERROR) throw std::runtime_error("cannot write " + path);
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - closing).count();
}

}  // namespace nlpeval::bench

#endif  // NLPEVAL_BENCH_BARE_XLSX_H_
