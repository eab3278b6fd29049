#ifndef NLPEVAL_BENCH_BARE_XLSX_H_
#define NLPEVAL_BENCH_BARE_XLSX_H_

// The speed limit of a spreadsheet: rows written through libxlsxwriter alone, in its
// constant-memory mode, without formats, merges or checks of the text.

#include <xlsxwriter.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <vector>

#include "nlpeval/core/value.h"

namespace nlpeval::bench {

// Writes `head` and then `rows` to `path`: strings as they are, numbers as numbers, and for a
// null either `null_text` or, when that is null, nothing. Returns the seconds spent closing the
// workbook, which is when the library compresses the sheet.
inline double write_bare_xlsx(const std::vector<std::string>& head,
                            const std::vector<std::vector<Value>>& rows, const std::string& path,
                            const char* null_text) {
  lxw_workbook_options options{};
  options.constant_memory = LXW_TRUE;
  lxw_workbook* workbook = workbook_new_opt(path.c_str(), &options);
  if (workbook == nullptr) throw std::runtime_error("cannot create " + path);
  lxw_worksheet* sheet = workbook_add_worksheet(workbook, "badcase");
  for (size_t j = 0; j < head.size(); ++j) {
    worksheet_write_string(sheet, 0, static_cast<lxw_col_t>(j), head[j].c_str(), nullptr);
  }
  for (size_t i = 0; i < rows.size(); ++i) {
    const auto row = static_cast<lxw_row_t>(i + 1);
    for (size_t j = 0; j < rows[i].size(); ++j) {
      const auto column = static_cast<lxw_col_t>(j);
      const Value& value = rows[i][j];
      if (value.is_string()) {
        worksheet_write_string(sheet, row, column, value.get_ref<const std::string&>().c_str(),
                               nullptr);
      } else if (value.is_number()) {
        worksheet_write_number(sheet, row, column, value.get<double>(), nullptr);
      } else if (null_text != nullptr) {
        worksheet_write_string(sheet, row, column, null_text, nullptr);
      }
    }
  }
  const auto closing = std::chrono::steady_clock::now();
  if (workbook_close(workbook) != LXW_NO_ERROR) throw std::runtime_error("cannot write " + path);
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - closing).count();
}

}  // namespace nlpeval::bench

#endif  // NLPEVAL_BENCH_BARE_XLSX_H_
