#pragma once

#include <cstdint>
#include <span>

#include "platform/expected.h"
#include "protocol/buffered_value.h"
#include "protocol/command_layout.h"
#include "protocol/decode_fault.h"
#include "protocol/nesting_budget.h"
#include "protocol/payload_reader.h"
#include "protocol/value_bufferer.h"

namespace tarnu::protocol {

// The first decoding pass: reads the payload's top-level value, resolves the tag wherever it
// stands, and buffers every other entry for the second pass. Every reading fault and every
// tag fault is found here, in reading order, before any field is looked at.
class CommandReader {
 public:
  CommandReader(std::span<const std::uint8_t> payload, BufferedValues& values);

  Expected<CommandLayout, DecodeFault> read();

 private:
  Expected<CommandLayout, DecodeFault> read_map_form(std::uint32_t count);
  Expected<CommandLayout, DecodeFault> read_array_form(std::uint32_t count);
  // Reads the tag's value straight from the payload.
  Expected<CommandKind, DecodeFault> read_variant_identifier();

  PayloadReader reader_;
  NestingBudget budget_;
  BufferedValues& values_;
  ValueBufferer bufferer_;
};

}  // namespace tarnu::protocol
