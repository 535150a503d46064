#include "protocol/payload_reader.h"

#include <msgpuck.h>

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

// The cursor is a local of the caller's, so that it stays in a register while the value
// is written (a store through `value.data` could otherwise alias a member cursor).
FaultCode read_value_header(const char*& cursor, const char* end, BufferedValue& value) {
  if (cursor == end) {
    return FaultCode::kEndBeforeMarker;
  }
  const auto marker = static_cast<std::uint8_t>(*cursor);
  if (marker == kReservedMarker) {
    return FaultCode::kReservedMarker;
  }
  value.width = 0;
  value.ext_type = 0;
  value.marker = marker;
  value.count = 0;
  value.extent = 1;
  value.unsigned_value = 0;
  // msgpuck's checks report how many bytes of the fixed-size part are missing (> 0).
  switch (mp_typeof(*cursor)) {
    case MP_NIL:
      value.kind = ValueKind::kNil;
      mp_decode_nil(&cursor);
      return FaultCode::kNone;
    case MP_BOOL:
      value.kind = ValueKind::kBoolean;
      value.boolean = mp_decode_bool(&cursor);
      return FaultCode::kNone;
    case MP_UINT:
      if (mp_check_uint(cursor, end) > 0) {
        return FaultCode::kEndInData;
      }
      value.kind = ValueKind::kUnsigned;
      value.width = unsigned_width(marker);
      value.unsigned_value = mp_decode_uint(&cursor);
      return FaultCode::kNone;
    case MP_INT:
      if (mp_check_int(cursor, end) > 0) {
        return FaultCode::kEndInData;
      }
      value.kind = ValueKind::kSigned;
      value.width = signed_width(marker);
      value.signed_value = mp_decode_int(&cursor);
      return FaultCode::kNone;
    case MP_FLOAT:
      if (mp_check_float(cursor, end) > 0) {
        return FaultCode::kEndInData;
      }
      value.kind = ValueKind::kFloat;
      value.width = 32;
      value.float_value = mp_decode_float(&cursor);
      return FaultCode::kNone;
    case MP_DOUBLE:
      if (mp_check_double(cursor, end) > 0) {
        return FaultCode::kEndInData;
      }
      value.kind = ValueKind::kFloat;
      value.width = 64;
      value.float_value = mp_decode_double(&cursor);
      return FaultCode::kNone;
    case MP_STR: {
      if (mp_check_strl(cursor, end) > 0) {
        return FaultCode::kEndInData;
      }
      const std::uint32_t length = mp_decode_strl(&cursor);
      if (static_cast<std::size_t>(end - cursor) < length) {
        return FaultCode::kEndInBody;
      }
      value.data = cursor;
      value.count = length;
      cursor += length;
      value.kind = platform::is_utf8(value.bytes()) ? ValueKind::kText : ValueKind::kBytes;
      return FaultCode::kNone;
    }
    case MP_BIN: {
      // A bin marker always has a length byte after it. This msgpuck's mp_check_binl asserts
      // that byte's presence rather than reporting it missing, so a marker alone is answered
      // here, as the check would answer it.
      if (end - cursor < 2 || mp_check_binl(cursor, end) > 0) {
        return FaultCode::kEndInData;
      }
      const std::uint32_t length = mp_decode_binl(&cursor);
      if (static_cast<std::size_t>(end - cursor) < length) {
        return FaultCode::kEndInBody;
      }
      value.data = cursor;
      value.count = length;
      cursor += length;
      value.kind = ValueKind::kBytes;
      return FaultCode::kNone;
    }
    case MP_ARRAY:
      if (mp_check_array(cursor, end) > 0) {
        return FaultCode::kEndInData;
      }
      value.kind = ValueKind::kArray;
      value.count = mp_decode_array(&cursor);
      return FaultCode::kNone;
    case MP_MAP:
      if (mp_check_map(cursor, end) > 0) {
        return FaultCode::kEndInData;
      }
      value.kind = ValueKind::kMap;
      value.count = mp_decode_map(&cursor);
      return FaultCode::kNone;
    case MP_EXT:
      break;
  }
  // ext: fixext 1 to 16 carry their length in the marker, ext 8/16/32 in a field after it.
  // This msgpuck has no ext reader of its own.
  value.kind = ValueKind::kExt;
  const char* field = cursor + 1;
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
  if (static_cast<std::size_t>(end - field) < field_size) {
    return FaultCode::kEndInData;
  }
  if (field_size == 1) {
    value.count = mp_load_u8(&field);
  } else if (field_size == 2) {
    value.count = mp_load_u16(&field);
  } else if (field_size == 4) {
    value.count = mp_load_u32(&field);
  }
  cursor = field;
  return FaultCode::kNone;
}

}  // namespace

PayloadReader::PayloadReader(std::span<const std::uint8_t> payload)
    : cursor_(reinterpret_cast<const char*>(payload.data())),
      end_(reinterpret_cast<const char*>(payload.data() + payload.size())) {}

FaultCode PayloadReader::read_other_header(BufferedValue& value) {
  const char* cursor = cursor_;
  const FaultCode fault = read_value_header(cursor, end_, value);
  cursor_ = cursor;
  return fault;
}

FaultCode PayloadReader::read_ext_contents(BufferedValue& ext) {
  if (cursor_ == end_) {
    return FaultCode::kEndInData;
  }
  ext.ext_type = static_cast<std::int8_t>(mp_load_u8(&cursor_));
  return take_body(ext, ext.count);
}

FaultCode PayloadReader::take_body(BufferedValue& value, std::uint32_t length) {
  if (remaining() < length) {
    return FaultCode::kEndInBody;
  }
  value.data = cursor_;
  value.count = length;
  cursor_ += length;
  return FaultCode::kNone;
}

}  // namespace tarnu::protocol
