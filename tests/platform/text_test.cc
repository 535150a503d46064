#include "platform/text.h"

#include <gtest/gtest.h>

#include <limits>

#include "platform/windows_error.h"

namespace tarnu::platform {
namespace {

TEST(Utf8Check, FindsTheFirstInvalidSequenceAndItsLength) {
  const struct {
    std::string_view bytes;
    bool valid;
    std::size_t valid_up_to;
    std::uint8_t error_length;  // 0: ends inside a sequence
  } cases[] = {
      {"", true, 0, 0},
      {"plain", true, 5, 0},
      {"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", true, 9, 0},
      {"\xFF", false, 0, 1},
      {"ab\x80", false, 2, 1},    // lone continuation byte
      {"\xC0\xAF", false, 0, 1},  // overlong lead byte
      {"\xC1\xBF", false, 0, 1},
      {"\xE0\x80\x80", false, 0, 1},      // overlong three-byte form
      {"\xED\xA0\x80", false, 0, 1},      // surrogate
      {"\xF0\x80\x80\x80", false, 0, 1},  // overlong four-byte form
      {"\xF4\x90\x80\x80", false, 0, 1},  // above U+10FFFF
      {"\xF5\x80", false, 0, 1},
      {"\xC3(", false, 0, 1},
      {"a\xE2\x82(", false, 1, 2},
      {"\xF0\x9F\x98(", false, 0, 3},
      {"\xF0\x9F(", false, 0, 2},
      {"ab\xE2\x82", false, 2, 0},  // cut inside a valid prefix
      {"\xF0\x9F\x98", false, 0, 0},
      {"\xC3", false, 0, 0},
      {"\xED\x9F\xBF", true, 3, 0},      // U+D7FF, just below the surrogates
      {"\xF4\x8F\xBF\xBF", true, 4, 0},  // U+10FFFF
  };
  for (const auto& c : cases) {
    const Utf8Check check = check_utf8(c.bytes);
    EXPECT_EQ(check.valid, c.valid) << ::testing::PrintToString(std::string(c.bytes));
    EXPECT_EQ(check.valid_up_to, c.valid_up_to) << ::testing::PrintToString(std::string(c.bytes));
    EXPECT_EQ(check.error_length, c.error_length) << ::testing::PrintToString(std::string(c.bytes));
    EXPECT_EQ(is_utf8(c.bytes), c.valid) << ::testing::PrintToString(std::string(c.bytes));
  }
}

// One decoder serves both conversions: each invalid sequence becomes one U+FFFD. Back from
// UTF-16, the text is the lossy UTF-8.
TEST(TextTest, InvalidUtf8BecomesOneReplacementPerSequence) {
  const std::string r = "\xEF\xBF\xBD";
  const struct {
    std::string bytes;
    std::string lossy;
    std::u16string utf16;
  } cases[] = {
      {"", "", u""},
      {"left", "left", u"left"},
      {"caf\xc3\xa9 \xe2\x82\xac", "caf\xc3\xa9 \xe2\x82\xac", u"caf\u00e9 \u20ac"},
      {"\\\\.\\pipe\\tarnu-input-s1", "\\\\.\\pipe\\tarnu-input-s1",
       u"\\\\.\\pipe\\tarnu-input-s1"},
      {"\xf0\x9f\x98\x80", "\xf0\x9f\x98\x80", u"\U0001F600"},
      {"a\xFF"
       "b",
       "a" + r + "b", u"a\uFFFDb"},
      {"\xE2\x82(\xFF\xFF", r + "(" + r + r, u"\uFFFD(\uFFFD\uFFFD"},
      {"ab\xF0\x9F\x98", "ab" + r, u"ab\uFFFD"},  // truncated sequence at the end
      {"\xe2\x82", r, u"\uFFFD"},
      {"\xed\xa0\x80", r + r + r, u"\uFFFD\uFFFD\uFFFD"},  // encoded surrogate
  };
  for (const auto& c : cases) {
    EXPECT_EQ(utf8_lossy(c.bytes), c.lossy) << ::testing::PrintToString(c.bytes);
    EXPECT_EQ(utf8_to_utf16(c.bytes), c.utf16) << ::testing::PrintToString(c.bytes);
    EXPECT_EQ(utf16_to_utf8(c.utf16), c.lossy) << ::testing::PrintToString(c.bytes);
  }
}

TEST(TextTest, Utf16ToUtf8ReplacesUnpairedSurrogates) {
  struct Case {
    std::u16string input;
    std::string expected;
  };
  const Case cases[] = {
      {std::u16string{u'a', char16_t(0xD800), u'b'},
       "a\xef\xbf\xbd"
       "b"},
      {std::u16string{char16_t(0xDC00)}, "\xef\xbf\xbd"},
      {std::u16string{char16_t(0xD83D)}, "\xef\xbf\xbd"},  // high surrogate at the end
      {std::u16string{char16_t(0xDE00), char16_t(0xD83D)}, "\xef\xbf\xbd\xef\xbf\xbd"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(utf16_to_utf8(c.input), c.expected);
  }
}

// Status file names, timestamps and error texts: UTF-8 and UTF-16 alike, both ends of each
// width, no leading zeros.
TEST(TextTest, AppendsDecimalToEitherText) {
  std::string text = "s";
  append_decimal(text, std::uint32_t{0});
  append_decimal(text, std::numeric_limits<std::uint64_t>::max());
  append_decimal(text, std::numeric_limits<std::int64_t>::min());
  append_decimal(text, std::uint8_t{255});
  EXPECT_EQ(text, "s018446744073709551615-9223372036854775808255");
  std::u16string wide = u"-s";
  append_decimal(wide, 4294967295u);
  EXPECT_EQ(wide, u"-s4294967295");
}

TEST(TextTest, WindowsErrorTexts) {
  EXPECT_EQ(windows_error_text("CreateNamedPipeW", 5),
            "CreateNamedPipeW failed with Windows error 5");
  EXPECT_EQ(windows_error_with_message("Access is denied.", 5),
            "Access is denied. (Windows error 5)");
  EXPECT_EQ(windows_error_with_message("", 4294967295u), "Windows error 4294967295");
}

}  // namespace
}  // namespace tarnu::platform
