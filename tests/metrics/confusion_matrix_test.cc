#include "nlpeval/metrics/confusion_matrix.h"

#include <cairo.h>
#include <glib.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "nlpeval/core/errors.h"
#include "test_support.h"

namespace nlpeval::metrics {
namespace {

namespace fs = std::filesystem;
using Labels = std::vector<std::string>;
using testing::message_of;

// A fresh empty folder, removed with the object.
class Folder {
 public:
  Folder() {
    std::random_device seed;
    path_ = fs::temp_directory_path() /
            ("nlpeval-plot-" + std::to_string(seed()) + std::to_string(seed()));
    fs::create_directories(path_);
  }
  ~Folder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  Folder(const Folder&) = delete;
  Folder& operator=(const Folder&) = delete;

  std::string operator/(const std::string& name) const { return (path_ / name).string(); }

  // Names of the files in the folder, sorted.
  std::vector<std::string> entries() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(path_)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  fs::path path_;
};

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Colour {
  int r, g, b;
};

constexpr Colour kLightest{0xff, 0xff, 0xd9};  // the colour of 0
constexpr Colour kDarkest{0x08, 0x1d, 0x58};   // the colour of the largest count

bool same(const Colour& a, const Colour& b) {
  return std::abs(a.r - b.r) <= 1 && std::abs(a.g - b.g) <= 1 && std::abs(a.b - b.b) <= 1;
}

// Relative brightness, 0 (black) to 1 (white); enough to order colours.
double brightness(const Colour& c) { return (0.2126 * c.r + 0.7152 * c.g + 0.0722 * c.b) / 255; }

// A PNG read back with cairo.
class Png {
 public:
  explicit Png(const std::string& path)
      : surface_(cairo_image_surface_create_from_png(path.c_str())) {}
  ~Png() { cairo_surface_destroy(surface_); }
  Png(const Png&) = delete;
  Png& operator=(const Png&) = delete;

  bool ok() const { return cairo_surface_status(surface_) == CAIRO_STATUS_SUCCESS; }
  int width() const { return cairo_image_surface_get_width(surface_); }
  int height() const { return cairo_image_surface_get_height(surface_); }

  // Outside the picture: a colour no pixel has.
  Colour at(int x, int y) const {
    if (x < 0 || y < 0 || x >= width() || y >= height()) return {-100, -100, -100};
    const unsigned char* row = cairo_image_surface_get_data(surface_) +
                               static_cast<ptrdiff_t>(y) * cairo_image_surface_get_stride(surface_);
    uint32_t pixel;  // 0xXXRRGGBB in native byte order
    std::memcpy(&pixel, row + static_cast<ptrdiff_t>(4) * x, sizeof pixel);
    return {static_cast<int>((pixel >> 16) & 0xFF), static_cast<int>((pixel >> 8) & 0xFF),
            static_cast<int>(pixel & 0xFF)};
  }

 private:
  cairo_surface_t* surface_;
};

// The cells of a picture, found from the picture itself: the first pixel in reading order
// with the colour of 0 is the top-left corner of cell (0, 0), and the next run of that colour
// on the same line starts cell (0, 1). Both cells must count 0.
struct Grid {
  int x = -1, y = -1, pitch = 0;

  bool found() const { return pitch > 0; }

  // Pixels inside cell (row, column), clear of the centred count and the cell border.
  std::vector<Colour> corners(const Png& png, int row, int column) const {
    int left = x + column * pitch + 3, top = y + row * pitch + 3, far = pitch - 8;
    return {png.at(left, top), png.at(left + far, top), png.at(left, top + far),
            png.at(left + far, top + far)};
  }

  // Every pixel inside cell (row, column).
  std::vector<Colour> pixels(const Png& png, int row, int column) const {
    std::vector<Colour> all;
    for (int dy = 2; dy < pitch - 3; ++dy) {
      for (int dx = 2; dx < pitch - 3; ++dx) {
        all.push_back(png.at(x + column * pitch + dx, y + row * pitch + dy));
      }
    }
    return all;
  }
};

Grid find_grid(const Png& png) {
  Grid grid;
  for (int y = 0; y < png.height() && grid.x < 0; ++y) {
    for (int x = 0; x < png.width(); ++x) {
      if (same(png.at(x, y), kLightest)) {
        grid.x = x;
        grid.y = y;
        break;
      }
    }
  }
  if (grid.x < 0) return grid;
  int x = grid.x;
  while (x < png.width() && same(png.at(x, grid.y), kLightest)) ++x;
  while (x < png.width() && !same(png.at(x, grid.y), kLightest)) ++x;
  if (x < png.width()) grid.pitch = x - grid.x;
  return grid;
}

// The colour all four corners of a cell share; fails the test when they differ.
Colour cell_colour(const Png& png, const Grid& grid, int row, int column) {
  std::vector<Colour> corners = grid.corners(png, row, column);
  for (const Colour& corner : corners) {
    EXPECT_TRUE(same(corner, corners[0])) << "cell (" << row << ", " << column << ")";
  }
  return corners[0];
}

// Short labels "aa", "ab", ...: they never widen the picture.
Labels short_labels(size_t n) {
  Labels labels;
  for (size_t i = 0; i < n; ++i) {
    labels.push_back({static_cast<char>('a' + i / 26), static_cast<char>('a' + i % 26)});
  }
  return labels;
}

// Pango reports text it cannot handle as a glib warning and draws it anyway; the writer counts
// those warnings. Glib takes one writer per process.
std::atomic<int> glib_warnings{0};

GLogWriterOutput count_warnings(GLogLevelFlags level, const GLogField* fields, gsize n_fields,
                                gpointer data) {
  if (level & (G_LOG_LEVEL_WARNING | G_LOG_LEVEL_CRITICAL)) ++glib_warnings;
  return g_log_writer_default(level, fields, n_fields, data);
}

void watch_glib_warnings() {
  static std::once_flag once;
  std::call_once(once, [] { g_log_set_writer_func(count_warnings, nullptr, nullptr); });
}

TEST(PlotConfusionMatrix, WritesTheFileTypeOfTheExtensionAndNothingElse) {
  Folder folder;
  Labels gold = {"人名", "地名", "人名"}, predicted = {"人名", "人名", "地名"};
  Labels columns = {"人名", "地名"};
  plot_confusion_matrix(gold, predicted, columns, "YlGnBu", folder / "m.png");
  plot_confusion_matrix(gold, predicted, columns, "YlGnBu", folder / "m.svg");
  plot_confusion_matrix(gold, predicted, columns, "YlGnBu", folder / "m.pdf");
  plot_confusion_matrix(gold, predicted, columns, "YlGnBu", folder / "upper.PNG");
  // Drawing again replaces the picture.
  plot_confusion_matrix(gold, predicted, columns, "YlGnBu", folder / "m.png");

  EXPECT_EQ(read_file(folder / "m.png").substr(0, 8), "\x89PNG\r\n\x1a\n");
  EXPECT_NE(read_file(folder / "m.svg").find("<svg"), std::string::npos);
  EXPECT_EQ(read_file(folder / "m.pdf").substr(0, 5), "%PDF-");
  EXPECT_EQ(read_file(folder / "upper.PNG").substr(1, 3), "PNG");
  // No temporary file is left behind.
  EXPECT_EQ(folder.entries(), (Labels{"m.pdf", "m.png", "m.svg", "upper.PNG"}));
}

TEST(PlotConfusionMatrix, PictureGrowsWithTheLabelCountAndKeepsCellsLegible) {
  Folder folder;
  plot_confusion_matrix({}, {}, short_labels(3), "YlGnBu", folder / "3.png");
  plot_confusion_matrix({}, {}, short_labels(60), "YlGnBu", folder / "60.png");
  Png small(folder / "3.png"), large(folder / "60.png");
  ASSERT_TRUE(small.ok() && large.ok());
  Grid small_grid = find_grid(small), large_grid = find_grid(large);
  ASSERT_TRUE(small_grid.found() && large_grid.found());

  // Only the matrix grows: what lies around it is the same for both.
  EXPECT_EQ(large.width() - 60 * large_grid.pitch, small.width() - 3 * small_grid.pitch);
  EXPECT_EQ(large.height() - 60 * large_grid.pitch, small.height() - 3 * small_grid.pitch);
  EXPECT_EQ(large_grid.x, small_grid.x);
  EXPECT_EQ(large_grid.y, small_grid.y);
  // Sixty labels still get cells that hold a count in a readable size.
  EXPECT_GE(large_grid.pitch, 36);
  EXPECT_GE(small_grid.pitch, large_grid.pitch);
}

TEST(PlotConfusionMatrix, LongLabelsWidenThePictureWithinBounds) {
  Folder folder;
  Labels columns = {"a", "b", "c"};
  plot_confusion_matrix({}, {}, columns, "YlGnBu", folder / "short.png");
  columns[1] = "organization_headquarters(e1,e2)";
  plot_confusion_matrix({}, {}, columns, "YlGnBu", folder / "long.png");
  columns[1] = std::string(100000, 'w');
  plot_confusion_matrix({}, {}, columns, "YlGnBu", folder / "hostile.png");
  Png short_labels(folder / "short.png"), long_labels(folder / "long.png");
  Png hostile(folder / "hostile.png");
  ASSERT_TRUE(short_labels.ok() && long_labels.ok() && hostile.ok());

  // The label is drawn in full rather than cut, on the left and below.
  EXPECT_GT(long_labels.width(), short_labels.width() + 100);
  EXPECT_GT(long_labels.height(), short_labels.height() + 50);
  // A label of any length is shortened to a few hundred pixels.
  EXPECT_LT(hostile.width(), 1000);
  EXPECT_LT(hostile.height(), 1000);
}

TEST(PlotConfusionMatrix, CellsAreColouredByCountWithGoldInRows) {
  Folder folder;
  Labels gold, predicted;
  auto add = [&](const std::string& g, const std::string& p, int times) {
    gold.insert(gold.end(), times, g);
    predicted.insert(predicted.end(), times, p);
  };
  add("c", "a", 6);  // the largest count: row c, column a
  add("b", "b", 3);
  add("a", "c", 1);
  // Pairs with a label outside the columns are not drawn anywhere.
  add("zz", "a", 10);
  add("a", "zz", 10);
  add("zz", "zz", 10);
  plot_confusion_matrix(gold, predicted, {"a", "b", "c"}, "YlGnBu", folder / "m.png");
  Png png(folder / "m.png");
  ASSERT_TRUE(png.ok());
  Grid grid = find_grid(png);
  ASSERT_TRUE(grid.found());

  EXPECT_TRUE(same(cell_colour(png, grid, 2, 0), kDarkest));
  for (auto [row, column] : {std::pair{0, 0}, {0, 1}, {1, 0}, {1, 2}, {2, 1}, {2, 2}}) {
    EXPECT_TRUE(same(cell_colour(png, grid, row, column), kLightest))
        << "cell (" << row << ", " << column << ")";
  }
  double three = brightness(cell_colour(png, grid, 1, 1));
  double one = brightness(cell_colour(png, grid, 0, 2));
  EXPECT_LT(brightness(kDarkest), three);
  EXPECT_LT(three, one);
  EXPECT_LT(one, brightness(kLightest));
}

TEST(PlotConfusionMatrix, CountsAreWrittenInAColourThatReads) {
  Folder folder;
  plot_confusion_matrix({"b", "b"}, {"b", "b"}, {"a", "b", "c"}, "YlGnBu", folder / "m.png");
  Png png(folder / "m.png");
  ASSERT_TRUE(png.ok());
  Grid grid = find_grid(png);
  ASSERT_TRUE(grid.found());
  auto extremes = [&](int row, int column) {
    std::pair<double, double> range{1, 0};
    for (const Colour& pixel : grid.pixels(png, row, column)) {
      range = {std::min(range.first, brightness(pixel)), std::max(range.second, brightness(pixel))};
    }
    return range;
  };
  EXPECT_GT(extremes(1, 1).second, 0.9);  // light text on the darkest cell
  EXPECT_LT(extremes(0, 0).first, 0.1);   // dark text on the lightest cell
}

TEST(PlotConfusionMatrix, HostileLabelsAreDrawnWithoutComplaint) {
  watch_glib_warnings();
  Folder folder;
  const std::vector<Labels> cases = {
      {"bad\xff\xfe", std::string("nul\0byte", 8), "line\nfeed", "\xe4\xb8", "\xed\xa0\x80"},
      {},  // nothing to show: a titled picture, not a failure
  };
  int warnings_before = glib_warnings;
  for (const Labels& columns : cases) {
    Labels gold = columns, predicted = columns;
    gold.push_back("not a column");
    predicted.push_back("\xc0\xaf");
    plot_confusion_matrix(gold, predicted, columns, "YlGnBu", folder / "m.svg");
    EXPECT_TRUE(fs::exists(folder / "m.svg"));
  }
  EXPECT_EQ(glib_warnings, warnings_before);
}

TEST(PlotConfusionMatrix, RefusesArgumentsItCannotDraw) {
  Folder folder;
  std::string png = folder / "m.png";
  EXPECT_THROW(plot_confusion_matrix({"a"}, {}, {"a"}, "YlGnBu", png), ValueError);
  EXPECT_THROW(plot_confusion_matrix({}, {}, {"a", "b", "a"}, "YlGnBu", png), ValueError);
  EXPECT_THROW(plot_confusion_matrix({}, {}, short_labels(1200), "YlGnBu", png), ValueError);

  std::string unknown_map =
      message_of<ValueError>([&] { plot_confusion_matrix({}, {}, {"a"}, "viridis", png); });
  EXPECT_NE(unknown_map.find("viridis"), std::string::npos) << unknown_map;
  EXPECT_NE(unknown_map.find("YlGnBu"), std::string::npos) << unknown_map;

  for (const char* name : {"m.jpg", "m", "m.png.txt", "png"}) {
    std::string message = message_of<ValueError>(
        [&] { plot_confusion_matrix({}, {}, {"a"}, "YlGnBu", folder / name); });
    EXPECT_NE(message.find(".png, .svg, .pdf"), std::string::npos) << message;
  }
  EXPECT_TRUE(folder.entries().empty());
}

TEST(PlotConfusionMatrix, UnwritableTargetIsAFileErrorNamingThePath) {
  Folder folder;
  std::string missing = folder / "no/such/folder/m.png";
  std::string message =
      message_of<FileError>([&] { plot_confusion_matrix({}, {}, {"a"}, "YlGnBu", missing); });
  EXPECT_NE(message.find(missing), std::string::npos) << message;

  // A folder in the way of the picture: the temporary file is removed again.
  fs::create_directory(folder / "taken.png");
  std::string taken = folder / "taken.png";
  message = message_of<FileError>([&] { plot_confusion_matrix({}, {}, {"a"}, "YlGnBu", taken); });
  EXPECT_NE(message.find(taken), std::string::npos) << message;
  EXPECT_EQ(folder.entries(), Labels{"taken.png"});
}

}  // namespace
}  // namespace nlpeval::metrics
