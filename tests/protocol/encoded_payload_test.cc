// Payloads written by msgpuck's own encoder, independent of the hand-written bytes of the
// other tests: every command in every form the decoder accepts.
#include <gtest/gtest.h>
#include <msgpuck.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "protocol/decode_input_command.h"
#include "support/payload_bytes.h"

namespace tarnu::protocol {
namespace {

class Encoder {
 public:
  Encoder& map(std::uint32_t entries) { return put(mp_encode_map(cursor_, entries)); }
  Encoder& array(std::uint32_t elements) { return put(mp_encode_array(cursor_, elements)); }
  Encoder& str(std::string_view text) {
    return put(mp_encode_str(cursor_, text.data(), static_cast<std::uint32_t>(text.size())));
  }
  Encoder& bin(std::string_view bytes) {
    return put(mp_encode_bin(cursor_, bytes.data(), static_cast<std::uint32_t>(bytes.size())));
  }
  Encoder& integer(std::int64_t value) {
    return put(value < 0 ? mp_encode_int(cursor_, value)
                         : mp_encode_uint(cursor_, static_cast<std::uint64_t>(value)));
  }
  Encoder& boolean(bool value) { return put(mp_encode_bool(cursor_, value)); }
  Encoder& nil() { return put(mp_encode_nil(cursor_)); }

  std::vector<std::uint8_t> bytes() const {
    return std::vector<std::uint8_t>(buffer_, reinterpret_cast<const std::uint8_t*>(cursor_));
  }

 private:
  Encoder& put(char* next) {
    cursor_ = next;
    return *this;
  }
  std::uint8_t buffer_[512];
  char* cursor_ = reinterpret_cast<char*>(buffer_);
};

// One field of a command as a client would write it.
struct FieldValue {
  std::string name;
  enum { kInteger, kBoolean, kButton, kNoButton } kind;
  std::int64_t value;
};

std::string_view tag_of(const InputCommand& command) {
  static constexpr std::string_view kTags[] = {"mouseMove", "mouseButton", "scroll",
                                               "key",       "releaseAll",  "secureAttention"};
  return kTags[command.value.index()];
}

std::vector<FieldValue> fields_of(const InputCommand& command) {
  using K = decltype(FieldValue::kind);
  const auto button_field = [](std::string name, std::optional<MouseButton> button) {
    return button ? FieldValue{std::move(name), K::kButton, static_cast<std::int64_t>(*button)}
                  : FieldValue{std::move(name), K::kNoButton, 0};
  };
  if (const auto* move = std::get_if<InputCommand::MouseMove>(&command.value)) {
    return {{"x", K::kInteger, move->x},
            {"y", K::kInteger, move->y},
            button_field("drag_button", move->drag_button)};
  }
  if (const auto* press = std::get_if<InputCommand::MouseButton>(&command.value)) {
    return {button_field("button", press->button),
            {"down", K::kBoolean, press->down},
            {"x", K::kInteger, press->x},
            {"y", K::kInteger, press->y}};
  }
  if (const auto* scroll = std::get_if<InputCommand::Scroll>(&command.value)) {
    return {{"delta_x", K::kInteger, scroll->delta_x}, {"delta_y", K::kInteger, scroll->delta_y}};
  }
  if (const auto* key = std::get_if<InputCommand::Key>(&command.value)) {
    return {{"key_code", K::kInteger, key->key_code}, {"down", K::kBoolean, key->down}};
  }
  return {};
}

void encode_value(Encoder& encoder, const FieldValue& field) {
  switch (field.kind) {
    case FieldValue::kInteger:
      encoder.integer(field.value);
      break;
    case FieldValue::kBoolean:
      encoder.boolean(field.value != 0);
      break;
    case FieldValue::kButton:
      encoder.str(mouse_button_name(static_cast<MouseButton>(field.value)));
      break;
    case FieldValue::kNoButton:
      encoder.nil();
      break;
  }
}

enum class Form { kMapTagFirst, kMapTagLast, kMapIndexKeys, kMapBinNames, kArray, kArrayIndexTag };

std::vector<std::uint8_t> encode(const InputCommand& command, Form form) {
  const std::vector<FieldValue> fields = fields_of(command);
  const auto count = static_cast<std::uint32_t>(fields.size());
  Encoder encoder;
  switch (form) {
    case Form::kMapTagFirst:
      encoder.map(count + 1).str("type").str(tag_of(command));
      for (const auto& field : fields) {
        encode_value(encoder.str(field.name), field);
      }
      break;
    case Form::kMapTagLast:
      // Fields in reverse order, then the tag.
      encoder.map(count + 1);
      for (auto field = fields.rbegin(); field != fields.rend(); ++field) {
        encode_value(encoder.str(field->name), *field);
      }
      encoder.str("type").str(tag_of(command));
      break;
    case Form::kMapIndexKeys:
      encoder.map(count + 1).str("type").integer(static_cast<std::int64_t>(command.value.index()));
      for (std::uint32_t index = 0; index < count; ++index) {
        encode_value(encoder.integer(index), fields[index]);
      }
      break;
    case Form::kMapBinNames:
      encoder.map(count + 1).bin("type").bin(tag_of(command));
      for (const auto& field : fields) {
        encode_value(encoder.bin(field.name), field);
      }
      break;
    case Form::kArray:
    case Form::kArrayIndexTag:
      encoder.array(count + 1);
      if (form == Form::kArray) {
        encoder.str(tag_of(command));
      } else {
        encoder.integer(static_cast<std::int64_t>(command.value.index()));
      }
      for (const auto& field : fields) {
        encode_value(encoder, field);
      }
      break;
  }
  return encoder.bytes();
}

std::vector<InputCommand> sample_commands() {
  constexpr auto kMin = std::numeric_limits<std::int32_t>::min();
  constexpr auto kMax = std::numeric_limits<std::int32_t>::max();
  std::vector<InputCommand> commands = {
      InputCommand{InputCommand::MouseMove{0, 0, std::nullopt}},
      InputCommand{InputCommand::MouseMove{kMin, kMax, std::nullopt}},
      InputCommand{InputCommand::Scroll{kMax, kMin}},
      InputCommand{InputCommand::Scroll{-129, 128}},
      InputCommand{InputCommand::Key{0, false}},
      InputCommand{InputCommand::Key{65535, true}},
      InputCommand{InputCommand::Key{255, true}},
      InputCommand{InputCommand::ReleaseAll{}},
      InputCommand{InputCommand::SecureAttention{}},
  };
  for (std::size_t index = 0; index < kMouseButtonCount; ++index) {
    const auto which = static_cast<MouseButton>(index);
    const auto i = static_cast<std::int32_t>(index);
    commands.push_back(InputCommand{InputCommand::MouseMove{-i * 40000, i * 70000, which}});
    commands.push_back(InputCommand{InputCommand::MouseButton{which, index % 2 == 0, i, -32769}});
  }
  return commands;
}

TEST(EncodedPayload, EveryCommandDecodesFromEveryForm) {
  for (const Form form : {Form::kMapTagFirst, Form::kMapTagLast, Form::kMapIndexKeys,
                          Form::kMapBinNames, Form::kArray, Form::kArrayIndexTag}) {
    for (const InputCommand& command : sample_commands()) {
      const auto payload = encode(command, form);
      const auto decoded = decode_input_command(payload);
      ASSERT_TRUE(decoded) << "form " << static_cast<int>(form) << ", command "
                           << command.value.index() << ": " << decoded.error();
      EXPECT_EQ(*decoded, command)
          << "form " << static_cast<int>(form) << ", command " << command.value.index();
    }
  }
}

TEST(EncodedPayload, TheEncoderWritesTheExamplesByteForByte) {
  // The map-form examples, in order, as msgpuck writes the same commands.
  const InputCommand commands[] = {
      InputCommand{InputCommand::MouseMove{100, 200, std::nullopt}},
      InputCommand{InputCommand::MouseMove{-5, 300, MouseButton::kLeft}},
      InputCommand{InputCommand::MouseButton{MouseButton::kRight, true, 10, 20}},
      InputCommand{InputCommand::Scroll{0, -1}},
      InputCommand{InputCommand::Key{0x41, true}},
      InputCommand{InputCommand::ReleaseAll{}},
      InputCommand{InputCommand::SecureAttention{}},
  };
  for (std::size_t index = 0; index < std::size(commands); ++index) {
    const auto& example = support::example_payloads()[index];
    EXPECT_EQ(encode(commands[index], Form::kMapTagFirst), support::hex_bytes(example.hex))
        << example.name;
  }
  EXPECT_EQ(encode(commands[3], Form::kArray), support::example_bytes("ScrollArray"));
  EXPECT_EQ(encode(commands[5], Form::kArray), support::example_bytes("ReleaseAllArray"));
}

}  // namespace
}  // namespace tarnu::protocol
