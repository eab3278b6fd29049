#include "nlpeval/core/value.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace nlpeval {

namespace {

void append_string_repr(const std::string& text, std::string& out) {
  out += '\'';
  for (char c : text) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\'':
        out += "\\'";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
          char escaped[5];
          std::snprintf(escaped, sizeof escaped, "\\x%02x", static_cast<unsigned char>(c));
          out += escaped;
        } else {
          out += c;  // bytes of non-ASCII text pass through unchanged
        }
    }
  }
  out += '\'';
}

// The shortest decimal digits that read back to a finite, non-negative double, with the
// exponent of the first digit: 1234.5 gives {"12345", 3}, 0.01 gives {"1", -2}.
struct Decimal {
  std::string digits;
  int exponent = 0;
};

Decimal shortest_decimal(double number) {
  char buffer[32];
  char* end =
      std::to_chars(buffer, buffer + sizeof buffer, number, std::chars_format::scientific).ptr;
  char* e = std::find(buffer, end, 'e');  // buffer holds "d.ddde+XX" or "de-XX"
  Decimal decimal;
  decimal.digits.push_back(buffer[0]);
  if (e - buffer > 2) decimal.digits.append(buffer + 2, e);
  const char* exponent_begin = e[1] == '+' ? e + 2 : e + 1;  // from_chars refuses a '+'
  std::from_chars(exponent_begin, end, decimal.exponent);
  return decimal;
}

// Writes a double as Python's repr does: shortest round-trip digits, positional when the
// exponent is in [-4, 16), else scientific with a signed exponent of at least two digits.
void append_float_repr(double number, std::string& out) {
  if (std::isnan(number)) {
    out += "nan";
    return;
  }
  if (std::signbit(number)) out += '-';
  if (std::isinf(number)) {
    out += "inf";
    return;
  }
  auto [digits, exponent] = shortest_decimal(std::fabs(number));
  if (exponent < -4 || exponent >= 16) {
    out += digits[0];
    if (digits.size() > 1) out.append(".").append(digits, 1);
    out.append(exponent < 0 ? "e-" : "e+");
    if (std::abs(exponent) < 10) out += '0';
    out += std::to_string(std::abs(exponent));
  } else if (exponent < 0) {
    out.append("0.").append(-exponent - 1, '0').append(digits);
  } else if (digits.size() <= static_cast<size_t>(exponent) + 1) {
    out.append(digits).append(exponent + 1 - digits.size(), '0').append(".0");
  } else {
    out.append(digits, 0, exponent + 1).append(".").append(digits, exponent + 1);
  }
}

void append_repr(const Value& value, std::string& out) {
  switch (value.type()) {
    case Value::value_t::null:
      out += "NONE";
      break;
    case Value::value_t::string:
      append_string_repr(value.get_ref<const std::string&>(), out);
      break;
    case Value::value_t::boolean:
      out += value.get<bool>() ? "True" : "False";
      break;
    case Value::value_t::number_integer:
    case Value::value_t::number_unsigned:
      out += value.dump();
      break;
    case Value::value_t::number_float:
      append_float_repr(value.get<double>(), out);
      break;
    case Value::value_t::array: {
      out += '[';
      const char* separator = "";
      for (const Value& element : value) {
        out += std::exchange(separator, ", ");
        append_repr(element, out);
      }
      out += ']';
      break;
    }
    case Value::value_t::object: {
      out += '{';
      const char* separator = "";
      for (const auto& [key, member] : value.items()) {
        out += std::exchange(separator, ", ");
        append_string_repr(key, out);
        out += ": ";
        append_repr(member, out);
      }
      out += '}';
      break;
    }
    default:  // binary and discarded values never come from records; show them as JSON
      out += value.dump();
  }
}

bool objects_equal_ignoring_order(const Value& a, const Value& b) {
  if (a.size() != b.size()) return false;
  for (const auto& [key, member] : a.items()) {
    auto found = b.find(key);
    if (found == b.end() || !equal_ignoring_order(member, *found)) return false;
  }
  return true;
}

}  // namespace

std::string repr(const Value& value) {
  std::string out;
  append_repr(value, out);
  return out;
}

bool equal_ignoring_order(const Value& a, const Value& b) {
  if (a.is_object() && b.is_object()) return objects_equal_ignoring_order(a, b);
  if (a.is_array() && b.is_array()) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), equal_ignoring_order);
  }
  return a == b;
}

}  // namespace nlpeval
