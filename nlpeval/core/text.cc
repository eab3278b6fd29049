#include "nlpeval/core/text.h"

namespace nlpeval {

std::string quoted_excerpt(std::string_view text) {
  size_t end = text.size();
  if (end > kQuotedBytes) {
    end = kQuotedBytes;
    // Back over continuation bytes (10xxxxxx) to the start of the cut character.
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  }
  std::string out(1, '\'');
  out.append(text.substr(0, end)).append(end < text.size() ? "...'" : "'");
  return out;
}

}  // namespace nlpeval
