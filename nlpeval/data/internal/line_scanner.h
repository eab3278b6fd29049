#ifndef NLPEVAL_DATA_INTERNAL_LINE_SCANNER_H_
#define NLPEVAL_DATA_INTERNAL_LINE_SCANNER_H_

// Finding the lines of a chunk of JSON Lines text before it is parsed as one array.

#include <cstddef>
#include <string_view>
#include <vector>

namespace nlpeval {

// A non-blank line of a chunk: the offsets of its first byte and of its line break (or of the
// end of the text when it has none), and how many lines of the chunk come before it.
struct LineSpan {
  size_t begin;
  size_t end;
  size_t index;

  friend bool operator==(const LineSpan&, const LineSpan&) = default;
};

struct ScannedLines {
  // Whether joining the lines with commas inside [ and ] can only give an array whose
  // elements are the lines (see scan_lines).
  bool stay_apart;
  size_t count;  // of all lines, blank ones included
};

// Sets `lines` to the non-blank lines of `text` and tells, without parsing, whether no line
// break falls inside a string and every line closes as many brackets as it opens. Then each
// comma put between lines separates two elements of the joined array, so when the array
// parses and has as many elements as there are lines, each line alone is exactly one JSON
// value. A failed check means some line is not one value, though an earlier line may be wrong
// in another way, so the lines must then be parsed one by one.
ScannedLines scan_lines(std::string_view text, std::vector<LineSpan>& lines);

// The instruction sets scan_lines chooses from, best last; it takes the best this machine
// runs. Every one must give the same result.
enum class ScanVariant { baseline, popcnt, avx2 };

bool can_scan_with(ScanVariant variant);

// scan_lines with the given variant, which this machine must run (can_scan_with).
ScannedLines scan_lines_with(ScanVariant variant, std::string_view text,
                             std::vector<LineSpan>& lines);

}  // namespace nlpeval

#endif  // NLPEVAL_DATA_INTERNAL_LINE_SCANNER_H_
