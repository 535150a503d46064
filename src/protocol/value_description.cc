#include "protocol/value_description.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>

#include "platform/text.h"
#include "protocol/escaped_code_points.h"

namespace tarnu::protocol {
namespace {

void append_hex(std::string& out, char32_t code_point) {
  char digits[8];
  const auto result =
      std::to_chars(digits, digits + sizeof digits, static_cast<std::uint32_t>(code_point), 16);
  out.append(digits, result.ptr);
}

// std::to_chars settles a tie between two equally short and equally near digit strings
// towards the even last digit; error texts take the one farther from zero. `digits` and
// `exponent` are the shortest digits of `magnitude` (d.ddd × 10^exponent), changed in place
// when they lie on the near side of such a tie.
//
// A tie means the exact value is the n shortest digits with one more digit, a 5, after them.
// Write the magnitude as m × 2^e with m odd. For e ≥ 0 the value is an integer whose half-ulp
// is below the 5 × 10^e such a tie would need, so there is none. For e < 0 the exact value is
// m × 5^-e × 10^e: its significant digits are the integer m × 5^-e, which must then have
// n + 1 ≤ 18 digits and so fit in 64 bits. Anything larger, or of another length, is no tie;
// most values leave after a shift and a multiplication.
void round_tie_away_from_zero(std::string& digits, int exponent, double magnitude) {
  const auto bits = std::bit_cast<std::uint64_t>(magnitude);
  const auto biased_exponent = static_cast<int>(bits >> 52);
  std::uint64_t mantissa = bits & ((std::uint64_t{1} << 52) - 1);
  int binary_exponent = -1074;
  if (biased_exponent != 0) {
    mantissa |= std::uint64_t{1} << 52;
    binary_exponent = biased_exponent - 1075;
  }
  if (mantissa == 0 || digits.size() > 17) {
    return;
  }
  const int trailing_zeros = std::countr_zero(mantissa);
  mantissa >>= trailing_zeros;
  binary_exponent += trailing_zeros;
  // 5^27 alone exceeds 10^18.
  if (binary_exponent >= 0 || binary_exponent < -26) {
    return;
  }
  constexpr std::uint64_t kLimit = 1'000'000'000'000'000'000;  // 10^18
  std::uint64_t exact = mantissa;
  for (int power = 0; power < -binary_exponent; ++power) {
    if (exact > kLimit / 5) {
      return;
    }
    exact *= 5;
  }
  // The exact digits must be the shortest ones plus one, at the same scale: the last of them
  // then stands at 10^(exponent - n) = 10^binary_exponent.
  const int digit_count = static_cast<int>(digits.size());
  if (exponent - digit_count != binary_exponent) {
    return;
  }
  std::uint64_t shortest = 0;
  std::from_chars(digits.data(), digits.data() + digits.size(), shortest);
  if (exact != shortest * 10 + 5) {
    return;  // already the far side, or no tie at all
  }
  // The far neighbour must read back as the same value too; near a power of two the
  // interval that reads back is lopsided and it may not.
  char far[32];
  char* end = std::to_chars(far, far + 24, shortest + 1).ptr;
  if (end - far != digit_count) {
    return;
  }
  *end++ = 'e';
  end = std::to_chars(end, far + sizeof far, exponent - digit_count + 1).ptr;
  double read_back = 0;
  std::from_chars(far, end, read_back);
  if (read_back == magnitude) {
    digits.assign(far, static_cast<std::size_t>(digit_count));
  }
}

}  // namespace

void append_value_description(std::string& out, const BufferedValue& value) {
  switch (value.kind) {
    case ValueKind::kNil:
      out += "unit value";
      return;
    case ValueKind::kBoolean:
      out += value.boolean ? "boolean `true`" : "boolean `false`";
      return;
    case ValueKind::kUnsigned:
      out += "integer `";
      platform::append_decimal(out, value.unsigned_value);
      out += '`';
      return;
    case ValueKind::kSigned:
      out += "integer `";
      platform::append_decimal(out, value.signed_value);
      out += '`';
      return;
    case ValueKind::kFloat:
      out += "floating point `";
      append_float_text(out, value.float_value);
      out += '`';
      return;
    case ValueKind::kText:
      out += "string ";
      append_quoted_text(out, value.bytes());
      return;
    case ValueKind::kBytes:
      out += "byte array";
      return;
    case ValueKind::kArray:
      out += "sequence";
      return;
    case ValueKind::kMap:
      out += "map";
      return;
    case ValueKind::kExt:
      out += "newtype struct";
      return;
  }
}

void append_float_text(std::string& out, double value) {
  if (std::isnan(value)) {
    out += "NaN";
    return;
  }
  if (std::isinf(value)) {
    out += value < 0 ? "-inf" : "inf";
    return;
  }
  // The shortest round-trip digits come in scientific form ("-1.2345e+02"); they are laid
  // out again in plain positional form, padded with zeros where needed.
  char scientific[32];
  const auto result = std::to_chars(scientific, scientific + sizeof scientific, value,
                                    std::chars_format::scientific);
  std::string_view text(scientific, static_cast<std::size_t>(result.ptr - scientific));
  if (text.front() == '-') {
    out += '-';
    text.remove_prefix(1);
  }
  const std::size_t exponent_mark = text.find('e');
  int exponent = 0;
  std::from_chars(text.data() + exponent_mark + (text[exponent_mark + 1] == '+' ? 2 : 1),
                  text.data() + text.size(), exponent);
  std::string digits;
  for (const char c : text.substr(0, exponent_mark)) {
    if (c != '.') {
      digits += c;
    }
  }
  round_tie_away_from_zero(digits, exponent, std::fabs(value));
  const int digit_count = static_cast<int>(digits.size());
  if (exponent < 0) {
    out += "0.";
    out.append(static_cast<std::size_t>(-exponent - 1), '0');
    out += digits;
  } else if (exponent + 1 >= digit_count) {
    out += digits;
    out.append(static_cast<std::size_t>(exponent + 1 - digit_count), '0');
    out += ".0";
  } else {
    out.append(digits, 0, static_cast<std::size_t>(exponent + 1));
    out += '.';
    out.append(digits, static_cast<std::size_t>(exponent + 1));
  }
}

void append_quoted_text(std::string& out, std::string_view text) {
  out += '"';
  std::size_t index = 0;
  while (index < text.size()) {
    const std::size_t start = index;
    const char32_t code_point = platform::next_code_point(text, index);
    switch (code_point) {
      case U'"':
        out += "\\\"";
        continue;
      case U'\\':
        out += "\\\\";
        continue;
      case U'\t':
        out += "\\t";
        continue;
      case U'\r':
        out += "\\r";
        continue;
      case U'\n':
        out += "\\n";
        continue;
      case U'\0':
        out += "\\0";
        continue;
      default:
        break;
    }
    if (code_point != U' ' && is_escaped_code_point(code_point)) {
      out += "\\u{";
      append_hex(out, code_point);
      out += '}';
    } else {
      out.append(text, start, index - start);
    }
  }
  out += '"';
}

}  // namespace tarnu::protocol
