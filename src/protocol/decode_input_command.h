#pragma once

#include <cstdint>
#include <span>

#include "platform/expected.h"
#include "protocol/input_command.h"

namespace tarnu::protocol {

// Decodes one frame payload (1 to 65536 bytes) into a command, or into an error text that
// begins "decode input command: ". Pure: no I/O and no state between calls; bytes after the
// first complete value are ignored and nothing past the payload is read.
//
// The error texts are a contract, not diagnostics: the worker writes each one as it is to
// the status file's failure line, which the desktop application reads, and the protocol
// page lists them with their payloads. Their exact wording (value descriptions, the shortest
// float digits and their ties, which code points are escaped) is what the whole of
// src/protocol keeps stable; change one only together with its reader.
Result<InputCommand> decode_input_command(std::span<const std::uint8_t> payload);

}  // namespace tarnu::protocol
