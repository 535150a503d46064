#include "protocol/variant_builder.h"

#include <algorithm>
#include <array>
#include <limits>
#include <span>
#include <string_view>

namespace tarnu::protocol {
namespace {

using Field = VariantBuilder::Field;
using FieldType = VariantBuilder::FieldType;

constexpr Field kMouseMoveFields[] = {
    {"x", FieldType::kI32}, {"y", FieldType::kI32}, {"drag_button", FieldType::kOptionalButton}};
constexpr Field kMouseButtonFields[] = {{"button", FieldType::kButton},
                                        {"down", FieldType::kBoolean},
                                        {"x", FieldType::kI32},
                                        {"y", FieldType::kI32}};
constexpr Field kScrollFields[] = {{"delta_x", FieldType::kI32}, {"delta_y", FieldType::kI32}};
constexpr Field kKeyFields[] = {{"key_code", FieldType::kU16}, {"down", FieldType::kBoolean}};

std::span<const Field> fields_of(CommandKind kind) {
  switch (kind) {
    case CommandKind::kMouseMove:
      return kMouseMoveFields;
    case CommandKind::kMouseButton:
      return kMouseButtonFields;
    case CommandKind::kScroll:
      return kScrollFields;
    case CommandKind::kKey:
      return kKeyFields;
    case CommandKind::kReleaseAll:
    case CommandKind::kSecureAttention:
      break;
  }
  return {};
}

std::string_view array_form_text(CommandKind kind) {
  switch (kind) {
    case CommandKind::kMouseMove:
      return "struct variant InputCommand::MouseMove with 3 elements";
    case CommandKind::kMouseButton:
      return "struct variant InputCommand::MouseButton with 4 elements";
    case CommandKind::kScroll:
      return "struct variant InputCommand::Scroll with 2 elements";
    default:
      return "struct variant InputCommand::Key with 2 elements";
  }
}

constexpr std::array<std::string_view, kMouseButtonCount> kButtonNames = {"left", "right", "middle",
                                                                          "back", "forward"};

// The integer's value if it lies in [low, high].
bool integer_in_range(const BufferedValue& value, std::int64_t low, std::int64_t high,
                      std::int64_t& out) {
  if (value.kind == ValueKind::kUnsigned) {
    if (value.unsigned_value > static_cast<std::uint64_t>(high)) {
      return false;
    }
    out = static_cast<std::int64_t>(value.unsigned_value);
    return true;
  }
  if (value.signed_value < low || value.signed_value > high) {
    return false;
  }
  out = value.signed_value;
  return true;
}

std::int32_t to_i32(std::int64_t value) { return static_cast<std::int32_t>(value); }

std::optional<MouseButton> to_button(std::int64_t value) {
  if (value < 0) {
    return std::nullopt;
  }
  return static_cast<MouseButton>(value);
}

}  // namespace

VariantBuilder::VariantBuilder(const BufferedValues& values) : values_(values) {}

Expected<InputCommand, DecodeFault> VariantBuilder::build(const CommandLayout& layout) {
  const std::span<const Field> fields = fields_of(layout.kind);
  FieldSlots slots{{-1, -1, -1, -1}, {false, false, false, false}};
  const bool filled = layout.form == CommandForm::kMap
                          ? fill_from_map(fields, layout.entries, slots)
                          : fill_from_array(layout.kind, fields, layout.entries, slots);
  if (!filled) {
    return Unexpected(fault_);
  }
  const auto* v = slots.value;
  switch (layout.kind) {
    case CommandKind::kMouseMove:
      return InputCommand{InputCommand::MouseMove{to_i32(v[0]), to_i32(v[1]), to_button(v[2])}};
    case CommandKind::kMouseButton:
      return InputCommand{InputCommand::MouseButton{static_cast<MouseButton>(v[0]), v[1] != 0,
                                                    to_i32(v[2]), to_i32(v[3])}};
    case CommandKind::kScroll:
      return InputCommand{InputCommand::Scroll{to_i32(v[0]), to_i32(v[1])}};
    case CommandKind::kKey:
      return InputCommand{InputCommand::Key{static_cast<std::uint16_t>(v[0]), v[1] != 0}};
    case CommandKind::kReleaseAll:
      return InputCommand{InputCommand::ReleaseAll{}};
    case CommandKind::kSecureAttention:
      break;
  }
  return InputCommand{InputCommand::SecureAttention{}};
}

bool VariantBuilder::fill_from_map(std::span<const Field> fields, std::uint32_t entries,
                                   FieldSlots& slots) {
  // A command without fields ignores every entry, whatever it holds.
  if (fields.empty()) {
    return true;
  }
  std::size_t key_index = 0;
  for (std::uint32_t entry = 0; entry < entries; ++entry) {
    const BufferedValue& key = values_[key_index];
    const std::size_t value_index = key_index + key.extent;
    key_index = value_index + values_[value_index].extent;
    std::size_t field = 0;
    if (!field_index(fields, key, field)) {
      return false;
    }
    if (field == fields.size()) {
      continue;  // unknown field: its value is not looked at
    }
    if (slots.set[field]) {
      fault_ = make_fault(FaultCode::kDuplicateField);
      fault_.name = fields[field].name;
      return false;
    }
    if (!decode_field(fields[field].type, value_index, slots.value[field])) {
      return false;
    }
    slots.set[field] = true;
  }
  for (std::size_t field = 0; field < fields.size(); ++field) {
    if (!slots.set[field] && fields[field].type != FieldType::kOptionalButton) {
      fault_ = make_fault(FaultCode::kMissingField);
      fault_.name = fields[field].name;
      return false;
    }
  }
  return true;
}

bool VariantBuilder::fill_from_array(CommandKind kind, std::span<const Field> fields,
                                     std::uint32_t elements, FieldSlots& slots) {
  std::size_t index = 0;
  const std::size_t present = std::min<std::size_t>(elements, fields.size());
  for (std::size_t field = 0; field < present; ++field) {
    if (!decode_field(fields[field].type, index, slots.value[field])) {
      return false;
    }
    slots.set[field] = true;
    index += values_[index].extent;
  }
  if (elements < fields.size()) {
    fault_ = make_fault(FaultCode::kTooFewElements);
    fault_.length = elements;
    fault_.name = array_form_text(kind);
    return false;
  }
  if (elements > fields.size()) {
    fault_ = make_fault(FaultCode::kTooManyElements);
    fault_.length = elements;
    fault_.expected = static_cast<std::uint32_t>(fields.size());
    return false;
  }
  return true;
}

bool VariantBuilder::field_index(std::span<const Field> fields, const BufferedValue& key,
                                 std::size_t& field) {
  if (key.is_text_or_bytes()) {
    field = 0;
    while (field < fields.size() && !key.bytes_equal(fields[field].name)) {
      ++field;
    }
    return true;
  }
  // Only 8-bit and 64-bit unsigned formats name a field by index; an index past the last
  // field is an unknown field.
  if (key.is_index()) {
    field = key.unsigned_value < fields.size() ? static_cast<std::size_t>(key.unsigned_value)
                                               : fields.size();
    return true;
  }
  return fail(FaultCode::kNotAFieldIdentifier, key);
}

bool VariantBuilder::decode_field(FieldType type, std::size_t index, std::int64_t& out) {
  const BufferedValue& value = values_[index];
  switch (type) {
    case FieldType::kI32:
      if (!value.is_integer()) {
        return fail(FaultCode::kI32Type, value);
      }
      if (!integer_in_range(value, std::numeric_limits<std::int32_t>::min(),
                            std::numeric_limits<std::int32_t>::max(), out)) {
        return fail(FaultCode::kI32Range, value);
      }
      return true;
    case FieldType::kU16:
      if (!value.is_integer()) {
        return fail(FaultCode::kU16Type, value);
      }
      if (!integer_in_range(value, 0, std::numeric_limits<std::uint16_t>::max(), out)) {
        return fail(FaultCode::kU16Range, value);
      }
      return true;
    case FieldType::kBoolean:
      if (value.kind != ValueKind::kBoolean) {
        return fail(FaultCode::kBooleanType, value);
      }
      out = value.boolean ? 1 : 0;
      return true;
    case FieldType::kOptionalButton:
      if (value.kind == ValueKind::kNil) {
        out = -1;
        return true;
      }
      return decode_button(index, out);
    case FieldType::kButton:
      break;
  }
  return decode_button(index, out);
}

bool VariantBuilder::decode_button(std::size_t index, std::int64_t& out) {
  const BufferedValue& value = values_[index];
  if (value.kind == ValueKind::kText) {
    return resolve_button_name(value, out);
  }
  if (value.kind != ValueKind::kMap) {
    return fail(FaultCode::kButtonType, value);
  }
  if (value.count != 1) {
    return fail(FaultCode::kButtonMapSize, value);
  }
  // {name: nil} or {name: {}}: the name first, only then the value.
  const BufferedValue& key = values_[index + 1];
  if (!resolve_button_name(key, out)) {
    return false;
  }
  const BufferedValue& unit = values_[index + 1 + key.extent];
  if (unit.kind != ValueKind::kNil && !(unit.kind == ValueKind::kMap && unit.count == 0)) {
    return fail(FaultCode::kUnitType, unit);
  }
  return true;
}

// A button named by text or bytes, or by index as the key of a one-entry map.
bool VariantBuilder::resolve_button_name(const BufferedValue& name, std::int64_t& out) {
  if (name.is_text_or_bytes()) {
    for (std::size_t index = 0; index < kButtonNames.size(); ++index) {
      if (name.bytes_equal(kButtonNames[index])) {
        out = static_cast<std::int64_t>(index);
        return true;
      }
    }
    return fail(FaultCode::kUnknownButton, name);
  }
  if (name.is_index()) {
    if (name.unsigned_value < kMouseButtonCount) {
      out = static_cast<std::int64_t>(name.unsigned_value);
      return true;
    }
    return fail(FaultCode::kButtonIndexRange, name);
  }
  return fail(FaultCode::kNotAVariantIdentifier, name);
}

bool VariantBuilder::fail(FaultCode code, const BufferedValue& subject) {
  fault_ = make_fault(code, subject);
  return false;
}

}  // namespace tarnu::protocol
