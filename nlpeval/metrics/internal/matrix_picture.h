#ifndef NLPEVAL_METRICS_INTERNAL_MATRIX_PICTURE_H_
#define NLPEVAL_METRICS_INTERNAL_MATRIX_PICTURE_H_

// The confusion-matrix picture: cells coloured by count, labels, titles and a colour bar, laid
// out around the measured text and drawn with cairo and pango.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "nlpeval/metrics/internal/colour_ramp.h"
#include "nlpeval/metrics/internal/picture_file.h"

namespace nlpeval::metrics {

// The cells of an n x n confusion matrix.
struct MatrixCounts {
  size_t n = 0;
  std::vector<uint64_t> cells;  // row-major, row = gold
  uint64_t max = 0;

  uint64_t at(size_t row, size_t column) const { return cells[row * n + column]; }

  // Where a cell lies between 0 and the largest count, from 0 to 1.
  double share(size_t row, size_t column) const {
    return max == 0 ? 0 : static_cast<double>(at(row, column)) / static_cast<double>(max);
  }
};

// Draws `counts`, whose rows and columns `columns` names, in the colours of `ramp` into
// `filename`. Throws what write_picture throws.
void draw_matrix_picture(const std::vector<std::string>& columns, const MatrixCounts& counts,
                         const Ramp& ramp, PictureFormat format, const std::string& filename);

}  // namespace nlpeval::metrics

#endif  // NLPEVAL_METRICS_INTERNAL_MATRIX_PICTURE_H_
