#pragma once

#include <cstdint>
#include <span>

#include "platform/expected.h"
#include "protocol/input_command.h"

namespace tarnu::protocol {

// Decodes one frame payload (1 to 65536 bytes) into a command, or into an error text that
// begins "decode input command: ". Pure: no I/O and no state between calls; bytes after
// the first complete value are ignored and nothing past the payload is read.
Result<InputCommand> decode_input_command(std::span<const std::uint8_t> payload);

}  // namespace tarnu::protocol
