#include "payload_line.h"

#include <gtest/gtest.h>

namespace tarnu::tools {
namespace {

TEST(PayloadLine, AnswersEveryLineOnOneLine) {
  const struct {
    std::string_view line;
    std::string_view answer;
  } cases[] = {
      {"84a474797065a96d6f7573654d6f7665a17864a179ccc8ab647261675f627574746f6ec0",
       "OK MouseMove x=100 y=200 drag=none"},
      {"84A474797065A96D6F7573654D6F7665A178FBA179CD012CAB647261675F627574746F6EA46C656674",
       "OK MouseMove x=-5 y=300 drag=left"},
      {"85a474797065ab6d6f757365427574746f6ea6627574746f6ea57269676874a4646f776ec3a1780aa17914",
       "OK MouseButton button=right down=true x=10 y=20"},
      {"83a474797065a67363726f6c6ca764656c74615f7800a764656c74615f79ff", "OK Scroll dx=0 dy=-1"},
      {"83a474797065a36b6579a86b65795f636f646541a4646f776ec3\r", "OK Key code=65 down=true"},
      {"94a36b6579cdffffc2c3",
       "ERR decode input command: invalid length 3, expected 2 elements in "
       "sequence"},
      {"93a36b6579cdffffc2", "OK Key code=65535 down=false"},
      {"81a474797065aa72656c65617365416c6c", "OK ReleaseAll"},
      {"91af736563757265417474656e74696f6e", "OK SecureAttention"},
      {"c1", "ERR decode input command: wrong msgpack marker Reserved"},
      {"", "ERR decode input command: IO error while reading marker: failed to fill whole buffer"},
      // An unknown tag carries its text unescaped: newline, DEL, NUL and caret made visible.
      {"81a474797065a5610a7f005e",
       "ERR decode input command: unknown variant `a^J^?^@^^`, expected one of `mouseMove`, "
       "`mouseButton`, `scroll`, `key`, `releaseAll`, `secureAttention`"},
      {"8", "BADHEX"},
      {"8g", "BADHEX"},
      {"81 c0", "BADHEX"},
      {"c0\r\r", "BADHEX"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(answer_line(c.line), c.answer) << c.line;
  }
}

}  // namespace
}  // namespace tarnu::tools
