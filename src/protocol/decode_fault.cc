#include "protocol/decode_fault.h"

#include "platform/text.h"
#include "protocol/value_description.h"

namespace tarnu::protocol {
namespace {

std::string invalid_type(const BufferedValue& value, std::string_view expected) {
  std::string text = "invalid type: ";
  append_value_description(text, value);
  text += ", expected ";
  text += expected;
  return text;
}

// The integer placeholders of the invalid-value messages: the value in decimal.
std::string invalid_integer(const BufferedValue& value, std::string_view expected) {
  std::string text = "invalid value: ";
  append_value_description(text, value);
  text += ", expected ";
  text += expected;
  return text;
}

// A received name, written as it is; a bin or non-UTF-8 str gets U+FFFD for what is not
// UTF-8.
std::string unknown_variant(const BufferedValue& name, std::string_view expected) {
  std::string text = "unknown variant `";
  text += name.kind == ValueKind::kText ? std::string(name.bytes())
                                        : platform::utf8_lossy(name.bytes());
  text += "`, expected one of ";
  text += expected;
  return text;
}

std::string invalid_utf8(std::string_view bytes) {
  const platform::Utf8Check check = platform::check_utf8(bytes);
  std::string text = "string found to be invalid utf8: ";
  if (check.error_length == 0) {
    text += "incomplete utf-8 byte sequence from index ";
    platform::append_decimal(text, check.valid_up_to);
  } else {
    text += "invalid utf-8 sequence of ";
    platform::append_decimal(text, check.error_length);
    text += " bytes from index ";
    platform::append_decimal(text, check.valid_up_to);
  }
  return text;
}

}  // namespace

std::string fault_message(const DecodeFault& fault) {
  const BufferedValue& subject = fault.subject;
  switch (fault.code) {
    case FaultCode::kNone:
      break;
    case FaultCode::kEndBeforeMarker:
      return "IO error while reading marker: failed to fill whole buffer";
    case FaultCode::kEndInData:
      return "IO error while reading data: failed to fill whole buffer";
    case FaultCode::kEndInBody:
      return "IO error while reading data: unexpected end of file";
    case FaultCode::kReservedMarker:
      return "wrong msgpack marker Reserved";
    case FaultCode::kDepthLimit:
      return "depth limit exceeded";
    case FaultCode::kInvalidUtf8:
      return invalid_utf8(subject.bytes());
    case FaultCode::kNotACommand:
      return invalid_type(subject, "internally tagged enum InputCommand");
    case FaultCode::kMissingTag:
      return "missing field `type`";
    case FaultCode::kDuplicateTag:
      return "duplicate field `type`";
    case FaultCode::kUnknownCommand:
      return unknown_variant(subject,
                             "`mouseMove`, `mouseButton`, `scroll`, `key`, `releaseAll`, "
                             "`secureAttention`");
    case FaultCode::kCommandIndexRange:
      return invalid_integer(subject, "variant index 0 <= i < 6");
    case FaultCode::kNotAVariantIdentifier:
      return invalid_type(subject, "variant identifier");
    case FaultCode::kNotAFieldIdentifier:
      return invalid_type(subject, "field identifier");
    case FaultCode::kDuplicateField:
      return "duplicate field `" + std::string(fault.name) + "`";
    case FaultCode::kMissingField:
      return "missing field `" + std::string(fault.name) + "`";
    case FaultCode::kI32Range:
      return invalid_integer(subject, "i32");
    case FaultCode::kI32Type:
      return invalid_type(subject, "i32");
    case FaultCode::kU16Range:
      return invalid_integer(subject, "u16");
    case FaultCode::kU16Type:
      return invalid_type(subject, "u16");
    case FaultCode::kBooleanType:
      return invalid_type(subject, "a boolean");
    case FaultCode::kButtonType:
      return invalid_type(subject, "string or map");
    case FaultCode::kButtonMapSize:
      return "invalid value: map, expected map with a single key";
    case FaultCode::kUnknownButton:
      return unknown_variant(subject, "`left`, `right`, `middle`, `back`, `forward`");
    case FaultCode::kButtonIndexRange:
      return invalid_integer(subject, "variant index 0 <= i < 5");
    case FaultCode::kUnitType:
      return invalid_type(subject, "unit");
    case FaultCode::kTooFewElements: {
      std::string text = "invalid length ";
      platform::append_decimal(text, fault.length);
      text += ", expected ";
      text += fault.name;
      return text;
    }
    case FaultCode::kTooManyElements: {
      std::string text = "invalid length ";
      platform::append_decimal(text, fault.length);
      text += ", expected ";
      platform::append_decimal(text, fault.expected);
      text += " elements in sequence";
      return text;
    }
  }
  return "no fault";
}

}  // namespace tarnu::protocol
