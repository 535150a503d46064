#include "protocol/utf8.h"

#include <cstring>

namespace tarnu::protocol {
namespace {

bool is_continuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// Length of the sequence at `index` when it is well-formed; otherwise 0 with `error_length`
// set (0 again when the bytes end before the sequence does).
std::size_t sequence_length(std::string_view bytes, std::size_t index, std::uint8_t& error_length) {
  const auto first = static_cast<unsigned char>(bytes[index]);
  std::size_t width = 0;
  unsigned char second_low = 0x80;
  unsigned char second_high = 0xBF;
  if (first >= 0xC2 && first <= 0xDF) {
    width = 2;
  } else if (first >= 0xE0 && first <= 0xEF) {
    width = 3;
    if (first == 0xE0) {
      second_low = 0xA0;  // overlong below U+0800
    } else if (first == 0xED) {
      second_high = 0x9F;  // surrogates
    }
  } else if (first >= 0xF0 && first <= 0xF4) {
    width = 4;
    if (first == 0xF0) {
      second_low = 0x90;  // overlong below U+10000
    } else if (first == 0xF4) {
      second_high = 0x8F;  // above U+10FFFF
    }
  } else {
    error_length = 1;
    return 0;
  }
  for (std::size_t offset = 1; offset < width; ++offset) {
    if (index + offset >= bytes.size()) {
      error_length = 0;
      return 0;
    }
    const auto byte = static_cast<unsigned char>(bytes[index + offset]);
    const bool fits =
        offset == 1 ? byte >= second_low && byte <= second_high : is_continuation(byte);
    if (!fits) {
      error_length = static_cast<std::uint8_t>(offset);
      return 0;
    }
  }
  return width;
}

}  // namespace

Utf8Check check_utf8(std::string_view bytes) {
  std::size_t index = 0;
  while (index < bytes.size()) {
    if (static_cast<unsigned char>(bytes[index]) < 0x80) {
      ++index;
      continue;
    }
    std::uint8_t error_length = 0;
    const std::size_t length = sequence_length(bytes, index, error_length);
    if (length == 0) {
      return Utf8Check{false, index, error_length};
    }
    index += length;
  }
  return Utf8Check{true, bytes.size(), 0};
}

bool is_utf8(std::string_view bytes) {
  // Eight bytes at a time while they are all ASCII.
  std::size_t index = 0;
  for (; index + 8 <= bytes.size(); index += 8) {
    std::uint64_t word = 0;
    std::memcpy(&word, bytes.data() + index, sizeof word);
    if ((word & 0x8080808080808080u) != 0) {
      return check_utf8(bytes.substr(index)).valid;
    }
  }
  for (; index < bytes.size(); ++index) {
    if (static_cast<unsigned char>(bytes[index]) >= 0x80) {
      return check_utf8(bytes.substr(index)).valid;
    }
  }
  return true;
}

std::string utf8_lossy(std::string_view bytes) {
  std::string text;
  text.reserve(bytes.size());
  while (!bytes.empty()) {
    const Utf8Check check = check_utf8(bytes);
    text.append(bytes.substr(0, check.valid_up_to));
    if (check.valid) {
      break;
    }
    text.append("\xEF\xBF\xBD");
    if (check.error_length == 0) {
      break;
    }
    bytes.remove_prefix(check.valid_up_to + check.error_length);
  }
  return text;
}

char32_t next_code_point(std::string_view text, std::size_t& index) {
  const auto first = static_cast<unsigned char>(text[index++]);
  if (first < 0x80) {
    return first;
  }
  int continuation = first >= 0xF0 ? 3 : first >= 0xE0 ? 2 : 1;
  char32_t code_point = first & (0x3F >> continuation);
  while (continuation-- > 0 && index < text.size()) {
    code_point = (code_point << 6) | (static_cast<unsigned char>(text[index++]) & 0x3F);
  }
  return code_point;
}

}  // namespace tarnu::protocol
