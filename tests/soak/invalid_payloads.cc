#include "invalid_payloads.h"

#include <string_view>

#include "support/payload_bytes.h"

namespace tarnu::soak {
namespace {

using support::concat;
using support::str;
using Bytes = std::vector<std::uint8_t>;

// A map of `entries` entries whose first is the tag "type": `name`.
Bytes tagged(std::uint8_t entries, std::string_view name) {
  return concat({{static_cast<std::uint8_t>(0x80 | entries)}, str("type"), str(name)});
}

// {type: "mouseButton", button: B, down: true, x: 0, y: 0} with B written as `button`.
Bytes mouse_button(const Bytes& button) {
  return concat({tagged(5, "mouseButton"),
                 str("button"),
                 button,
                 str("down"),
                 {0xc3},
                 str("x"),
                 {0x00},
                 str("y"),
                 {0x00}});
}

Bytes nested_arrays(int depth) {
  Bytes payload = concat({tagged(2, "releaseAll"), str("a")});
  payload.insert(payload.end(), static_cast<std::size_t>(depth), 0x91);
  payload.push_back(0xc0);
  return payload;
}

std::vector<Bytes> make_invalid_payloads() {
  const Bytes type = concat({{0x81}, str("type")});
  return {
      // Reading faults: truncated marker, data and string; a reserved marker; too deep;
      // not UTF-8.
      tagged(2, "key"),
      concat({type, {0xcd, 0x00}}),
      concat({type, {0xa5, 'k', 'e', 'y'}}),
      {0xc1},
      nested_arrays(1023),
      concat({type, {0xa1, 0xff}}),
      // The command and its tag: nil, no tag, the tag twice, an unknown name, an index out
      // of range, a signed integer.
      {0xc0},
      {0x80},
      concat({tagged(2, "key"), str("type")}),
      tagged(1, "MouseMove"),
      concat({type, {0x06}}),
      concat({type, {0xd0, 0x03}}),
      // Fields: an integer key, a field twice, one missing, out of range, a float, too wide
      // for u16, text for u16, an integer for a boolean.
      concat({tagged(3, "scroll"), {0xcd, 0x00, 0x00, 0x01, 0x01, 0xff}}),
      concat({tagged(4, "key"),
              str("key_code"),
              {0x41},
              str("key_code"),
              {0x42},
              str("down"),
              {0xc3}}),
      concat({tagged(2, "mouseButton"), str("down"), {0xc3}}),
      concat({tagged(3, "scroll"),
              str("delta_x"),
              {0xce, 0x80, 0x00, 0x00, 0x00},
              str("delta_y"),
              {0x00}}),
      concat({tagged(3, "scroll"),
              str("delta_x"),
              {0xcb, 0x3f, 0xf0, 0, 0, 0, 0, 0, 0},
              str("delta_y"),
              {0x00}}),
      concat(
          {tagged(3, "key"), str("key_code"), {0xce, 0x00, 0x01, 0x00, 0x00}, str("down"), {0xc3}}),
      concat({tagged(3, "key"), str("key_code"), str("a"), str("down"), {0xc3}}),
      concat({tagged(3, "key"), str("key_code"), {0x41}, str("down"), {0x01}}),
      // The button: an integer, an empty map, an unknown name, an index out of range, a
      // unit variant with a value.
      mouse_button({0x02}),
      mouse_button({0x80}),
      mouse_button(str("Left")),
      mouse_button({0x81, 0x05, 0xc0}),
      mouse_button(concat({{0x81}, str("left"), {0x01}})),
      // The array form: too short for its command, and longer than any command.
      concat({{0x92}, str("scroll"), {0x00}}),
      concat({{0x94}, str("scroll"), {0x00, 0xff, 0x05}}),
  };
}

}  // namespace

const std::vector<std::vector<std::uint8_t>>& invalid_payloads() {
  static const std::vector<std::vector<std::uint8_t>> payloads = make_invalid_payloads();
  return payloads;
}

}  // namespace tarnu::soak
