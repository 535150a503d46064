#include "platform/text.h"

#include <gtest/gtest.h>

namespace tarnu::platform {
namespace {

TEST(TextTest, Utf16ToUtf8ReplacesUnpairedSurrogates) {
  struct Case {
    std::u16string input;
    std::string expected;
  };
  const Case cases[] = {
      {u"Default", "Default"},
      {u"", ""},
      {u"S-1-5-21-0-0-0-1000", "S-1-5-21-0-0-0-1000"},
      {u"caf\u00e9", "caf\xc3\xa9"},
      {u"\u20ac", "\xe2\x82\xac"},
      {u"\U0001F600", "\xf0\x9f\x98\x80"},
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

TEST(TextTest, Utf8ToUtf16RoundTripsAndReplacesInvalidBytes) {
  EXPECT_EQ(utf8_to_utf16("\\\\.\\pipe\\tarnu-input-s1"), u"\\\\.\\pipe\\tarnu-input-s1");
  EXPECT_EQ(utf8_to_utf16("\xf0\x9f\x98\x80"), u"\U0001F600");
  EXPECT_EQ(utf8_to_utf16("a\xff"
                          "b"),
            u"a\uFFFDb");
  EXPECT_EQ(utf8_to_utf16("\xe2\x82"), u"\uFFFD");                  // truncated sequence
  EXPECT_EQ(utf8_to_utf16("\xed\xa0\x80"), u"\uFFFD\uFFFD\uFFFD");  // encoded surrogate
  EXPECT_EQ(utf16_to_utf8(utf8_to_utf16("C:\\ProgramData\\Tarnu")), "C:\\ProgramData\\Tarnu");
}

}  // namespace
}  // namespace tarnu::platform
