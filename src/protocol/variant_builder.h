#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "platform/expected.h"
#include "protocol/buffered_value.h"
#include "protocol/command_layout.h"
#include "protocol/decode_fault.h"
#include "protocol/input_command.h"

namespace tarnu::protocol {

// The second decoding pass: builds the selected command from the buffered entries, by field
// name or index in the map form and by position in the array form, checking each field's
// type and range.
class VariantBuilder {
 public:
  explicit VariantBuilder(const BufferedValues& values);

  Expected<InputCommand, DecodeFault> build(const CommandLayout& layout);

  enum class FieldType : std::uint8_t { kI32, kU16, kBoolean, kButton, kOptionalButton };
  struct Field {
    std::string_view name;
    FieldType type;
  };

 private:
  // Decoded field values of the command being built; a button is its index, -1 for none
  // (the value of every slot until its field is set).
  struct FieldSlots {
    std::int64_t value[4];
    bool set[4];
  };

  // The steps below return false after recording the fault in `fault_`.
  bool fill_from_map(std::span<const Field> fields, std::uint32_t entries, FieldSlots& slots);
  bool fill_from_array(CommandKind kind, std::span<const Field> fields, std::uint32_t elements,
                       FieldSlots& slots);
  // Resolves a map key to a field index; `fields.size()` means an unknown field.
  bool field_index(std::span<const Field> fields, const BufferedValue& key, std::size_t& field);
  bool decode_field(FieldType type, std::size_t index, std::int64_t& out);
  bool decode_button(std::size_t index, std::int64_t& out);
  bool resolve_button_name(const BufferedValue& name, std::int64_t& out);
  bool fail(FaultCode code, const BufferedValue& subject);

  const BufferedValues& values_;
  DecodeFault fault_;
};

}  // namespace tarnu::protocol
