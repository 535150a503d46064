#include "platform/text.h"

#include <cstring>

namespace tarnu::platform {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

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

void append_utf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

bool is_high_surrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool is_low_surrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

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

char32_t next_code_point(std::string_view text, std::size_t& index) {
  const auto lead = static_cast<unsigned char>(text[index]);
  if (lead < 0x80) {
    ++index;
    return lead;
  }
  std::uint8_t error_length = 0;
  const std::size_t width = sequence_length(text, index, error_length);
  if (width == 0) {
    index = error_length == 0 ? text.size() : index + error_length;
    return kReplacement;
  }
  char32_t code_point = lead & (0x7F >> width);
  for (std::size_t offset = 1; offset < width; ++offset) {
    code_point = (code_point << 6) | (static_cast<unsigned char>(text[index + offset]) & 0x3F);
  }
  index += width;
  return code_point;
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

std::string utf16_to_utf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    if (is_high_surrogate(unit) && i + 1 < text.size() && is_low_surrogate(text[i + 1])) {
      const char32_t cp = 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) +
                          (static_cast<char32_t>(text[i + 1]) - 0xDC00);
      append_utf8(out, cp);
      ++i;
    } else if (is_high_surrogate(unit) || is_low_surrogate(unit)) {
      append_utf8(out, kReplacement);
    } else {
      append_utf8(out, unit);
    }
  }
  return out;
}

std::u16string utf8_to_utf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const char32_t cp = next_code_point(text, i);
    if (cp >= 0x10000) {
      out.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
  }
  return out;
}

}  // namespace tarnu::platform
