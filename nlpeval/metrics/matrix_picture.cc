#include "nlpeval/metrics/internal/matrix_picture.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <string_view>
#include <unordered_map>

#include "nlpeval/core/utf8.h"
#include "nlpeval/metrics/internal/cairo_handles.h"

namespace nlpeval::metrics {
namespace {

constexpr Rgb kInk = rgb(0x222222);
constexpr Rgb kMutedInk = rgb(0x555555);

// ---------------------------------------------------------------------------------------
// Text

constexpr const char* kFontFamily = "WenQuanYi Micro Hei";

struct Style {
  double px;
  bool bold = false;
  int max_width = -1;  // pixels; longer text is shortened in the middle
};

// One line of laid-out text and its logical size in pixels.
struct Text {
  LayoutPtr layout;
  double width = 0;
  double height = 0;
};

// Lays out single lines of text for one cairo context, all in the one font family.
class Typesetter {
 public:
  explicit Typesetter(cairo_t* cr) : context_(pango_cairo_create_context(cr)) {
    // Unhinted metrics measure the same on the scratch surface, PNG, SVG and PDF.
    FontOptionsPtr options(cairo_font_options_create());
    cairo_font_options_set_hint_metrics(options.get(), CAIRO_HINT_METRICS_OFF);
    pango_cairo_context_set_font_options(context_.get(), options.get());
  }

  Text set(const std::string& text, const Style& style) const {
    LayoutPtr layout(pango_layout_new(context_.get()));
    FontPtr font(pango_font_description_new());
    pango_font_description_set_family(font.get(), kFontFamily);
    pango_font_description_set_absolute_size(font.get(), style.px * PANGO_SCALE);
    if (style.bold) pango_font_description_set_weight(font.get(), PANGO_WEIGHT_BOLD);
    pango_layout_set_font_description(layout.get(), font.get());
    // A line feed in a label is shown as a symbol instead of breaking the line.
    pango_layout_set_single_paragraph_mode(layout.get(), TRUE);
    if (style.max_width > 0) {
      pango_layout_set_width(layout.get(), style.max_width * PANGO_SCALE);
      pango_layout_set_ellipsize(layout.get(), PANGO_ELLIPSIZE_MIDDLE);
    }
    pango_layout_set_text(layout.get(), text.data(), static_cast<int>(text.size()));

    PangoRectangle logical;
    pango_layout_get_extents(layout.get(), nullptr, &logical);
    return {std::move(layout), static_cast<double>(logical.width) / PANGO_SCALE,
            static_cast<double>(logical.height) / PANGO_SCALE};
  }

 private:
  PangoContextPtr context_;
};

// A count with a unit, for counts too long to show in full: 12345678 as "12M", 1049000 as
// "1M", 1150000 as "1.2M".
std::string compact_count(uint64_t value) {
  static constexpr std::array<const char*, 7> kUnits = {"", "k", "M", "G", "T", "P", "E"};
  double scaled = static_cast<double>(value);
  size_t unit = 0;
  while (scaled >= 999.5 && unit + 1 < kUnits.size()) {
    scaled /= 1000;
    ++unit;
  }
  char text[32];
  std::snprintf(text, sizeof text, unit > 0 && scaled < 9.95 ? "%.1f" : "%.0f", scaled);
  std::string digits = text;
  if (digits.ends_with(".0")) digits.resize(digits.size() - 2);
  return digits + kUnits[unit];
}

// Labels beyond this many code points are cut in the middle before pango sees them, so a
// hostile label costs no more to shape than a long one; pango shortens them further.
constexpr size_t kMaxLabelCodePoints = 256;

std::string label_text(std::string_view label) {
  std::string text = utf8::replace_invalid(label);
  if (utf8::length(text) <= kMaxLabelCodePoints) return text;
  std::u32string code_points = utf8::decode(text);
  size_t half = kMaxLabelCodePoints / 2;
  return utf8::encode(code_points.substr(0, half)) + "\u2026" +
         utf8::encode(code_points.substr(code_points.size() - half));
}

// ---------------------------------------------------------------------------------------
// Layout, in pixels (one unit of the SVG and PDF surfaces).

constexpr int kMargin = 20;          // around the picture
constexpr int kGap = 8;              // between the matrix and its labels
constexpr int kTitleGap = 16;        // below the title
constexpr int kMinRowBand = 40;      // the label bands never shrink below these, so short
constexpr int kMinColumnBand = 24;   // labels all give the same picture
constexpr int kMaxLabelWidth = 280;  // longer labels are shortened
constexpr int kMinCell = 36;         // keeps counts and labels legible...
constexpr int kMaxCell = 72;
constexpr int kComfortableSide = 720;  // ...cells shrink from kMaxCell until this side
constexpr int kMaxSide = 4320;         // past kMaxSide / kMinCell labels, cells shrink again
constexpr int kBarGap = 24;
constexpr int kBarWidth = 18;
constexpr int kTickLength = 5;
constexpr double kTitlePx = 20;
constexpr double kAxisTitlePx = 15;
constexpr double kTickPx = 12;
constexpr double kColumnLabelAngle = -std::numbers::pi / 4;

int cell_size(size_t n) {
  int side = static_cast<int>(std::max<size_t>(n, 1));
  int cell = std::clamp(kComfortableSide / side, kMinCell, kMaxCell);
  return std::min(cell, kMaxSide / side);
}

struct Extent {
  double left = 0, top = 0, right = 0, bottom = 0;
};

// Where a column label turned by kColumnLabelAngle lies around its anchor; its end touches
// the anchor and its middle line passes through it.
Extent turned_extent(const Text& text) {
  cairo_matrix_t turn;
  cairo_matrix_init_rotate(&turn, kColumnLabelAngle);
  Extent extent{1e300, 1e300, -1e300, -1e300};
  for (double x : {-text.width, 0.0}) {
    for (double y : {-text.height / 2, text.height / 2}) {
      double tx = x, ty = y;
      cairo_matrix_transform_point(&turn, &tx, &ty);
      extent = {std::min(extent.left, tx), std::min(extent.top, ty), std::max(extent.right, tx),
                std::max(extent.bottom, ty)};
    }
  }
  return extent;
}

// Colour-bar ticks: 0 and multiples of a 1-2-5 step up to the largest count, with at most
// `intervals` steps between them.
std::vector<uint64_t> tick_values(uint64_t max, int intervals) {
  double top = static_cast<double>(max);
  double step = 1;
  for (double decade = 1; top / step > intervals; decade *= 10) {
    for (double m : {1.0, 2.0, 5.0}) {
      step = m * decade;
      if (top / step <= intervals) break;
    }
  }
  std::vector<uint64_t> ticks;
  for (double v = 0; v <= top; v += step) ticks.push_back(static_cast<uint64_t>(v));
  return ticks;
}

// Tick labels share one notation: in full, or all with units once the top one is long.
std::vector<std::string> tick_labels(const std::vector<uint64_t>& ticks) {
  bool long_numbers = !ticks.empty() && ticks.back() >= 100000;
  std::vector<std::string> labels;
  labels.reserve(ticks.size());
  for (uint64_t value : ticks) {
    labels.push_back(long_numbers ? compact_count(value) : std::to_string(value));
  }
  return labels;
}

// Everything measured before drawing: the size of the picture and where its parts go.
struct Picture {
  int cell = 0;
  double count_px = 0;
  int matrix_x = 0, matrix_y = 0, side = 0;
  int column_band = 0;  // height of the column labels below the matrix
  int width = 0, height = 0;
  bool turn_columns = false;
  std::vector<Text> labels;
  Text title, true_title, predicted_title;
  std::vector<uint64_t> ticks;
  std::vector<Text> tick_labels;

  // The top-left corner of cell (row, column).
  double cell_x(size_t column) const { return matrix_x + static_cast<double>(column) * cell; }
  double cell_y(size_t row) const { return matrix_y + static_cast<double>(row) * cell; }
};

// Sizes the bands around the matrix from the measured text. As long as the labels are short,
// only the matrix grows with the label count.
Picture lay_out(const Typesetter& type, const std::vector<std::string>& columns,
                uint64_t max_count) {
  Picture p;
  size_t n = columns.size();
  p.cell = cell_size(n);
  p.side = static_cast<int>(n) * p.cell;
  p.count_px = std::min(18.0, p.cell * 0.34);
  double label_px = std::min(15.0, p.cell * 0.38);

  p.title = type.set("Confusion matrix", {kTitlePx, true});
  p.true_title = type.set("true label", {kAxisTitlePx});
  p.predicted_title = type.set("predicted label", {kAxisTitlePx});

  double widest = 0, tallest = 0;
  for (const std::string& column : columns) {
    p.labels.push_back(type.set(label_text(column), {label_px, false, kMaxLabelWidth}));
    widest = std::max(widest, p.labels.back().width);
    tallest = std::max(tallest, p.labels.back().height);
  }
  p.turn_columns = widest > p.cell - 6;

  // Left: the axis title, the row labels, and room for turned column labels reaching left.
  double left = kMargin + p.true_title.height + kGap + std::max<double>(widest, kMinRowBand) + kGap;
  double column_band = tallest;
  if (p.turn_columns) {
    for (size_t j = 0; j < n; ++j) {
      Extent e = turned_extent(p.labels[j]);
      column_band = std::max(column_band, e.bottom - e.top);
      left = std::max(left, kMargin - e.left - (static_cast<double>(j) + 0.5) * p.cell);
    }
  }
  p.column_band = static_cast<int>(std::ceil(std::max<double>(column_band, kMinColumnBand)));
  p.matrix_x = static_cast<int>(std::ceil(left));
  p.matrix_y = static_cast<int>(std::ceil(kMargin + p.title.height + kTitleGap));

  // About one tick per 30 pixels of colour bar, so a short bar is not crowded.
  p.ticks = tick_values(max_count, std::clamp(p.side / 30, 2, 5));
  double tick_width = kMinRowBand;
  for (const std::string& label : tick_labels(p.ticks)) {
    p.tick_labels.push_back(type.set(label, {kTickPx}));
    tick_width = std::max(tick_width, p.tick_labels.back().width);
  }
  double right = kBarGap + kBarWidth + kTickLength + 4 + tick_width + kMargin;
  p.width = static_cast<int>(std::ceil(p.matrix_x + p.side + right));
  p.width = std::max(p.width, static_cast<int>(std::ceil(p.title.width)) + 2 * kMargin);
  p.height = static_cast<int>(std::ceil(p.matrix_y + p.side + kGap + p.column_band + kGap +
                                        p.predicted_title.height + kMargin));
  return p;
}

// ---------------------------------------------------------------------------------------
// Drawing

// Draws `text` with its top-left corner at (x, y) of the current transformation.
void show(cairo_t* cr, const Text& text, double x, double y, const Rgb& colour) {
  cairo_set_source_rgb(cr, colour.r, colour.g, colour.b);
  cairo_move_to(cr, x, y);
  pango_cairo_update_layout(cr, text.layout.get());
  pango_cairo_show_layout(cr, text.layout.get());
}

// Draws `text` turned by `angle` (radians, clockwise on screen) around (x, y), placed at
// (dx, dy) in the turned frame.
void show_turned(cairo_t* cr, const Text& text, double x, double y, double angle, double dx,
                 double dy, const Rgb& colour) {
  cairo_save(cr);
  cairo_translate(cr, x, y);
  cairo_rotate(cr, angle);
  show(cr, text, dx, dy, colour);
  cairo_restore(cr);
}

// The left end of text `width` wide centred on `centre`, kept inside the picture.
double centred(double centre, double width, const Picture& p) {
  return std::clamp(centre - width / 2, static_cast<double>(kMargin),
                    std::max<double>(kMargin, p.width - kMargin - width));
}

// The count of a cell in a size that fits `room` pixels: in full, a little smaller if need
// be, else with a unit.
Text count_text(const Typesetter& type, uint64_t count, double px, double room) {
  constexpr double kLeastScale = 0.75;
  Text text = type.set(std::to_string(count), {px});
  if (text.width <= room) return text;
  if (text.width * kLeastScale <= room) {
    return type.set(std::to_string(count), {px * room / text.width});
  }
  text = type.set(compact_count(count), {px});
  if (text.width <= room) return text;
  return type.set(compact_count(count), {px * room / text.width});
}

// Zero cells are most of a large matrix, so the matrix is first painted in the colour of 0
// with white lines between the cells, and only the other cells are filled one by one; this
// keeps SVG and PDF files small.
void draw_cells(cairo_t* cr, const Picture& p, const MatrixCounts& counts, const Ramp& ramp) {
  // One pixel less than the pitch leaves a white line between cells.
  double inner = p.cell - 1;
  Rgb zero = colour_at(ramp, 0);
  cairo_set_source_rgb(cr, zero.r, zero.g, zero.b);
  cairo_rectangle(cr, p.matrix_x, p.matrix_y, p.side - 1, p.side - 1);
  cairo_fill(cr);
  cairo_set_source_rgb(cr, 1, 1, 1);
  for (size_t k = 1; k < counts.n; ++k) {
    double offset = static_cast<double>(k) * p.cell - 1;
    cairo_rectangle(cr, p.matrix_x + offset, p.matrix_y, 1, p.side - 1);
    cairo_rectangle(cr, p.matrix_x, p.matrix_y + offset, p.side - 1, 1);
  }
  cairo_fill(cr);

  for (size_t i = 0; i < counts.n; ++i) {
    for (size_t j = 0; j < counts.n; ++j) {
      if (counts.at(i, j) == 0) continue;
      Rgb fill = colour_at(ramp, counts.share(i, j));
      cairo_set_source_rgb(cr, fill.r, fill.g, fill.b);
      cairo_rectangle(cr, p.cell_x(j), p.cell_y(i), inner, inner);
      cairo_fill(cr);
    }
  }
}

// Writes each count centred in its cell, unless the cells are too small to hold text.
void draw_counts(cairo_t* cr, const Picture& p, const MatrixCounts& counts, const Ramp& ramp) {
  if (p.count_px < 6) return;
  double inner = p.cell - 1;
  Typesetter type(cr);
  std::unordered_map<uint64_t, Text> texts;  // counts repeat; lay each out once
  for (size_t i = 0; i < counts.n; ++i) {
    for (size_t j = 0; j < counts.n; ++j) {
      uint64_t count = counts.at(i, j);
      auto found = texts.find(count);
      if (found == texts.end()) {
        found = texts.emplace(count, count_text(type, count, p.count_px, inner - 8)).first;
      }
      const Text& text = found->second;
      Rgb fill = colour_at(ramp, counts.share(i, j));
      show(cr, text, p.cell_x(j) + (inner - text.width) / 2,
           p.cell_y(i) + (inner - text.height) / 2, text_colour_on(fill));
    }
  }
}

void draw_labels(cairo_t* cr, const Picture& p) {
  double below = p.matrix_y + p.side + kGap;
  for (size_t k = 0; k < p.labels.size(); ++k) {
    const Text& label = p.labels[k];
    double centre = (static_cast<double>(k) + 0.5) * p.cell - 0.5;
    show(cr, label, p.matrix_x - kGap - label.width, p.matrix_y + centre - label.height / 2, kInk);
    if (p.turn_columns) {
      // The label ends under its column and reads upwards to the right.
      show_turned(cr, label, p.matrix_x + centre, below - turned_extent(label).top,
                  kColumnLabelAngle, -label.width, -label.height / 2, kInk);
    } else {
      show(cr, label, p.matrix_x + centre - label.width / 2, below, kInk);
    }
  }
}

void draw_titles(cairo_t* cr, const Picture& p) {
  double matrix_centre = p.matrix_x + p.side / 2.0;
  show(cr, p.title, centred(matrix_centre, p.title.width, p), kMargin, kInk);
  show(cr, p.predicted_title, centred(matrix_centre, p.predicted_title.width, p),
       p.matrix_y + p.side + kGap + p.column_band + kGap, kMutedInk);
  // Reads from bottom to top, centred on the rows.
  show_turned(cr, p.true_title, kMargin, p.matrix_y + p.side / 2.0, -std::numbers::pi / 2,
              -p.true_title.width / 2, 0, kMutedInk);
}

void draw_colour_bar(cairo_t* cr, const Picture& p, uint64_t max_count, const Ramp& ramp) {
  double x = p.matrix_x + p.side + kBarGap, top = p.matrix_y, height = p.side - 1;
  double bottom = top + height;
  PatternPtr gradient(cairo_pattern_create_linear(0, bottom, 0, top));
  for (size_t k = 0; k < ramp.size(); ++k) {
    double offset = static_cast<double>(k) / static_cast<double>(ramp.size() - 1);
    cairo_pattern_add_color_stop_rgb(gradient.get(), offset, ramp[k].r, ramp[k].g, ramp[k].b);
  }
  cairo_set_source(cr, gradient.get());
  cairo_rectangle(cr, x, top, kBarWidth, height);
  cairo_fill(cr);

  double scale = static_cast<double>(std::max<uint64_t>(max_count, 1));
  cairo_set_line_width(cr, 1);
  for (size_t k = 0; k < p.ticks.size(); ++k) {
    // Half-pixel rows keep one-pixel tick marks sharp.
    double y = std::round(bottom - static_cast<double>(p.ticks[k]) / scale * height) + 0.5;
    cairo_set_source_rgb(cr, kInk.r, kInk.g, kInk.b);
    cairo_move_to(cr, x + kBarWidth, y);
    cairo_line_to(cr, x + kBarWidth + kTickLength, y);
    cairo_stroke(cr);
    const Text& label = p.tick_labels[k];
    show(cr, label, x + kBarWidth + kTickLength + 4, y - label.height / 2, kInk);
  }
}

void draw(cairo_t* cr, const Picture& p, const MatrixCounts& counts, const Ramp& ramp) {
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_paint(cr);
  if (counts.n == 0) {
    show(cr, p.title, centred(p.width / 2.0, p.title.width, p), kMargin, kInk);
    Text note = Typesetter(cr).set("no labels to show", {kAxisTitlePx});
    show(cr, note, centred(p.width / 2.0, note.width, p), p.matrix_y, kMutedInk);
    return;
  }
  draw_cells(cr, p, counts, ramp);
  draw_counts(cr, p, counts, ramp);
  draw_labels(cr, p);
  draw_titles(cr, p);
  draw_colour_bar(cr, p, counts.max, ramp);
}

}  // namespace

void draw_matrix_picture(const std::vector<std::string>& columns, const MatrixCounts& counts,
                         const Ramp& ramp, PictureFormat format, const std::string& filename) {
  // Text is measured on a scratch surface before the picture's size is known.
  SurfacePtr scratch(cairo_image_surface_create(CAIRO_FORMAT_RGB24, 1, 1));
  ContextPtr measure(cairo_create(scratch.get()));
  const Picture picture = lay_out(Typesetter(measure.get()), columns, counts.max);
  auto draw_picture = [&](cairo_t* cr) { draw(cr, picture, counts, ramp); };
  write_picture(format, picture.width, picture.height, draw_picture, filename);
}

}  // namespace nlpeval::metrics
