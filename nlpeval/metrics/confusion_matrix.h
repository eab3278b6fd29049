#ifndef NLPEVAL_METRICS_CONFUSION_MATRIX_H_
#define NLPEVAL_METRICS_CONFUSION_MATRIX_H_

// The confusion-matrix picture of a label scoring run.

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "nlpeval/metrics/metrics.h"

namespace nlpeval::metrics {

// Draws the confusion matrix of `y_true` (gold) against `y_pred` (predicted) over `columns`
// into `filename`. Row i holds the gold label columns[i], column j the predicted label
// columns[j], and cell (i, j) the number of positions with that gold and predicted label;
// positions where either label is not in `columns` are not drawn. Cells are coloured with
// `cmap`, light for 0 and darkest for the largest count, and show their count.
//
// The picture is laid out for reading: cells are square, at least 36 pixels wide for up to
// 120 labels (so the picture grows with the label count), labels are drawn in a font that
// covers Chinese, and labels wider than about 280 pixels are shortened in the middle.
// Labels that are not valid UTF-8 are drawn with U+FFFD in place of the broken bytes.
//
// The file type follows the extension of `filename`, in any case: ".png", ".svg" or ".pdf".
// The picture is written to a temporary file in the same folder and renamed to `filename`
// once complete, so a failed call leaves no partial picture behind.
//
// Throws ValueError when the two lists differ in length, `columns` repeats a label or holds
// more than 1080 labels, `cmap` is not a supported colour map (only "YlGnBu", the
// ColorBrewer yellow-green-blue ramp) or the extension is not one of the three; FileError
// naming the path when the folder does not exist or the file cannot be written.
void plot_confusion_matrix(const std::vector<std::string>& y_true,
                           const std::vector<std::string>& y_pred,
                           const std::vector<std::string>& columns, std::string_view cmap,
                           const std::string& filename);

namespace views {

using Labels = std::span<const std::string_view>;

// The same over views of labels kept elsewhere.
void plot_confusion_matrix(Labels y_true, Labels y_pred, const std::vector<std::string>& columns,
                           std::string_view cmap, const std::string& filename);

}  // namespace views

// The same from pairs of label ids counted as they came (LabelIdCounter), `names[id]` naming
// each id: no list of positions is needed.
void plot_counted_confusion_matrix(std::span<const std::string_view> names,
                                   std::span<const LabelIdCounter::Pair> pairs,
                                   const std::vector<std::string>& columns, std::string_view cmap,
                                   const std::string& filename);

}  // namespace nlpeval::metrics

#endif  // NLPEVAL_METRICS_CONFUSION_MATRIX_H_
