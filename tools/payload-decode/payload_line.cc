#include "payload_line.h"

#include <cstdint>
#include <optional>
#include <vector>

#include "common/hex.h"
#include "protocol/decode_input_command.h"

namespace tarnu::tools {
namespace {

using protocol::InputCommand;

std::string_view flag(bool value) { return value ? "true" : "false"; }

std::string command_text(const InputCommand& command) {
  std::string text = "OK ";
  if (const auto* move = std::get_if<InputCommand::MouseMove>(&command.value)) {
    text += "MouseMove x=" + std::to_string(move->x) + " y=" + std::to_string(move->y) + " drag=";
    text += move->drag_button ? protocol::mouse_button_name(*move->drag_button) : "none";
  } else if (const auto* press = std::get_if<InputCommand::MouseButton>(&command.value)) {
    text += "MouseButton button=";
    text += protocol::mouse_button_name(press->button);
    text += " down=";
    text += flag(press->down);
    text += " x=" + std::to_string(press->x) + " y=" + std::to_string(press->y);
  } else if (const auto* scroll = std::get_if<InputCommand::Scroll>(&command.value)) {
    text +=
        "Scroll dx=" + std::to_string(scroll->delta_x) + " dy=" + std::to_string(scroll->delta_y);
  } else if (const auto* key = std::get_if<InputCommand::Key>(&command.value)) {
    text += "Key code=" + std::to_string(key->key_code) + " down=";
    text += flag(key->down);
  } else if (std::holds_alternative<InputCommand::ReleaseAll>(command.value)) {
    text += "ReleaseAll";
  } else {
    text += "SecureAttention";
  }
  return text;
}

// Keeps an error text on one line: control characters become caret notation.
std::string error_text(std::string_view error) {
  std::string text = "ERR ";
  for (const char c : error) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '^') {
      text += "^^";
    } else if (byte < 0x20) {
      text += '^';
      text += static_cast<char>(byte + 0x40);
    } else if (byte == 0x7f) {
      text += "^?";
    } else {
      text += c;
    }
  }
  return text;
}

}  // namespace

std::string answer_line(std::string_view line) {
  if (!line.empty() && line.back() == '\r') {
    line.remove_suffix(1);
  }
  const auto payload = parse_hex(line);
  if (!payload) {
    return "BADHEX";
  }
  const auto decoded = protocol::decode_input_command(*payload);
  return decoded ? command_text(*decoded) : error_text(decoded.error());
}

}  // namespace tarnu::tools
