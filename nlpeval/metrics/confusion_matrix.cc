#include "nlpeval/metrics/confusion_matrix.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <unordered_map>

#include "nlpeval/core/errors.h"
#include "nlpeval/core/utf8.h"
#include "nlpeval/metrics/internal/colour_ramp.h"
#include "nlpeval/metrics/internal/matrix_picture.h"
#include "nlpeval/metrics/internal/picture_file.h"

namespace nlpeval::metrics {
namespace {

// Past this many labels a cell would be narrower than 4 pixels.
constexpr size_t kMaxColumns = 1080;

std::unordered_map<std::string_view, size_t> index_columns(
    const std::vector<std::string>& columns) {
  if (columns.size() > kMaxColumns) {
    throw ValueError("too many columns to draw: " + std::to_string(columns.size()) + " (at most " +
                     std::to_string(kMaxColumns) + ")");
  }
  std::unordered_map<std::string_view, size_t> index;
  for (size_t i = 0; i < columns.size(); ++i) {
    if (!index.emplace(columns[i], i).second) {
      throw ValueError("columns: label '" + utf8::replace_invalid(columns[i]) + "' appears twice");
    }
  }
  return index;
}

// Adds `count` to the cell of (gold, predicted) when both are columns.
void add_to_cell(MatrixCounts& counts, const std::unordered_map<std::string_view, size_t>& index,
                 std::string_view gold, std::string_view predicted, uint64_t count) {
  auto row = index.find(gold);
  auto column = index.find(predicted);
  if (row == index.end() || column == index.end()) return;
  uint64_t& cell = counts.cells[row->second * counts.n + column->second];
  cell += count;
  counts.max = std::max(counts.max, cell);
}

MatrixCounts count_pairs(views::Labels y_true, views::Labels y_pred,
                         const std::unordered_map<std::string_view, size_t>& index, size_t n) {
  MatrixCounts counts{n, std::vector<uint64_t>(n * n, 0), 0};
  for (size_t k = 0; k < y_true.size(); ++k) add_to_cell(counts, index, y_true[k], y_pred[k], 1);
  return counts;
}

}  // namespace

void plot_confusion_matrix(const std::vector<std::string>& y_true,
                           const std::vector<std::string>& y_pred,
                           const std::vector<std::string>& columns, std::string_view cmap,
                           const std::string& filename) {
  const std::vector<std::string_view> true_views(y_true.begin(), y_true.end());
  const std::vector<std::string_view> pred_views(y_pred.begin(), y_pred.end());
  views::plot_confusion_matrix(true_views, pred_views, columns, cmap, filename);
}

void views::plot_confusion_matrix(Labels y_true, Labels y_pred,
                                  const std::vector<std::string>& columns, std::string_view cmap,
                                  const std::string& filename) {
  if (y_true.size() != y_pred.size()) {
    throw ValueError("y_true and y_pred differ in length: " + std::to_string(y_true.size()) +
                     " and " + std::to_string(y_pred.size()));
  }
  const Ramp& ramp = ramp_named(cmap);
  const PictureFormat format = picture_format_of(filename);
  auto index = index_columns(columns);
  const MatrixCounts counts = count_pairs(y_true, y_pred, index, columns.size());
  draw_matrix_picture(columns, counts, ramp, format, filename);
}

void plot_counted_confusion_matrix(std::span<const std::string_view> names,
                                   std::span<const LabelIdCounter::Pair> pairs,
                                   const std::vector<std::string>& columns, std::string_view cmap,
                                   const std::string& filename) {
  const Ramp& ramp = ramp_named(cmap);
  const PictureFormat format = picture_format_of(filename);
  auto index = index_columns(columns);
  MatrixCounts counts{columns.size(), std::vector<uint64_t>(columns.size() * columns.size(), 0), 0};
  for (const LabelIdCounter::Pair& pair : pairs) {
    add_to_cell(counts, index, names[pair.gold], names[pair.predicted],
                static_cast<uint64_t>(pair.count));
  }
  draw_matrix_picture(columns, counts, ramp, format, filename);
}

}  // namespace nlpeval::metrics
