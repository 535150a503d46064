#include "protocol/decode_input_command.h"

#include "protocol/buffered_value.h"
#include "protocol/command_reader.h"
#include "protocol/decode_fault.h"
#include "protocol/variant_builder.h"

namespace tarnu::protocol {
namespace {

Unexpected<std::string> failure(const DecodeFault& fault) {
  return Unexpected("decode input command: " + fault_message(fault));
}

}  // namespace

// Two passes, because the tag may stand after the fields in a map: the first reads the
// payload whole, resolving the tag and buffering everything else; the second builds the
// command from what was buffered.
Result<InputCommand> decode_input_command(std::span<const std::uint8_t> payload) {
  BufferedValues values;
  CommandReader reader(payload, values);
  const auto layout = reader.read();
  if (!layout) {
    return failure(layout.error());
  }
  VariantBuilder builder(values);
  auto command = builder.build(*layout);
  if (!command) {
    return failure(command.error());
  }
  return std::move(command).value();
}

}  // namespace tarnu::protocol
