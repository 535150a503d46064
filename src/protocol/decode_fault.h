#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "protocol/buffered_value.h"

namespace tarnu::protocol {

// Why a payload does not decode. Each fault has exactly one message.
enum class FaultCode : std::uint8_t {
  kNone,  // no fault
  // Reading the payload.
  kEndBeforeMarker,  // the payload ends where a value should begin
  kEndInData,        // ... inside a number, a length or count field, or an ext type byte
  kEndInBody,        // a str, bin or ext body is longer than the bytes left
  kReservedMarker,   // 0xc1
  kDepthLimit,
  kInvalidUtf8,  // the top-level value or the tag is a str that is not UTF-8 (subject)
  // The command's structure. `subject` is the offending value or name.
  kNotACommand,
  kMissingTag,
  kDuplicateTag,
  kUnknownCommand,
  kCommandIndexRange,
  kNotAVariantIdentifier,
  kNotAFieldIdentifier,
  kDuplicateField,  // `name`
  kMissingField,    // `name`
  kI32Range,
  kI32Type,
  kU16Range,
  kU16Type,
  kBooleanType,
  kButtonType,
  kButtonMapSize,
  kUnknownButton,
  kButtonIndexRange,
  kUnitType,
  kTooFewElements,   // `length` elements for the struct variant `name`
  kTooManyElements,  // `length` elements, `expected` wanted
};

// A fault with what its message needs. Plain data, so that decoding carries it around
// cheaply and builds the text only once, at the end.
struct DecodeFault {
  FaultCode code;
  BufferedValue subject;
  std::string_view name;
  std::uint32_t length = 0;
  std::uint32_t expected = 0;
};

inline DecodeFault make_fault(FaultCode code) { return DecodeFault{code, {}, {}}; }
inline DecodeFault make_fault(FaultCode code, const BufferedValue& subject) {
  return DecodeFault{code, subject, {}};
}

// The message of a fault, without the "decode input command: " prefix.
std::string fault_message(const DecodeFault& fault);

}  // namespace tarnu::protocol
