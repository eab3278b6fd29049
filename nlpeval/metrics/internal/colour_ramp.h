#ifndef NLPEVAL_METRICS_INTERNAL_COLOUR_RAMP_H_
#define NLPEVAL_METRICS_INTERNAL_COLOUR_RAMP_H_

// The colours of the confusion-matrix picture: colour maps, and ink that reads on them.

#include <array>
#include <cstdint>
#include <string_view>

namespace nlpeval::metrics {

struct Rgb {
  double r, g, b;
};

constexpr Rgb rgb(uint32_t hex) {
  return {((hex >> 16) & 0xFF) / 255.0, ((hex >> 8) & 0xFF) / 255.0, (hex & 0xFF) / 255.0};
}

// Colour maps run from the colour of 0 to the colour of the largest count.
using Ramp = std::array<Rgb, 9>;

// The colour map named `cmap`. Throws ValueError for a name other than "YlGnBu".
const Ramp& ramp_named(std::string_view cmap);

// The colour at `t` (clamped to 0..1) of `ramp`, between its stops.
Rgb colour_at(const Ramp& ramp, double t);

// Black or white, whichever contrasts more with `background` (WCAG contrast ratio).
Rgb text_colour_on(const Rgb& background);

}  // namespace nlpeval::metrics

#endif  // NLPEVAL_METRICS_INTERNAL_COLOUR_RAMP_H_
