#ifndef NLPEVAL_METRICS_INTERNAL_CAIRO_HANDLES_H_
#define NLPEVAL_METRICS_INTERNAL_CAIRO_HANDLES_H_

// Owning pointers to the cairo and pango objects the pictures are drawn with.

#include <cairo.h>
#include <pango/pangocairo.h>

#include <memory>

namespace nlpeval::metrics {

struct CairoDeleter {
  void operator()(cairo_t* cr) const { cairo_destroy(cr); }
  void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
  void operator()(cairo_pattern_t* pattern) const { cairo_pattern_destroy(pattern); }
  void operator()(cairo_font_options_t* options) const { cairo_font_options_destroy(options); }
  void operator()(PangoFontDescription* font) const { pango_font_description_free(font); }
  void operator()(PangoContext* context) const { g_object_unref(context); }
  void operator()(PangoLayout* layout) const { g_object_unref(layout); }
};
using ContextPtr = std::unique_ptr<cairo_t, CairoDeleter>;
using SurfacePtr = std::unique_ptr<cairo_surface_t, CairoDeleter>;
using PatternPtr = std::unique_ptr<cairo_pattern_t, CairoDeleter>;
using FontOptionsPtr = std::unique_ptr<cairo_font_options_t, CairoDeleter>;
using FontPtr = std::unique_ptr<PangoFontDescription, CairoDeleter>;
using PangoContextPtr = std::unique_ptr<PangoContext, CairoDeleter>;
using LayoutPtr = std::unique_ptr<PangoLayout, CairoDeleter>;

}  // namespace nlpeval::metrics

#endif  // NLPEVAL_METRICS_INTERNAL_CAIRO_HANDLES_H_
