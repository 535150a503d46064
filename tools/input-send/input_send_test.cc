#include <gtest/gtest.h>

#include "common/command_encoder.h"
#include "common/hex.h"
#include "protocol/decode_input_command.h"
#include "send_script.h"
#include "support/payload_bytes.h"

namespace tarnu::tools {
namespace {

using Bytes = std::vector<std::uint8_t>;
using protocol::InputCommand;
using protocol::MouseButton;

Bytes hex(const char* text) { return parse_hex(text, " ").value(); }

// The payloads a client normally writes (the map-form examples), byte for byte.
TEST(EncodeInputCommand, MapFormOfTheReferencePayloads) {
  struct Case {
    InputCommand::Variant command;
    const char* example;
  };
  const Case cases[] = {
      {InputCommand::MouseMove{100, 200, std::nullopt}, "MouseMove"},
      {InputCommand::MouseMove{-5, 300, MouseButton::kLeft}, "MouseMoveDrag"},
      {InputCommand::MouseButton{MouseButton::kRight, true, 10, 20}, "MouseButton"},
      {InputCommand::Scroll{0, -1}, "Scroll"},
      {InputCommand::Key{0x41, true}, "Key"},
      {InputCommand::ReleaseAll{}, "ReleaseAll"},
      {InputCommand::SecureAttention{}, "SecureAttention"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(encode_input_command(InputCommand{c.command}), support::example_bytes(c.example))
        << c.example;
  }
  // Widest integers take the 32-bit formats.
  const Bytes extreme =
      encode_input_command(InputCommand{InputCommand::Scroll{-2147483647 - 1, 2147483647}});
  EXPECT_EQ(Bytes(extreme.begin() + 21, extreme.begin() + 26), hex("d2 80 00 00 00"));
  EXPECT_EQ(Bytes(extreme.end() - 5, extreme.end()), hex("ce 7f ff ff ff"));
}

// What the client writes is what the worker decodes, at the edges of every field's range.
TEST(EncodeInputCommand, WorkerDecodesWhatTheClientWrites) {
  const InputCommand::Variant commands[] = {
      InputCommand::MouseMove{-2147483647 - 1, 2147483647, MouseButton::kForward},
      InputCommand::MouseMove{0, -33, std::nullopt},
      InputCommand::MouseButton{MouseButton::kBack, false, 65536, -129},
      InputCommand::MouseButton{MouseButton::kMiddle, true, 0, 0},
      InputCommand::Scroll{-32769, 255},
      InputCommand::Key{65535, false},
      InputCommand::Key{0, true},
      InputCommand::ReleaseAll{},
      InputCommand::SecureAttention{},
  };
  for (const auto& command : commands) {
    const InputCommand expected{command};
    const auto decoded = protocol::decode_input_command(encode_input_command(expected));
    ASSERT_TRUE(decoded.has_value()) << decoded.error();
    EXPECT_EQ(*decoded, expected);
  }
}

Bytes frame_of(const InputCommand::Variant& command) {
  return frame_payload(encode_input_command(InputCommand{command}));
}

std::vector<SendStep> parsed(const char* line) {
  auto steps = parse_send_line(line);
  EXPECT_TRUE(steps.has_value()) << line << ": " << (steps ? "" : steps.error());
  return steps ? *steps : std::vector<SendStep>{};
}

TEST(ParseSendLine, CommandsBecomeFrames) {
  struct Case {
    const char* line;
    std::vector<SendStep> expected;
  };
  const Case cases[] = {
      {"move 100 200", {WriteStep{frame_of(InputCommand::MouseMove{100, 200, std::nullopt})}}},
      {"  move\t-5 0x12c left  ",
       {WriteStep{frame_of(InputCommand::MouseMove{-5, 300, MouseButton::kLeft})}}},
      {"button forward up",
       {WriteStep{frame_of(InputCommand::MouseButton{MouseButton::kForward, false, 0, 0})}}},
      {"button right down 10 20\r",
       {WriteStep{frame_of(InputCommand::MouseButton{MouseButton::kRight, true, 10, 20})}}},
      {"scroll 0 -1", {WriteStep{frame_of(InputCommand::Scroll{0, -1})}}},
      {"key 0x41 down", {WriteStep{frame_of(InputCommand::Key{0x41, true})}}},
      {"tap 13",
       {WriteStep{frame_of(InputCommand::Key{13, true})},
        WriteStep{frame_of(InputCommand::Key{13, false})}}},
      {"release-all", {WriteStep{frame_of(InputCommand::ReleaseAll{})}}},
      {"sas", {WriteStep{frame_of(InputCommand::SecureAttention{})}}},
      {"sleep 250", {SleepStep{250}}},
      {"raw 91aa72656c65617365416c6c",
       {WriteStep{hex("0c 00 00 00 91 aa 72 65 6c 65 61 73 65 41 6c 6c")}}},
      {"raw", {WriteStep{hex("00 00 00 00")}}},
      {"bytes 01 02 ff", {WriteStep{hex("01 02 ff")}}},
      {"frame-len 65537", {WriteStep{hex("01 00 01 00")}}},
      {"frame-len 0xffffffff", {WriteStep{hex("ff ff ff ff")}}},
      {"", {}},
      {"# a comment", {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(parsed(c.line), c.expected) << c.line;
  }
}

TEST(ParseSendLine, TypeUsesShiftForCapitalsOnly) {
  std::vector<SendStep> expected;
  const auto key = [&expected](std::uint16_t code, bool down) {
    expected.push_back(WriteStep{frame_of(InputCommand::Key{code, down})});
  };
  key(0x41, true), key(0x41, false);
  key(0x10, true), key(0x42, true), key(0x42, false), key(0x10, false);
  key(0x20, true), key(0x20, false);
  key(0x20, true), key(0x20, false);
  key(0x39, true), key(0x39, false);
  EXPECT_EQ(parsed("type aB  9"), expected);
}

TEST(ParseSendLine, BadLinesAreRefused) {
  const char* lines[] = {"jump 1 2",
                         "move 1",
                         "move 1 2 3 4",
                         "move 1 2 thumb",
                         "move 2147483648 0",
                         "move -2147483649 0",
                         "button left",
                         "button left sideways",
                         "button left down 1",
                         "scroll 1",
                         "key 65536 down",
                         "key -1 up",
                         "key 65 pressed",
                         "tap",
                         "type",
                         "type hello!",
                         "sleep soon",
                         "raw 0g",
                         "raw 123",
                         "bytes",
                         "frame-len 4294967296",
                         "release-all now",
                         "sas 1"};
  for (const char* line : lines) {
    EXPECT_FALSE(parse_send_line(line).has_value()) << line;
  }
  EXPECT_EQ(parse_send_line("jump").error(),
            "unknown command `jump` (move, button, scroll, key, tap, type, release-all, sas, "
            "sleep, raw, bytes, frame-len)");
  EXPECT_EQ(parse_send_line("move 1").error(),
            "move: bad coordinates or button (usage: move X Y [BUTTON])");
}

}  // namespace
}  // namespace tarnu::tools
