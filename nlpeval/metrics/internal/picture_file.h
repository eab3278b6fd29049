#ifndef NLPEVAL_METRICS_INTERNAL_PICTURE_FILE_H_
#define NLPEVAL_METRICS_INTERNAL_PICTURE_FILE_H_

// Writing a picture drawn with cairo to a PNG, SVG or PDF file that appears only when complete.

#include <cairo.h>

#include <functional>
#include <string>

namespace nlpeval::metrics {

enum class PictureFormat { kPng, kSvg, kPdf };

// The format the extension of `filename` names, in any case. Throws ValueError for an
// extension other than ".png", ".svg" and ".pdf".
PictureFormat picture_format_of(const std::string& filename);

// Writes the `width` x `height` pixel picture `draw` draws to `filename`, through a temporary
// file in the same folder that is renamed to `filename` once complete. Throws FileError naming
// `filename` when the file cannot be written or cairo fails.
void write_picture(PictureFormat format, int width, int height,
                   const std::function<void(cairo_t*)>& draw, const std::string& filename);

}  // namespace nlpeval::metrics

#endif  // NLPEVAL_METRICS_INTERNAL_PICTURE_FILE_H_
