#include "protocol/value_description.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace tarnu::protocol {
namespace {

std::string float_text(double value) {
  std::string text;
  append_float_text(text, value);
  return text;
}

TEST(FloatText, ShortestRoundTripDecimalWithoutExponent) {
  const struct {
    double value;
    std::string text;
  } cases[] = {
      {1.0, "1.0"},
      {2.5, "2.5"},
      {-2.5, "-2.5"},
      {0.0, "0.0"},
      {-0.0, "-0.0"},
      {1e21, "1000000000000000000000.0"},
      {1e23, "100000000000000000000000.0"},
      {123456.789, "123456.789"},
      {0.1, "0.1"},
      {1e-7, "0.0000001"},
      {-1.5e-10, "-0.00000000015"},
      {static_cast<double>(0.1f), "0.10000000149011612"},
      {static_cast<double>(16777217.0f), "16777216.0"},
      // Exactly halfway between two shortest texts: the one farther from zero.
      {1500000000000000.25, "1500000000000000.3"},
      {-1500000000000000.25, "-1500000000000000.3"},
      {1234567890123456.25, "1234567890123456.3"},
      {1125899906842624.25, "1125899906842624.3"},
      {2251799813685247.75, "2251799813685247.8"},
      {static_cast<double>(1000.00006103515625f), "1000.0000610351563"},
      {static_cast<double>(-1000.00030517578125f), "-1000.0003051757813"},
      // Ties that std::to_chars already settles away from zero, and near misses.
      {2000000000000000.75, "2000000000000000.8"},
      {static_cast<double>(1000.00042724609375f), "1000.0004272460938"},
      {1000000000000000.125, "1000000000000000.1"},
      {123456.78125, "123456.78125"},
      {5e-324, "0." + std::string(323, '0') + "5"},
      {std::numeric_limits<double>::max(), "17976931348623157" + std::string(292, '0') + ".0"},
      {std::numeric_limits<double>::quiet_NaN(), "NaN"},
      {-std::numeric_limits<double>::quiet_NaN(), "NaN"},
      {std::numeric_limits<double>::infinity(), "inf"},
      {-std::numeric_limits<double>::infinity(), "-inf"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(float_text(c.value), c.text) << "for " << c.value;
  }
}

std::string quoted(std::string_view text) {
  std::string out;
  append_quoted_text(out, text);
  return out;
}

TEST(QuotedText, EscapesWhatWouldNotReadAsItself) {
  const struct {
    std::string_view text;
    std::string_view quoted;
  } cases[] = {
      {"hi", R"("hi")"},
      {"a\"b", R"("a\"b")"},
      {"a\\b", R"("a\\b")"},
      {"it's", R"("it's")"},
      {"a b", R"("a b")"},
      {"\t\r\n", R"("\t\r\n")"},
      {std::string_view("\0x", 2), R"("\0x")"},
      {"\x01\x1f\x7f", R"("\u{1}\u{1f}\u{7f}")"},
      {"\xC2\x85", R"("\u{85}")"},                            // C1 control
      {"\xC2\xA0", R"("\u{a0}")"},                            // no-break space (Zs)
      {"\xE3\x80\x80", R"("\u{3000}")"},                      // ideographic space (Zs)
      {"\xE2\x80\xA8\xE2\x80\xA9", R"("\u{2028}\u{2029}")"},  // Zl, Zp
      {"\xC2\xAD", R"("\u{ad}")"},                            // soft hyphen (Cf)
      {"\xEF\xBB\xBF", R"("\u{feff}")"},                      // byte order mark (Cf)
      {"e\xCC\x81", R"("e\u{301}")"},                         // combining acute accent (Mn)
      {"\xD2\x88", R"("\u{488}")"},                           // combining enclosing mark (Me)
      {"\xEE\x80\x80", R"("\u{e000}")"},                      // private use (Co)
      {"\xCD\xB8", R"("\u{378}")"},                           // unassigned (Cn)
      {"\xF4\x8F\xBF\xBF", R"("\u{10ffff}")"},                // noncharacter (Cn)
      {"\xC3\xA9t\xC3\xA9", "\"\xC3\xA9t\xC3\xA9\""},         // letters stand as they are
      {"\xE2\x82\xAC", "\"\xE2\x82\xAC\""},                   // currency sign
      {"\xF0\x9F\x98\x80", "\"\xF0\x9F\x98\x80\""},           // emoji (So)
      {"\xE4\xB8\xAD", "\"\xE4\xB8\xAD\""},                   // CJK ideograph
      {"\xE0\xA4\x83", "\"\xE0\xA4\x83\""},  // spacing mark (Mc) is not combining here
      // Assigned in Unicode 16 and 17: letters, printed as they are.
      {"\xE1\xB2\x8A", "\"\xE1\xB2\x8A\""},          // U+1C8A Cyrillic small letter (16)
      {"\xF0\x93\xB4\x85", "\"\xF0\x93\xB4\x85\""},  // U+13D05 hieroglyph (16)
      {"\xE0\xB3\x9C", "\"\xE0\xB3\x9C\""},          // U+0CDC Kannada letter (17)
      {"\xF0\xB2\xA6\x8B", "\"\xF0\xB2\xA6\x8B\""},  // U+3298B CJK ideograph (17)
      // Still unassigned in Unicode 17, beside the new ones.
      {"\xE0\xB3\x9B", R"("\u{cdb}")"},
      {"\xF0\xB3\x92\x80", R"("\u{33480}")"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(quoted(c.text), c.quoted);
  }
}

}  // namespace
}  // namespace tarnu::protocol
