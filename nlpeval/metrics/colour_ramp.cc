#include "nlpeval/metrics/internal/colour_ramp.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "nlpeval/core/errors.h"

namespace nlpeval::metrics {
namespace {

// ColorBrewer's 9-class sequential Yellow-Green-Blue.
constexpr Ramp kYlGnBu = {rgb(0xffffd9), rgb(0xedf8b1), rgb(0xc7e9b4), rgb(0x7fcdbb), rgb(0x41b6c4),
                          rgb(0x1d91c0), rgb(0x225ea8), rgb(0x253494), rgb(0x081d58)};

double luminance(const Rgb& c) {
  auto linear = [](double v) {
    return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * linear(c.r) + 0.7152 * linear(c.g) + 0.0722 * linear(c.b);
}

}  // namespace

const Ramp& ramp_named(std::string_view cmap) {
  if (cmap == "YlGnBu") return kYlGnBu;
  throw ValueError("unknown colour map '" + std::string(cmap) + "'; supported: YlGnBu");
}

Rgb colour_at(const Ramp& ramp, double t) {
  double position = std::clamp(t, 0.0, 1.0) * static_cast<double>(ramp.size() - 1);
  size_t i = std::min(static_cast<size_t>(position), ramp.size() - 2);
  double f = position - static_cast<double>(i);
  const Rgb& a = ramp[i];
  const Rgb& b = ramp[i + 1];
  return {a.r + (b.r - a.r) * f, a.g + (b.g - a.g) * f, a.b + (b.b - a.b) * f};
}

Rgb text_colour_on(const Rgb& background) {
  double l = luminance(background);
  bool white_reads_better = (1.05 / (l + 0.05)) > ((l + 0.05) / 0.05);
  return white_reads_better ? Rgb{1, 1, 1} : Rgb{0, 0, 0};
}

}  // namespace nlpeval::metrics
