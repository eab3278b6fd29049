#include "nlpeval/core/utf8.h"

#include <simdjson.h>
#include <utf8.h>

#include <iterator>

#include "nlpeval/core/errors.h"

namespace nlpeval::utf8 {

// simdjson's check holds to the same rules as the rest of this file, many bytes at a time.
bool is_valid(std::string_view text) { return simdjson::validate_utf8(text.data(), text.size()); }

size_t find_invalid(std::string_view text) {
  auto invalid = ::utf8::find_invalid(text.begin(), text.end());
  return invalid == text.end() ? std::string_view::npos
                               : static_cast<size_t>(invalid - text.begin());
}

size_t length(std::string_view text) {
  // Every code point has exactly one byte that is not a continuation byte (10xxxxxx).
  size_t count = 0;
  for (char byte : text) count += (static_cast<unsigned char>(byte) & 0xC0) != 0x80;
  return count;
}

std::u32string decode(std::string_view text) {
  size_t invalid = find_invalid(text);
  if (invalid != std::string_view::npos) {
    throw ValueError("invalid UTF-8 at byte " + std::to_string(invalid));
  }
  std::u32string code_points;
  code_points.reserve(text.size());
  ::utf8::unchecked::utf8to32(text.begin(), text.end(), std::back_inserter(code_points));
  return code_points;
}

std::string encode(std::u32string_view code_points) {
  std::string text;
  text.reserve(code_points.size());
  ::utf8::unchecked::utf32to8(code_points.begin(), code_points.end(), std::back_inserter(text));
  return text;
}

std::string replace_invalid(std::string_view text) {
  constexpr std::string_view kReplacement = "\xEF\xBF\xBD";
  std::string out;
  out.reserve(text.size());
  while (!text.empty()) {
    const size_t bad = find_invalid(text);
    std::string_view good = text.substr(0, bad);
    for (size_t nul = good.find('\0'); nul != std::string_view::npos; nul = good.find('\0')) {
      out.append(good.substr(0, nul)).append(kReplacement);
      good.remove_prefix(nul + 1);
    }
    out.append(good);
    if (bad == std::string_view::npos) break;
    // One replacement per byte: the next byte may start a well-formed sequence.
    out += kReplacement;
    text.remove_prefix(bad + 1);
  }
  return out;
}

}  // namespace nlpeval::utf8
