// The bare libxlsxwriter loop over the cells of a spreadsheet nlpeval wrote, as
// bench/xlsx_cells.py dumps them: the time a writer of those same cells cannot beat.
//   nlpeval_bare_xlsx CELLS.jsonl OUT.xlsx [RUNS] [--badcase-look]
// Loads every row first, then writes them RUNS times (default 3) and prints the best time and
// how much of it went to closing the workbook (compressing the sheet). With --badcase-look it
// also writes what else the sheet holds: the blank cells under merges, formats and merges.

#include <chrono>
#include <cstdio>
#include <fstream>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "bare_xlsx.h"

int main(int argc, char** argv) {
  const bool badcase_look = argc > 3 && std::string_view(argv[argc - 1]) == "--badcase-look";
  if (badcase_look) --argc;
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s CELLS.jsonl OUT.xlsx [RUNS] [--badcase-look]\n", argv[0]);
    return 2;
  }
  std::ifstream cells(argv[1]);
  if (!cells) {
    std::perror(argv[1]);
    return 1;
  }
  std::vector<std::string> head;
  std::vector<std::vector<nlpeval::Value>> rows;
  for (std::string line; std::getline(cells, line);) {
    nlpeval::Value row = nlpeval::Value::parse(line);
    if (head.empty()) {
      for (const nlpeval::Value& name : row) head.push_back(name.get<std::string>());
    } else {
      rows.emplace_back(row.begin(), row.end());
    }
  }
  const int runs = argc > 3 ? std::stoi(argv[3]) : 3;
  double best = std::numeric_limits<double>::infinity();
  double best_close = 0;
  for (int run = 0; run < runs; ++run) {
    const auto start = std::chrono::steady_clock::now();
    const double close = nlpeval::bench::write_bare_xlsx(head, rows, argv[2], /*null_text=*/nullptr,
                                                         badcase_look);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    if (took.count() < best) {
      best = took.count();
      best_close = close;
    }
  }
  std::printf("%zu rows, best of %d: %.2f s (%.2f s of it closing the workbook)\n", rows.size(),
              runs, best, best_close);
  return 0;
}
