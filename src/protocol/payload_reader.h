#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/text.h"
#include "protocol/buffered_value.h"
#include "protocol/decode_fault.h"

namespace tarnu::protocol {

// Reads MessagePack values from one payload with msgpuck. msgpuck trusts its input, so every
// fixed-size field, length and body is checked here against the bytes left before msgpuck
// reads it; nothing past the payload's end is ever touched.
class PayloadReader {
 public:
  explicit PayloadReader(std::span<const std::uint8_t> payload);

  // Reads the next value's header into `value`: its marker and fixed-size part (the bytes of
  // a number, the length of a str, bin or ext, the count of an array or map) and, for a str
  // or a bin, its body. `extent` is set to 1; an array's or map's contents follow in the
  // payload, and an ext's type byte and data are read by `read_ext_contents`. Returns the
  // reading fault, or kNone.
  [[nodiscard]] FaultCode read_header(BufferedValue& value) {
    // Fast path for the formats that make up most payloads, whose value or length the
    // marker itself holds: positive fixint, fixstr, nil, false and true.
    if (cursor_ != end_) {
      const auto marker = static_cast<std::uint8_t>(*cursor_);
      if (marker <= 0x7f) {
        start(value, ValueKind::kUnsigned, 8, marker);
        value.unsigned_value = marker;
        ++cursor_;
        return FaultCode::kNone;
      }
      if ((marker & 0xe0) == 0xa0) {
        const std::uint32_t length = marker & 0x1f;
        if (remaining() - 1 < length) {
          return FaultCode::kEndInBody;
        }
        start(value, ValueKind::kText, 0, marker);
        value.count = length;
        value.data = cursor_ + 1;
        cursor_ += 1 + length;
        if (!byte_scan::is_ascii(value.data, length) && !platform::is_utf8(value.bytes())) {
          value.kind = ValueKind::kBytes;
        }
        return FaultCode::kNone;
      }
      if (marker == 0xc0 || marker == 0xc2 || marker == 0xc3) {
        start(value, marker == 0xc0 ? ValueKind::kNil : ValueKind::kBoolean, 0, marker);
        value.unsigned_value = 0;
        value.boolean = marker == 0xc3;
        ++cursor_;
        return FaultCode::kNone;
      }
    }
    return read_other_header(value);
  }

  // Reads the type byte and the data of an ext whose header `read_header` returned.
  [[nodiscard]] FaultCode read_ext_contents(BufferedValue& ext);

  std::size_t remaining() const { return static_cast<std::size_t>(end_ - cursor_); }

 private:
  static void start(BufferedValue& value, ValueKind kind, std::uint8_t width, std::uint8_t marker) {
    value.kind = kind;
    value.width = width;
    value.ext_type = 0;
    value.marker = marker;
    value.count = 0;
    value.extent = 1;
  }

  // Every format the fast path leaves, through msgpuck.
  FaultCode read_other_header(BufferedValue& value);
  // Takes `length` body bytes, or fails when fewer are left.
  FaultCode take_body(BufferedValue& value, std::uint32_t length);

  const char* cursor_;
  const char* end_;
};

}  // namespace tarnu::protocol
