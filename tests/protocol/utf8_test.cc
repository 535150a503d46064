#include "protocol/utf8.h"

#include <gtest/gtest.h>

#include <string>

namespace tarnu::protocol {
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
  }
}

TEST(Utf8Lossy, ReplacesEachInvalidSequenceOnce) {
  const std::string replacement = "\xEF\xBF\xBD";
  EXPECT_EQ(utf8_lossy("left"), "left");
  EXPECT_EQ(utf8_lossy("a\xFF"
                       "b"),
            "a" + replacement + "b");
  EXPECT_EQ(utf8_lossy("\xE2\x82(\xFF\xFF"), replacement + "(" + replacement + replacement);
  EXPECT_EQ(utf8_lossy("ab\xF0\x9F\x98"), "ab" + replacement);
}

}  // namespace
}  // namespace tarnu::protocol
