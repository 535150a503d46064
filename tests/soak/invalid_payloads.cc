#include "invalid_payloads.h"

#include <initializer_list>
#include <string_view>

namespace tarnu::soak {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Builds MessagePack by hand, so that each payload holds exactly the formats it means to.
class Payload {
 public:
  Payload& raw(std::initializer_list<std::uint8_t> bytes) {
    for (const std::uint8_t byte : bytes) {
      bytes_.push_back(byte);
    }
    return *this;
  }
  // A fixstr.
  Payload& str(std::string_view text) {
    bytes_.push_back(static_cast<std::uint8_t>(0xa0 | text.size()));
    for (const char c : text) {
      bytes_.push_back(static_cast<std::uint8_t>(c));
    }
    return *this;
  }
  Payload& map(std::uint8_t entries) { return raw({static_cast<std::uint8_t>(0x80 | entries)}); }
  Payload& array(std::uint8_t elements) {
    return raw({static_cast<std::uint8_t>(0x90 | elements)});
  }
  Payload& tag(std::string_view name) { return str("type").str(name); }
  Bytes take() { return std::move(bytes_); }

 private:
  Bytes bytes_;
};

Bytes nested_arrays(int depth) {
  Payload payload;
  payload.map(2).tag("releaseAll").str("a");
  for (int i = 0; i < depth; ++i) {
    payload.array(1);
  }
  payload.raw({0xc0});
  return payload.take();
}

std::vector<InvalidPayload> make_invalid_payloads() {
  const std::string commands =
      "expected one of `mouseMove`, `mouseButton`, `scroll`, `key`, `releaseAll`, "
      "`secureAttention`";
  const std::string buttons = "expected one of `left`, `right`, `middle`, `back`, `forward`";
  // {type: "mouseButton", button: B, down: true, x: 0, y: 0} with B written by `button`.
  const auto mouse_button = [](std::initializer_list<std::uint8_t> button) {
    return Payload()
        .map(5)
        .tag("mouseButton")
        .str("button")
        .raw(button)
        .str("down")
        .raw({0xc3})
        .str("x")
        .raw({0x00})
        .str("y")
        .raw({0x00})
        .take();
  };
  return {
      // Reading faults.
      {Payload().map(2).tag("key").take(),
       "IO error while reading marker: failed to fill whole buffer"},
      {Payload().map(1).str("type").raw({0xcd, 0x00}).take(),
       "IO error while reading data: failed to fill whole buffer"},
      {Payload().map(1).str("type").raw({0xa5, 'k', 'e', 'y'}).take(),
       "IO error while reading data: unexpected end of file"},
      {{0xc1}, "wrong msgpack marker Reserved"},
      {nested_arrays(1023), "depth limit exceeded"},
      {Payload().map(1).str("type").raw({0xa1, 0xff}).take(),
       "string found to be invalid utf8: invalid utf-8 sequence of 1 bytes from index 0"},
      // The command and its tag.
      {{0xc0}, "invalid type: unit value, expected internally tagged enum InputCommand"},
      {{0x80}, "missing field `type`"},
      {Payload().map(2).tag("key").str("type").take(), "duplicate field `type`"},
      {Payload().map(1).tag("MouseMove").take(), "unknown variant `MouseMove`, " + commands},
      {Payload().map(1).str("type").raw({0x06}).take(),
       "invalid value: integer `6`, expected variant index 0 <= i < 6"},
      {Payload().map(1).str("type").raw({0xd0, 0x03}).take(),
       "invalid type: integer `3`, expected variant identifier"},
      // Fields.
      {Payload().map(3).tag("scroll").raw({0xcd, 0x00, 0x00, 0x01, 0x01, 0xff}).take(),
       "invalid type: integer `0`, expected field identifier"},
      {Payload()
           .map(4)
           .tag("key")
           .str("key_code")
           .raw({0x41})
           .str("key_code")
           .raw({0x42})
           .str("down")
           .raw({0xc3})
           .take(),
       "duplicate field `key_code`"},
      {Payload().map(2).tag("mouseButton").str("down").raw({0xc3}).take(),
       "missing field `button`"},
      {Payload()
           .map(3)
           .tag("scroll")
           .str("delta_x")
           .raw({0xce, 0x80, 0x00, 0x00, 0x00})
           .str("delta_y")
           .raw({0x00})
           .take(),
       "invalid value: integer `2147483648`, expected i32"},
      {Payload()
           .map(3)
           .tag("scroll")
           .str("delta_x")
           .raw({0xcb, 0x3f, 0xf0, 0, 0, 0, 0, 0, 0})
           .str("delta_y")
           .raw({0x00})
           .take(),
       "invalid type: floating point `1.0`, expected i32"},
      {Payload()
           .map(3)
           .tag("key")
           .str("key_code")
           .raw({0xce, 0x00, 0x01, 0x00, 0x00})
           .str("down")
           .raw({0xc3})
           .take(),
       "invalid value: integer `65536`, expected u16"},
      {Payload().map(3).tag("key").str("key_code").str("a").str("down").raw({0xc3}).take(),
       "invalid type: string \"a\", expected u16"},
      {Payload().map(3).tag("key").str("key_code").raw({0x41}).str("down").raw({0x01}).take(),
       "invalid type: integer `1`, expected a boolean"},
      {mouse_button({0x02}), "invalid type: integer `2`, expected string or map"},
      {mouse_button({0x80}), "invalid value: map, expected map with a single key"},
      {mouse_button({0xa4, 'L', 'e', 'f', 't'}), "unknown variant `Left`, " + buttons},
      {mouse_button({0x81, 0x05, 0xc0}),
       "invalid value: integer `5`, expected variant index 0 <= i < 5"},
      {mouse_button({0x81, 0xa4, 'l', 'e', 'f', 't', 0x01}),
       "invalid type: integer `1`, expected unit"},
      // The array form.
      {Payload().array(2).str("scroll").raw({0x00}).take(),
       "invalid length 1, expected struct variant InputCommand::Scroll with 2 elements"},
      {Payload().array(4).str("scroll").raw({0x00, 0xff, 0x05}).take(),
       "invalid length 3, expected 2 elements in sequence"},
  };
}

}  // namespace

const std::vector<InvalidPayload>& invalid_payloads() {
  static const std::vector<InvalidPayload> payloads = make_invalid_payloads();
  return payloads;
}

}  // namespace tarnu::soak
