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

std::string_view strip_ascii_space(std::string_view text) {
  constexpr std::string_view kSpace = " \t\n\r\f\v";
  size_t begin = text.find_first_not_of(kSpace);
  if (begin == std::string_view::npos) return {};
  return text.substr(begin, text.find_last_not_of(kSpace) - begin + 1);
}

std::vector<std::string_view> split(std::string_view text, std::string_view separator) {
  std::vector<std::string_view> pieces;
  for (size_t end; (end = text.find(separator)) != std::string_view::npos;) {
    pieces.push_back(text.substr(0, end));
    text.remove_prefix(end + separator.size());
  }
  pieces.push_back(text);
  return pieces;
}

}  // namespace nlpeval
