#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "platform/expected.h"
#include "protocol/buffered_value.h"
#include "protocol/decode_fault.h"

namespace tarnu::protocol {

// Reads MessagePack values from one payload with msgpuck. msgpuck trusts its input, so every
// fixed-size field, length and body is checked here against the bytes left before msgpuck
// reads it; nothing past the payload's end is ever touched.
class PayloadReader {
 public:
  explicit PayloadReader(std::span<const std::uint8_t> payload);

  // Reads the next value's header: its marker and fixed-size part (the bytes of a number,
  // the length of a str, bin or ext, the count of an array or map) and, for a str or a bin,
  // its body. The value comes back with `extent` 1; an array's or map's contents follow in
  // the payload, and an ext's type byte and data are read by `read_ext_contents`.
  Expected<BufferedValue, DecodeFault> read_header();

  // Reads the type byte and the data of an ext whose header `read_header` returned.
  std::optional<DecodeFault> read_ext_contents(BufferedValue& ext);

  std::size_t remaining() const { return static_cast<std::size_t>(end_ - cursor_); }

 private:
  // Takes `length` body bytes, or fails when fewer are left.
  std::optional<DecodeFault> take_body(BufferedValue& value, std::uint32_t length);

  const char* cursor_;
  const char* end_;
};

}  // namespace tarnu::protocol
