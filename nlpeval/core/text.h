#ifndef NLPEVAL_CORE_TEXT_H_
#define NLPEVAL_CORE_TEXT_H_

// Pieces of input text shown in error messages.

#include <cstddef>
#include <string>
#include <string_view>

namespace nlpeval {

// How much of a text an error message quotes.
inline constexpr size_t kQuotedBytes = 80;

// `text` in single quotes for a message: 'text', or its first kQuotedBytes bytes, cut back to
// a code-point boundary, then "...'" when it is longer. The bytes are copied as they are.
// (Not named `quoted`: argument-dependent lookup would find std::quoted for std::string.)
std::string quoted_excerpt(std::string_view text);

}  // namespace nlpeval

#endif  // NLPEVAL_CORE_TEXT_H_
