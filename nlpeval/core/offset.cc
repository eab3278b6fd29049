#include "nlpeval/core/offset.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <string>

#include "nlpeval/core/errors.h"

namespace nlpeval {

Offset::Offset(int64_t number) : value_(number) {
  const auto [end, error] = std::to_chars(digits_.data(), digits_.data() + digits_.size(), number);
  digits_size_ = static_cast<uint8_t>(end - digits_.data());
}

Offset::Offset(std::string_view text) : value_(text) {}

Offset Offset::read(const Record& mention, std::string_view key) {
  return of(mention.at(key), key);
}

Offset Offset::of(const Record& value, std::string_view key) {
  switch (value.kind()) {
    case Kind::integer:
      return Offset(value.as_int(key));
    case Kind::string:
      return Offset(value.as_string(key));
    default:
      throw TypeError(std::string(key) + ": expected integer or string, got " +
                      std::string(kind_name(value.kind())));
  }
}

namespace {

// A decimal integer written out: its sign and its digits without leading zeros (none for 0).
struct Decimal {
  bool negative = false;
  std::string_view digits;
};

// "-012" -> {true, "12"}; nullopt unless `text` is an optional sign and one or more ASCII
// digits.
std::optional<Decimal> decimal_of(std::string_view text) {
  Decimal decimal;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    decimal.negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.empty() ||
      !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return std::nullopt;
  }
  text.remove_prefix(std::min(text.find_first_not_of('0'), text.size()));
  decimal.digits = text;
  if (text.empty()) decimal.negative = false;  // -0 is 0
  return decimal;
}

// a > b by value, for numbers of any length.
bool greater(const Decimal& a, const Decimal& b) {
  if (a.negative != b.negative) return b.negative;
  // Same sign: the longer magnitude is the larger, then the digits decide.
  const bool larger_magnitude =
      a.digits.size() != b.digits.size() ? a.digits.size() > b.digits.size() : a.digits > b.digits;
  const bool equal = a.digits == b.digits;
  return !equal && (a.negative ? !larger_magnitude : larger_magnitude);
}

}  // namespace

bool greater(const Offset& a, const Offset& b) {
  const int64_t* a_number = std::get_if<int64_t>(&a.value_);
  const int64_t* b_number = std::get_if<int64_t>(&b.value_);
  if (a_number != nullptr && b_number != nullptr) return *a_number > *b_number;
  // An integer's key text is its decimal form.
  const std::optional<Decimal> a_decimal = decimal_of(a.key_text());
  const std::optional<Decimal> b_decimal = decimal_of(b.key_text());
  if (a_decimal && b_decimal) return greater(*a_decimal, *b_decimal);
  if (a.value_.index() != b.value_.index()) {
    const bool a_is_number = std::holds_alternative<int64_t>(a.value_);
    throw TypeError(std::string("offset: cannot compare ") +
                    (a_is_number ? "an integer" : "a string") + " with " +
                    (a_is_number ? "a string" : "an integer"));
  }
  return a.value_ > b.value_;
}

int64_t Offset::number(std::string_view what) const {
  if (const int64_t* number = std::get_if<int64_t>(&value_)) return *number;
  throw TypeError(std::string(what) + ": expected integer, got string");
}

int64_t checked_distance(int64_t a, int64_t b, int64_t c, std::string_view what) {
  int64_t difference = 0;
  int64_t distance = 0;
  if (__builtin_sub_overflow(a, b, &difference) ||
      __builtin_sub_overflow(difference, c, &distance)) {
    throw ValueError(std::string(what) + ": out of the 64-bit integer range");
  }
  return distance;
}

}  // namespace nlpeval
