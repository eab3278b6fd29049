#ifndef NLPEVAL_EVALUATOR_EVALUATES_INTERNAL_LINE_TAIL_H_
#define NLPEVAL_EVALUATOR_EVALUATES_INTERNAL_LINE_TAIL_H_

// The fields of a CoNLL line counted from its end, where dp scoring reads the head and the
// relation label. Internal to the dp scorer.

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "nlpeval/core/text.h"

namespace nlpeval::dp {

// The tabs that end the last fields of a line, found with one backward scan: field(1)
// would be the last field, field(3) the relation label, field(4) the head. Knows whether
// the line has more than 4 fields without splitting the rest of it.
class LineTail {
 public:
  explicit LineTail(std::string_view line) : line_(line) {
    size_t end = line.size();
    if constexpr (std::endian::native == std::endian::little) {
      // Eight bytes at a time: the tabs sit at unforeseeable places, where a loop over bytes
      // mispredicts a branch at nearly every one.
      for (; tabs_ < kMaxTabs && end >= 8; end -= 8) {
        uint64_t word;
        std::memcpy(&word, line.data() + end - 8, sizeof word);
        for (uint64_t tabs = tab_bytes(word); tabs != 0 && tabs_ < kMaxTabs;) {
          const int high = 63 - std::countl_zero(tabs);
          tab_[tabs_++] = end - 8 + static_cast<size_t>(high / 8);
          tabs ^= uint64_t{1} << high;
        }
      }
    }
    for (; tabs_ < kMaxTabs && end > 0; --end) {
      if (line[end - 1] == '\t') tab_[tabs_++] = end - 1;
    }
  }

  // The number of fields, counting no further than 5.
  int fields() const { return tabs_ + 1; }

  // The tab that opens the n-th field from the end; needs 1 <= n < fields().
  size_t tab(int n) const { return tab_[n - 1]; }

  // The n-th field from the end; needs 2 <= n <= min(fields(), 4).
  std::string_view field(int n) const {
    size_t end = tab_[n - 2];
    size_t begin = n - 1 < tabs_ ? tab_[n - 1] + 1 : 0;
    return line_.substr(begin, end - begin);
  }

 private:
  static constexpr int kMaxTabs = 4;

  // The top bit of each byte of `word` that is a tab, and no other bit.
  static uint64_t tab_bytes(uint64_t word) {
    constexpr uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Fu;
    const uint64_t zeroed = word ^ 0x0909090909090909u;  // tabs become zero bytes
    return ~(((zeroed & kLow7) + kLow7) | zeroed | kLow7);
  }

  std::string_view line_;
  std::array<size_t, kMaxTabs> tab_{};
  int tabs_ = 0;
};

inline std::string_view without_line_feed(std::string_view line) {
  if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
  return line;
}

// "the line has 3 tab-separated field(s), needs at least 4: '...'".
inline std::string field_error(const LineTail& tail, int needed, std::string_view line) {
  return "the line has " + std::to_string(tail.fields()) +
         " tab-separated field(s), needs at least " + std::to_string(needed) + ": " +
         quoted_excerpt(without_line_feed(line));
}

}  // namespace nlpeval::dp

#endif  // NLPEVAL_EVALUATOR_EVALUATES_INTERNAL_LINE_TAIL_H_
