#include "protocol/payload_reader.h"

#include <msgpuck.h>

#include "protocol/utf8.h"

namespace tarnu::protocol {
namespace {

constexpr std::uint8_t kReservedMarker = 0xc1;

std::uint8_t unsigned_width(std::uint8_t marker) {
  switch (marker) {
    case 0xcd:
      return 16;
    case 0xce:
      return 32;
    case 0xcf:
      return 64;
    default:
      return 8;  // positive fixint, uint 8
  }
}

std::uint8_t signed_width(std::uint8_t marker) {
  switch (marker) {
    case 0xd1:
      return 16;
    case 0xd2:
      return 32;
    case 0xd3:
      return 64;
    default:
      return 8;  // negative fixint, int 8
  }
}

Unexpected<DecodeFault> missing_data() {
  return Unexpected(make_fault(FaultCode::kEndInData));
}

}  // namespace

PayloadReader::PayloadReader(std::span<const std::uint8_t> payload)
    : cursor_(reinterpret_cast<const char*>(payload.data())),
      end_(reinterpret_cast<const char*>(payload.data() + payload.size())) {}

Expected<BufferedValue, DecodeFault> PayloadReader::read_header() {
  if (cursor_ == end_) {
    return Unexpected(make_fault(FaultCode::kEndBeforeMarker));
  }
  const auto marker = static_cast<std::uint8_t>(*cursor_);
  if (marker == kReservedMarker) {
    return Unexpected(make_fault(FaultCode::kReservedMarker));
  }
  BufferedValue value;
  value.width = 0;
  value.ext_type = 0;
  value.marker = marker;
  value.count = 0;
  value.extent = 1;
  value.unsigned_value = 0;
  // msgpuck's checks report how many bytes of the fixed-size part are missing (> 0).
  switch (mp_typeof(*cursor_)) {
    case MP_NIL:
      value.kind = ValueKind::kNil;
      mp_decode_nil(&cursor_);
      return value;
    case MP_BOOL:
      value.kind = ValueKind::kBoolean;
      value.boolean = mp_decode_bool(&cursor_);
      return value;
    case MP_UINT:
      if (mp_check_uint(cursor_, end_) > 0) {
        return missing_data();
      }
      value.kind = ValueKind::kUnsigned;
      value.width = unsigned_width(marker);
      value.unsigned_value = mp_decode_uint(&cursor_);
      return value;
    case MP_INT:
      if (mp_check_int(cursor_, end_) > 0) {
        return missing_data();
      }
      value.kind = ValueKind::kSigned;
      value.width = signed_width(marker);
      value.signed_value = mp_decode_int(&cursor_);
      return value;
    case MP_FLOAT:
      if (mp_check_float(cursor_, end_) > 0) {
        return missing_data();
      }
      value.kind = ValueKind::kFloat;
      value.width = 32;
      value.float_value = mp_decode_float(&cursor_);
      return value;
    case MP_DOUBLE:
      if (mp_check_double(cursor_, end_) > 0) {
        return missing_data();
      }
      value.kind = ValueKind::kFloat;
      value.width = 64;
      value.float_value = mp_decode_double(&cursor_);
      return value;
    case MP_STR: {
      if (mp_check_strl(cursor_, end_) > 0) {
        return missing_data();
      }
      const std::uint32_t length = mp_decode_strl(&cursor_);
      if (auto fault = take_body(value, length)) {
        return Unexpected(*fault);
      }
      value.kind = check_utf8(value.bytes()).valid ? ValueKind::kText : ValueKind::kBytes;
      return value;
    }
    case MP_BIN: {
      if (mp_check_binl(cursor_, end_) > 0) {
        return missing_data();
      }
      const std::uint32_t length = mp_decode_binl(&cursor_);
      if (auto fault = take_body(value, length)) {
        return Unexpected(*fault);
      }
      value.kind = ValueKind::kBytes;
      return value;
    }
    case MP_ARRAY:
      if (mp_check_array(cursor_, end_) > 0) {
        return missing_data();
      }
      value.kind = ValueKind::kArray;
      value.count = mp_decode_array(&cursor_);
      return value;
    case MP_MAP:
      if (mp_check_map(cursor_, end_) > 0) {
        return missing_data();
      }
      value.kind = ValueKind::kMap;
      value.count = mp_decode_map(&cursor_);
      return value;
    case MP_EXT:
      break;
  }
  // ext: fixext 1 to 16 carry their length in the marker, ext 8/16/32 in a field after it.
  // This msgpuck has no ext reader of its own.
  value.kind = ValueKind::kExt;
  const char* field = cursor_ + 1;
  std::size_t field_size = 0;
  switch (marker) {
    case 0xd4:
    case 0xd5:
    case 0xd6:
    case 0xd7:
    case 0xd8:
      value.count = 1u << (marker - 0xd4);
      break;
    case 0xc7:
      field_size = 1;
      break;
    case 0xc8:
      field_size = 2;
      break;
    default:  // 0xc9
      field_size = 4;
      break;
  }
  if (static_cast<std::size_t>(end_ - field) < field_size) {
    return missing_data();
  }
  if (field_size == 1) {
    value.count = mp_load_u8(&field);
  } else if (field_size == 2) {
    value.count = mp_load_u16(&field);
  } else if (field_size == 4) {
    value.count = mp_load_u32(&field);
  }
  cursor_ = field;
  return value;
}

std::optional<DecodeFault> PayloadReader::read_ext_contents(BufferedValue& ext) {
  if (cursor_ == end_) {
    return make_fault(FaultCode::kEndInData);
  }
  ext.ext_type = static_cast<std::int8_t>(mp_load_u8(&cursor_));
  return take_body(ext, ext.count);
}

std::optional<DecodeFault> PayloadReader::take_body(BufferedValue& value, std::uint32_t length) {
  if (remaining() < length) {
    return make_fault(FaultCode::kEndInBody);
  }
  value.data = cursor_;
  value.count = length;
  cursor_ += length;
  return std::nullopt;
}

}  // namespace tarnu::protocol
