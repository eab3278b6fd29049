#include "nlpeval/core/text.h"

#include <gtest/gtest.h>

#include <string>

#include "nlpeval/core/utf8.h"

namespace nlpeval {
namespace {

TEST(QuotedExcerpt, ShortTextsWholeLongOnesCutOnACodePoint) {
  EXPECT_EQ(quoted_excerpt(""), "''");
  EXPECT_EQ(quoted_excerpt("(A0*"), "'(A0*'");
  const std::string at_limit(kQuotedBytes, 'a');
  EXPECT_EQ(quoted_excerpt(at_limit), "'" + at_limit + "'");
  EXPECT_EQ(quoted_excerpt(at_limit + "b"), "'" + at_limit + "...'");
  // "北" takes bytes 79 to 81: the cut moves back before it rather than split it.
  const std::string straddling = std::string(kQuotedBytes - 1, 'a') + "北北";
  EXPECT_EQ(quoted_excerpt(straddling), "'" + std::string(kQuotedBytes - 1, 'a') + "...'");
  // Bytes are copied as they are, quotes and invalid UTF-8 included.
  EXPECT_EQ(quoted_excerpt("it's \xFF"), "'it's \xFF'");
}

TEST(ReplaceInvalid, OneReplacementPerBadByteAndPerNul) {
  using namespace std::string_literals;
  const std::string r = "\uFFFD";
  EXPECT_EQ(utf8::replace_invalid(""), "");
  EXPECT_EQ(utf8::replace_invalid("北京 ok 😀"), "北京 ok 😀");
  EXPECT_EQ(utf8::replace_invalid("a\0b\0"s), "a" + r + "b" + r);
  EXPECT_EQ(utf8::replace_invalid("ab\xFF"
                                  "cd"),
            "ab" + r + "cd");
  EXPECT_EQ(utf8::replace_invalid("\xE4\xB8"), r + r);                  // cut short
  EXPECT_EQ(utf8::replace_invalid("x\xC0\xAF"), "x" + r + r);           // overlong
  EXPECT_EQ(utf8::replace_invalid("\xED\xA0\x80!"), r + r + r + "!");   // surrogate
  EXPECT_EQ(utf8::replace_invalid("\xF4\x90\x80\x80"), r + r + r + r);  // past U+10FFFF
  // A bad byte does not swallow the well-formed character after it.
  EXPECT_EQ(utf8::replace_invalid("\xE4北"), r + "北");
}

}  // namespace
}  // namespace nlpeval
