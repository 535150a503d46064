#include "protocol/command_reader.h"

#include <array>
#include <string_view>

namespace tarnu::protocol {
namespace {

constexpr std::string_view kTagKey = "type";

constexpr std::array<std::string_view, kCommandKindCount> kTagNames = {
    "mouseMove", "mouseButton", "scroll", "key", "releaseAll", "secureAttention"};

}  // namespace

CommandReader::CommandReader(std::span<const std::uint8_t> payload, BufferedValues& values)
    : reader_(payload), values_(values), bufferer_(reader_, budget_, values) {}

Expected<CommandLayout, DecodeFault> CommandReader::read() {
  BufferedValue value;
  if (const FaultCode fault = reader_.read_header(value); fault != FaultCode::kNone) {
    return Unexpected(make_fault(fault));
  }
  if (value.kind == ValueKind::kMap || value.kind == ValueKind::kArray) {
    // The top level is the first of the payload's levels; it always fits the budget.
    (void)budget_.enter();
    return value.kind == ValueKind::kMap ? read_map_form(value.count)
                                         : read_array_form(value.count);
  }
  if (value.kind == ValueKind::kBytes && value.is_str()) {
    return Unexpected(make_fault(FaultCode::kInvalidUtf8, value));
  }
  return Unexpected(make_fault(FaultCode::kNotACommand, value));
}

Expected<CommandLayout, DecodeFault> CommandReader::read_map_form(std::uint32_t count) {
  bool tag_seen = false;
  CommandLayout layout{CommandKind::kReleaseAll, CommandForm::kMap, 0};
  for (std::uint32_t entry = 0; entry < count; ++entry) {
    const std::size_t key_index = values_.size();
    if (const FaultCode fault = bufferer_.buffer_value(); fault != FaultCode::kNone) {
      return Unexpected(make_fault(fault));
    }
    const BufferedValue& key = values_[key_index];
    if (key.is_text_or_bytes() && key.bytes_equal(kTagKey)) {
      values_.pop_back();
      if (tag_seen) {
        return Unexpected(make_fault(FaultCode::kDuplicateTag));
      }
      auto kind = read_variant_identifier();
      if (!kind) {
        return Unexpected(kind.error());
      }
      layout.kind = *kind;
      tag_seen = true;
      continue;
    }
    if (const FaultCode fault = bufferer_.buffer_value(); fault != FaultCode::kNone) {
      return Unexpected(make_fault(fault));
    }
    ++layout.entries;
  }
  if (!tag_seen) {
    return Unexpected(make_fault(FaultCode::kMissingTag));
  }
  return layout;
}

Expected<CommandLayout, DecodeFault> CommandReader::read_array_form(std::uint32_t count) {
  if (count == 0) {
    return Unexpected(make_fault(FaultCode::kMissingTag));
  }
  auto kind = read_variant_identifier();
  if (!kind) {
    return Unexpected(kind.error());
  }
  for (std::uint32_t element = 1; element < count; ++element) {
    if (const FaultCode fault = bufferer_.buffer_value(); fault != FaultCode::kNone) {
      return Unexpected(make_fault(fault));
    }
  }
  return CommandLayout{*kind, CommandForm::kArray, count - 1};
}

Expected<CommandKind, DecodeFault> CommandReader::read_variant_identifier() {
  BufferedValue tag;
  if (const FaultCode fault = reader_.read_header(tag); fault != FaultCode::kNone) {
    return Unexpected(make_fault(fault));
  }
  switch (tag.kind) {
    case ValueKind::kBytes:
      if (tag.is_str()) {
        return Unexpected(make_fault(FaultCode::kInvalidUtf8, tag));
      }
      [[fallthrough]];
    case ValueKind::kText: {
      // The six names differ in length, so the length picks the one candidate.
      std::size_t index = 0;
      while (index < kTagNames.size() && kTagNames[index].size() != tag.count) {
        ++index;
      }
      if (index < kTagNames.size() && tag.bytes_equal(kTagNames[index])) {
        return static_cast<CommandKind>(index);
      }
      return Unexpected(make_fault(FaultCode::kUnknownCommand, tag));
    }
    case ValueKind::kUnsigned:
      if (tag.unsigned_value < kCommandKindCount) {
        return static_cast<CommandKind>(tag.unsigned_value);
      }
      return Unexpected(make_fault(FaultCode::kCommandIndexRange, tag));
    default:
      // Signed integers (even 0 to 5), floats, booleans, nil, and containers after their
      // header only.
      return Unexpected(make_fault(FaultCode::kNotAVariantIdentifier, tag));
  }
}

}  // namespace tarnu::protocol
