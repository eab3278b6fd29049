#include "nlpeval/data/internal/line_scanner.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace nlpeval {
namespace {

struct Scan {
  bool stay_apart;
  size_t count;
  std::vector<LineSpan> lines;
};

Scan scanned(ScanVariant variant, const std::string& text) {
  Scan result{};
  const ScannedLines lines = scan_lines_with(variant, text, result.lines);
  result.stay_apart = lines.stay_apart;
  result.count = lines.count;
  return result;
}

TEST(ScanLines, FindsLinesAndTellsWhetherTheyStayApart) {
  const Scan plain = scanned(ScanVariant::baseline, "{\"a\": [1]}\n \r\n[2]");
  EXPECT_TRUE(plain.stay_apart);
  EXPECT_EQ(plain.count, 3u);
  EXPECT_EQ(plain.lines, (std::vector<LineSpan>{{0, 10, 0}, {14, 17, 2}}));
  // A bracket left open, or a line break inside a string, can join lines into one value.
  EXPECT_FALSE(scanned(ScanVariant::baseline, "[1,\n2]\n").stay_apart);
  EXPECT_FALSE(scanned(ScanVariant::baseline, "\"a\nb\"\n").stay_apart);
  // Brackets inside strings, escaped quotes and escaped backslashes do not count.
  EXPECT_TRUE(scanned(ScanVariant::baseline, "\"[{\\\"\"\n\"\\\\\"\n").stay_apart);
}

TEST(ScanLines, CarriesStringsAndEscapesAcrossBlocks) {
  // A backslash as the last byte of a 64-byte block escapes the quote that opens the next.
  std::string text = "\"" + std::string(61, 'x') + "\\\"[\"\n";
  ASSERT_EQ(text[63], '"');
  EXPECT_TRUE(scanned(ScanVariant::baseline, text).stay_apart);
  text = "\"" + std::string(62, 'x') + "\\\"[\"\n";
  ASSERT_EQ(text[63], '\\');
  EXPECT_TRUE(scanned(ScanVariant::baseline, text).stay_apart);
  text = std::string(62, ' ') + "[\"" + std::string(70, 'y') + "\n\"]\n";
  EXPECT_FALSE(scanned(ScanVariant::baseline, text).stay_apart);
}

// Every variant this machine runs must scan alike, on texts dense in the bytes that shape
// JSON and long enough to carry strings, escapes and brackets across blocks.
TEST(ScanLines, EveryVariantScansAlike) {
  static const char kBytes[] = {'"', '\\', '\n', '[', ']', '{', '}', ' ', '\r', 'a', '\xE4', '\t'};
  std::mt19937 random(11);
  for (int round = 0; round < 3000; ++round) {
    std::string text(random() % 300, ' ');
    for (char& byte : text) byte = kBytes[random() % sizeof kBytes];
    const Scan expected = scanned(ScanVariant::baseline, text);
    for (ScanVariant variant : {ScanVariant::popcnt, ScanVariant::avx2}) {
      if (!can_scan_with(variant)) continue;
      const Scan got = scanned(variant, text);
      ASSERT_EQ(got.stay_apart, expected.stay_apart) << "round " << round;
      ASSERT_EQ(got.count, expected.count) << "round " << round;
      ASSERT_EQ(got.lines, expected.lines) << "round " << round;
    }
  }
}

}  // namespace
}  // namespace nlpeval
