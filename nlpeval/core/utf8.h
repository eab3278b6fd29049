#ifndef NLPEVAL_CORE_UTF8_H_
#define NLPEVAL_CORE_UTF8_H_

// Unicode code points in UTF-8 text. Every character position of nlpeval counts code
// points, never bytes: convert a text once, then index the result.

#include <cstddef>
#include <string>
#include <string_view>

namespace nlpeval::utf8 {

// True when `text` is well-formed UTF-8 (no overlong forms, no surrogates).
bool is_valid(std::string_view text);

// Byte offset of the first byte that is not part of well-formed UTF-8, or npos.
size_t find_invalid(std::string_view text);

// Number of code points of a well-formed UTF-8 text.
size_t length(std::string_view text);

// The code points of a well-formed UTF-8 text. Throws ValueError on malformed input.
std::u32string decode(std::string_view text);

// The UTF-8 form of `code_points`.
std::string encode(std::u32string_view code_points);

// `text` with U+FFFD in place of every byte that is not part of well-formed UTF-8 and of
// every NUL: text that libraries taking C strings of UTF-8 accept and show whole.
std::string replace_invalid(std::string_view text);

}  // namespace nlpeval::utf8

#endif  // NLPEVAL_CORE_UTF8_H_
