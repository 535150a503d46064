#include "send_script.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <optional>

#include "common/command_encoder.h"
#include "common/hex.h"
#include "protocol/input_command.h"

namespace tarnu::tools {

namespace {

using protocol::InputCommand;

constexpr std::uint16_t kVkShift = 0x10;
constexpr std::uint16_t kVkSpace = 0x20;

std::vector<std::string_view> split_words(std::string_view text) {
  std::vector<std::string_view> words;
  for (std::size_t at = text.find_first_not_of(" \t"); at != std::string_view::npos;) {
    const std::size_t end = std::min(text.find_first_of(" \t", at), text.size());
    words.push_back(text.substr(at, end - at));
    at = text.find_first_not_of(" \t", end);
  }
  return words;
}

template <typename T>
std::optional<T> parse_number(std::string_view text) {
  bool negative = false;
  if (!text.empty() && text.front() == '-') {
    negative = true;
    text.remove_prefix(1);
  }
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  std::uint64_t magnitude = 0;
  const auto [end, error] =
      std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
    return std::nullopt;
  }
  if (negative) {
    constexpr std::int64_t kMin = std::numeric_limits<T>::min();
    if (kMin == 0 || magnitude > static_cast<std::uint64_t>(-(kMin + 1)) + 1) {
      return std::nullopt;
    }
    return static_cast<T>(-static_cast<std::int64_t>(magnitude - 1) - 1);
  }
  if (magnitude > static_cast<std::uint64_t>(std::numeric_limits<T>::max())) {
    return std::nullopt;
  }
  return static_cast<T>(magnitude);
}

std::optional<protocol::MouseButton> parse_button(std::string_view name) {
  for (std::uint8_t index = 0; index < protocol::kMouseButtonCount; ++index) {
    const auto button = static_cast<protocol::MouseButton>(index);
    if (protocol::mouse_button_name(button) == name) {
      return button;
    }
  }
  return std::nullopt;
}

std::optional<bool> parse_direction(std::string_view word) {
  return word == "down" ? std::optional(true) : word == "up" ? std::optional(false) : std::nullopt;
}

SendStep command_step(InputCommand::Variant command) {
  return WriteStep{frame_payload(encode_input_command(InputCommand{std::move(command)}))};
}

SendStep key_step(std::uint16_t key_code, bool down) {
  return command_step(InputCommand::Key{key_code, down});
}

// Letters, digits and space as key presses; capitals with shift held around them.
Result<std::vector<SendStep>> type_text(std::string_view text) {
  std::vector<SendStep> steps;
  for (const char c : text) {
    bool shift = false;
    std::uint16_t key_code;
    if (c >= 'a' && c <= 'z') {
      key_code = static_cast<std::uint16_t>('A' + (c - 'a'));
    } else if (c >= 'A' && c <= 'Z') {
      key_code = static_cast<std::uint16_t>(c);
      shift = true;
    } else if (c >= '0' && c <= '9') {
      key_code = static_cast<std::uint16_t>(c);
    } else if (c == ' ') {
      key_code = kVkSpace;
    } else {
      return Unexpected(std::string("type: only letters, digits and spaces can be typed, not `") +
                        c + "`");
    }
    if (shift) {
      steps.push_back(key_step(kVkShift, true));
    }
    steps.push_back(key_step(key_code, true));
    steps.push_back(key_step(key_code, false));
    if (shift) {
      steps.push_back(key_step(kVkShift, false));
    }
  }
  return steps;
}

}  // namespace

Result<std::vector<SendStep>> parse_send_line(std::string_view line) {
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) {
    line.remove_suffix(1);
  }
  const std::vector<std::string_view> words = split_words(line);
  if (words.empty() || words[0].front() == '#') {
    return std::vector<SendStep>{};
  }
  const std::string_view verb = words[0];
  const std::size_t count = words.size() - 1;
  // The verb's usage follows the reason; a verb without arguments is its own usage.
  const auto bad = [verb](std::string_view why,
                          std::string_view usage = {}) -> Result<std::vector<SendStep>> {
    return Unexpected(std::string(why) + " (usage: " + std::string(usage.empty() ? verb : usage) +
                      ")");
  };
  // Everything after the verb and the blanks behind it.
  const std::string_view rest = line.substr(
      std::min(line.size(), line.find_first_not_of(" \t", line.find(verb) + verb.size())));

  if (verb == "move") {
    const auto x = count >= 2 ? parse_number<std::int32_t>(words[1]) : std::nullopt;
    const auto y = count >= 2 ? parse_number<std::int32_t>(words[2]) : std::nullopt;
    const auto button = count == 3 ? parse_button(words[3]) : std::nullopt;
    if (!x || !y || count > 3 || (count == 3 && !button)) {
      return bad("move: bad coordinates or button", "move X Y [BUTTON]");
    }
    return std::vector<SendStep>{command_step(InputCommand::MouseMove{*x, *y, button})};
  }
  if (verb == "button") {
    const auto button = count >= 2 ? parse_button(words[1]) : std::nullopt;
    const auto down = count >= 2 ? parse_direction(words[2]) : std::nullopt;
    std::optional<std::int32_t> x = 0;
    std::optional<std::int32_t> y = 0;
    if (count == 4) {
      x = parse_number<std::int32_t>(words[3]);
      y = parse_number<std::int32_t>(words[4]);
    }
    if (!button || !down || !x || !y || (count != 2 && count != 4)) {
      return bad("button: bad button, direction or coordinates", "button NAME down|up [X Y]");
    }
    return std::vector<SendStep>{command_step(InputCommand::MouseButton{*button, *down, *x, *y})};
  }
  if (verb == "scroll") {
    const auto dx = count == 2 ? parse_number<std::int32_t>(words[1]) : std::nullopt;
    const auto dy = count == 2 ? parse_number<std::int32_t>(words[2]) : std::nullopt;
    if (!dx || !dy) {
      return bad("scroll: bad deltas", "scroll DX DY");
    }
    return std::vector<SendStep>{command_step(InputCommand::Scroll{*dx, *dy})};
  }
  if (verb == "key" || verb == "tap") {
    const auto key_code = count >= 1 ? parse_number<std::uint16_t>(words[1]) : std::nullopt;
    if (verb == "tap") {
      if (!key_code || count != 1) {
        return bad("tap: bad virtual-key code", "tap VK");
      }
      return std::vector<SendStep>{key_step(*key_code, true), key_step(*key_code, false)};
    }
    const auto down = count == 2 ? parse_direction(words[2]) : std::nullopt;
    if (!key_code || !down) {
      return bad("key: bad virtual-key code or direction", "key VK down|up");
    }
    return std::vector<SendStep>{command_step(InputCommand::Key{*key_code, *down})};
  }
  if (verb == "type") {
    if (count == 0) {
      return bad("type: nothing to type");
    }
    return type_text(rest);
  }
  if (verb == "release-all" || verb == "sas") {
    if (count != 0) {
      return bad(std::string(verb) + ": takes no arguments");
    }
    return std::vector<SendStep>{verb == "sas" ? command_step(InputCommand::SecureAttention{})
                                               : command_step(InputCommand::ReleaseAll{})};
  }
  if (verb == "sleep") {
    const auto milliseconds = count == 1 ? parse_number<std::uint32_t>(words[1]) : std::nullopt;
    if (!milliseconds) {
      return bad("sleep: bad duration", "sleep MS");
    }
    return std::vector<SendStep>{SleepStep{*milliseconds}};
  }
  if (verb == "raw" || verb == "bytes") {
    const auto bytes = parse_hex(rest, " \t");
    if (!bytes || (verb == "bytes" && bytes->empty())) {
      return bad(std::string(verb) + ": bad hexadecimal bytes");
    }
    return std::vector<SendStep>{WriteStep{verb == "raw" ? frame_payload(*bytes) : *bytes}};
  }
  if (verb == "frame-len") {
    const auto length = count == 1 ? parse_number<std::uint32_t>(words[1]) : std::nullopt;
    if (!length) {
      return bad("frame-len: bad length", "frame-len N");
    }
    return std::vector<SendStep>{WriteStep{length_prefix(*length)}};
  }
  return Unexpected("unknown command `" + std::string(verb) +
                    "` (move, button, scroll, key, tap, type, release-all, sas, sleep, raw, "
                    "bytes, frame-len)");
}

}  // namespace tarnu::tools
