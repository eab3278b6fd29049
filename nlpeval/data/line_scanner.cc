#include "nlpeval/data/internal/line_scanner.h"

#include <bit>
#include <cstdint>
#include <cstring>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define NLPEVAL_X86_SCANS 1
#include <immintrin.h>
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace nlpeval {
namespace {

bool is_blank(std::string_view line) {
  return line.find_first_not_of(" \t\r") == std::string_view::npos;
}

// Where the bytes that shape JSON lie in 64 bytes of text, one bit per byte.
struct BlockMasks {
  uint64_t quotes = 0;
  uint64_t backslashes = 0;
  uint64_t line_breaks = 0;
  uint64_t opens = 0;   // [ and {
  uint64_t closes = 0;  // ] and }
};

// The scanner for the baseline instruction set.
namespace baseline {

#if defined(__SSE2__)
[[gnu::always_inline]] inline BlockMasks classify_block(const char* block) {
  BlockMasks masks;
  for (int part = 0; part < 4; ++part) {
    __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 16 * part));
    __m128i folded = _mm_or_si128(bytes, _mm_set1_epi8(0x20));  // '[' -> '{', ']' -> '}'
    auto where = [part](__m128i data, char wanted) {
      auto bits = _mm_movemask_epi8(_mm_cmpeq_epi8(data, _mm_set1_epi8(wanted)));
      return uint64_t{static_cast<uint16_t>(bits)} << (16 * part);
    };
    masks.quotes |= where(bytes, '"');
    masks.backslashes |= where(bytes, '\\');
    masks.line_breaks |= where(bytes, '\n');
    masks.opens |= where(folded, '{');
    masks.closes |= where(folded, '}');
  }
  return masks;
}
#else
[[gnu::always_inline]] inline BlockMasks classify_block(const char* block) {
  BlockMasks masks;
  for (int i = 0; i < 64; ++i) {
    uint64_t bit = uint64_t{1} << i;
    char folded = static_cast<char>(block[i] | 0x20);
    if (block[i] == '"') masks.quotes |= bit;
    if (block[i] == '\\') masks.backslashes |= bit;
    if (block[i] == '\n') masks.line_breaks |= bit;
    if (folded == '{') masks.opens |= bit;
    if (folded == '}') masks.closes |= bit;
  }
  return masks;
}
#endif

// Bit i is set when an odd number of bits at or below i are set in `bits`.
[[gnu::always_inline]] inline uint64_t prefix_xor(uint64_t bits) {
  for (int shift = 1; shift < 64; shift *= 2) bits ^= bits << shift;
  return bits;
}

#include "nlpeval/data/internal/line_scanner_steps.inc"

}  // namespace baseline

#ifdef NLPEVAL_X86_SCANS

// The same steps for x86-64 processors with popcnt, which the baseline lacks: without it
// every bracket count is a call into the compiler's runtime.
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("popcnt"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("popcnt")
#endif
namespace with_popcnt {
using baseline::classify_block;
using baseline::prefix_xor;
#include "nlpeval/data/internal/line_scanner_steps.inc"
}  // namespace with_popcnt
#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

// And for those with AVX2 and carry-less multiplication: a block is classified in two
// 32-byte halves, and the string mask is one multiplication.
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2,pclmul,popcnt"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2,pclmul,popcnt")
#endif
namespace with_avx2 {

// The bytes of the block equal to `wanted`, given as its two halves.
inline uint64_t bytes_equal(__m256i low, __m256i high, char wanted) {
  const __m256i pattern = _mm256_set1_epi8(wanted);
  const auto low_bits =
      static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(low, pattern)));
  const auto high_bits =
      static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(high, pattern)));
  return uint64_t{low_bits} | uint64_t{high_bits} << 32;
}

inline BlockMasks classify_block(const char* block) {
  const __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(block));
  const __m256i high = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(block + 32));
  const __m256i case_bit = _mm256_set1_epi8(0x20);  // '[' -> '{', ']' -> '}'
  const __m256i low_folded = _mm256_or_si256(low, case_bit);
  const __m256i high_folded = _mm256_or_si256(high, case_bit);
  BlockMasks masks;
  masks.quotes = bytes_equal(low, high, '"');
  masks.backslashes = bytes_equal(low, high, '\\');
  masks.line_breaks = bytes_equal(low, high, '\n');
  masks.opens = bytes_equal(low_folded, high_folded, '{');
  masks.closes = bytes_equal(low_folded, high_folded, '}');
  return masks;
}

// A carry-less multiplication by all ones xors every bit into all the bits above it.
inline uint64_t prefix_xor(uint64_t bits) {
  const __m128i product = _mm_clmulepi64_si128(_mm_set_epi64x(0, static_cast<int64_t>(bits)),
                                               _mm_set1_epi8(static_cast<char>(0xFF)), 0);
  return static_cast<uint64_t>(_mm_cvtsi128_si64(product));
}

#include "nlpeval/data/internal/line_scanner_steps.inc"

}  // namespace with_avx2
#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

#endif  // NLPEVAL_X86_SCANS

}  // namespace

bool can_scan_with(ScanVariant variant) {
  switch (variant) {
    case ScanVariant::baseline:
      return true;
#ifdef NLPEVAL_X86_SCANS
    case ScanVariant::popcnt:
      return __builtin_cpu_supports("popcnt");
    case ScanVariant::avx2:
      return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("pclmul") &&
             __builtin_cpu_supports("popcnt");
#endif
    default:
      return false;
  }
}

ScannedLines scan_lines_with(ScanVariant variant, std::string_view text,
                             std::vector<LineSpan>& lines) {
  switch (variant) {
#ifdef NLPEVAL_X86_SCANS
    case ScanVariant::avx2:
      return with_avx2::scan(text, lines);
    case ScanVariant::popcnt:
      return with_popcnt::scan(text, lines);
#endif
    default:
      return baseline::scan(text, lines);
  }
}

ScannedLines scan_lines(std::string_view text, std::vector<LineSpan>& lines) {
  static const ScanVariant best = can_scan_with(ScanVariant::avx2)     ? ScanVariant::avx2
                                  : can_scan_with(ScanVariant::popcnt) ? ScanVariant::popcnt
                                                                       : ScanVariant::baseline;
  return scan_lines_with(best, text, lines);
}

}  // namespace nlpeval
