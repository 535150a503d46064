#pragma once

#include <cstdint>
#include <string_view>

#include "protocol/byte_scan.h"
#include "protocol/small_vector.h"

namespace tarnu::protocol {

// What kind of MessagePack value a buffered value holds.
enum class ValueKind : std::uint8_t {
  kNil,
  kBoolean,
  kUnsigned,  // positive fixint, uint 8/16/32/64
  kSigned,    // negative fixint, int 8/16/32/64
  kFloat,     // float 32 or float 64
  kText,      // a str whose bytes are valid UTF-8
  kBytes,     // a bin, or a str whose bytes are not valid UTF-8
  kArray,
  kMap,
  kExt,  // any ext or fixext, kept opaque
};

// One value read from a payload and kept for later decoding, in a flat pre-order layout: an
// array's elements, or a map's keys and values in turn, follow their container directly.
// Text, bytes and ext data are views into the payload, which outlives the decoding.
// Trivially copyable and left uninitialised by default, so that a small inline buffer of
// them costs nothing until used; the reader fills in every member.
struct BufferedValue {
  ValueKind kind;
  // Integer width in bits (8, 16, 32, 64) as the format gave it; 32 or 64 for floats.
  std::uint8_t width;
  // The ext type byte.
  std::int8_t ext_type;
  // The value's first byte, its MessagePack format.
  std::uint8_t marker;
  // Arrays: elements; maps: entries.
  std::uint32_t count;
  // Number of buffered values this one spans, itself and all nested values included.
  std::uint32_t extent;
  union {
    bool boolean;
    std::uint64_t unsigned_value;
    std::int64_t signed_value;
    double float_value;
    const char* data;  // text, bytes, ext: `count` bytes
  };

  bool is_integer() const { return kind == ValueKind::kUnsigned || kind == ValueKind::kSigned; }
  bool is_text_or_bytes() const { return kind == ValueKind::kText || kind == ValueKind::kBytes; }
  std::string_view bytes() const { return {data, count}; }
  // Whether the text or bytes are exactly `name`.
  bool bytes_equal(std::string_view name) const {
    return count == name.size() && byte_scan::equal(data, name.data(), count);
  }
  // A str read from the payload, as opposed to a bin, whether or not it is valid UTF-8.
  bool is_str() const {
    return (marker >= 0xa0 && marker <= 0xbf) || (marker >= 0xd9 && marker <= 0xdb);
  }
  // Unsigned 8-bit (positive fixint, uint 8) and unsigned 64-bit keys are read as indices.
  bool is_index() const { return kind == ValueKind::kUnsigned && (width == 8 || width == 64); }
};

// The values buffered from one payload. Its inline part holds a command in map or array
// form with 16 entries of plain values, and more, without a heap allocation.
using BufferedValues = SmallVector<BufferedValue, 64>;

}  // namespace tarnu::protocol
