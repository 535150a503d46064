#include "common/command_encoder.h"

#include <msgpuck.h>

#include <array>
#include <string_view>
#include <type_traits>

namespace tarnu::tools {

namespace {

// Appends msgpuck's encodings to a byte vector. No command needs more than a few dozen
// bytes; each step makes room for the largest single item it writes.
class Writer {
 public:
  void map(std::uint32_t entries) { put(mp_encode_map(scratch(), entries)); }
  void str(std::string_view text) {
    const auto size = static_cast<std::uint32_t>(text.size());
    put(mp_encode_str(scratch(mp_sizeof_str(size)), text.data(), size));
  }
  void integer(std::int64_t value) {
    // msgpuck's int encoder is for negative values only.
    put(value < 0 ? mp_encode_int(scratch(), value)
                  : mp_encode_uint(scratch(), static_cast<std::uint64_t>(value)));
  }
  void boolean(bool value) { put(mp_encode_bool(scratch(), value)); }
  void nil() { put(mp_encode_nil(scratch())); }
  void field(std::string_view name, std::int64_t value) {
    str(name);
    integer(value);
  }
  std::vector<std::uint8_t> take() && {
    bytes_.resize(mark_);
    return std::move(bytes_);
  }

 private:
  static constexpr std::size_t kLargestItem = 9;
  char* scratch(std::size_t size = kLargestItem) {
    bytes_.resize(mark_ + size);
    return reinterpret_cast<char*>(bytes_.data() + mark_);
  }
  void put(char* end) {
    mark_ = static_cast<std::size_t>(reinterpret_cast<std::uint8_t*>(end) - bytes_.data());
  }

  std::vector<std::uint8_t> bytes_;
  std::size_t mark_ = 0;
};

void tag(Writer& writer, std::uint32_t entries, std::string_view name) {
  writer.map(entries);
  writer.str("type");
  writer.str(name);
}

}  // namespace

std::vector<std::uint8_t> encode_input_command(const protocol::InputCommand& command) {
  using Command = protocol::InputCommand;
  Writer writer;
  std::visit(
      [&writer](const auto& value) {
        using T = std::decay_t<decltype(value)>;
        if constexpr (std::is_same_v<T, Command::MouseMove>) {
          tag(writer, 4, "mouseMove");
          writer.field("x", value.x);
          writer.field("y", value.y);
          writer.str("drag_button");
          if (value.drag_button) {
            writer.str(protocol::mouse_button_name(*value.drag_button));
          } else {
            writer.nil();
          }
        } else if constexpr (std::is_same_v<T, Command::MouseButton>) {
          tag(writer, 5, "mouseButton");
          writer.str("button");
          writer.str(protocol::mouse_button_name(value.button));
          writer.str("down");
          writer.boolean(value.down);
          writer.field("x", value.x);
          writer.field("y", value.y);
        } else if constexpr (std::is_same_v<T, Command::Scroll>) {
          tag(writer, 3, "scroll");
          writer.field("delta_x", value.delta_x);
          writer.field("delta_y", value.delta_y);
        } else if constexpr (std::is_same_v<T, Command::Key>) {
          tag(writer, 3, "key");
          writer.field("key_code", value.key_code);
          writer.str("down");
          writer.boolean(value.down);
        } else if constexpr (std::is_same_v<T, Command::ReleaseAll>) {
          tag(writer, 1, "releaseAll");
        } else {
          tag(writer, 1, "secureAttention");
        }
      },
      command.value);
  return std::move(writer).take();
}

std::vector<std::uint8_t> length_prefix(std::uint32_t length) {
  return {static_cast<std::uint8_t>(length), static_cast<std::uint8_t>(length >> 8),
          static_cast<std::uint8_t>(length >> 16), static_cast<std::uint8_t>(length >> 24)};
}

std::vector<std::uint8_t> frame_payload(const std::vector<std::uint8_t>& payload) {
  std::vector<std::uint8_t> frame = length_prefix(static_cast<std::uint32_t>(payload.size()));
  frame.insert(frame.end(), payload.begin(), payload.end());
  return frame;
}

}  // namespace tarnu::tools
