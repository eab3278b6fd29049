#ifndef NLPEVAL_CORE_TEXT_H_
#define NLPEVAL_CORE_TEXT_H_

// Pieces of input text: shown in error messages, and cut into fields.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace nlpeval {

// How much of a text an error message quotes.
inline constexpr size_t kQuotedBytes = 80;

// `text` in single quotes for a message: 'text', or its first kQuotedBytes bytes, cut back to
// a code-point boundary, then "...'" when it is longer. The bytes are copied as they are.
// (Not named `quoted`: argument-dependent lookup would find std::quoted for std::string.)
std::string quoted_excerpt(std::string_view text);

// `text` without the ASCII white space at both ends.
std::string_view strip_ascii_space(std::string_view text);

// The pieces of `text` between the occurrences of `separator` (not empty), as Python's
// str.split(separator) gives them: one piece more than there are separators.
std::vector<std::string_view> split(std::string_view text, std::string_view separator);

}  // namespace nlpeval

#endif  // NLPEVAL_CORE_TEXT_H_
