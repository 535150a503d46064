#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include "platform/expected.h"
#include "platform/types.h"
#include "protocol/input_command.h"
#include "windows_input/command_injector.h"
#include "worker/status_file.h"
#include "worker/worker_platform.h"

namespace tarnu::worker {

// Turns one frame payload into a command or into the decoder's error text.
using CommandDecoder =
    std::function<Result<protocol::InputCommand>(std::span<const std::uint8_t> payload)>;

// Frames carry 1 to 65536 payload bytes behind a 4-byte little-endian length.
inline constexpr std::uint32_t kMaxPayloadLength = 65536;

// The session's input pipe server: one pipe instance at a time, created anew for every
// client with access for SYSTEM and the session's user, each frame decoded, recorded in the
// status file and injected on the calling thread, and everything held released when the
// client goes away.
class PipeServer {
 public:
  PipeServer(const WorkerPlatform& platform, windows_input::CommandInjector& injector,
             CommandDecoder decoder, std::uint32_t session);

  // Serves clients one after another for ever. Returns only with the text of a fatal error:
  // the security descriptor or the pipe could not be created.
  std::string run();

  // Serves one connected client: reads frames until the client goes away or sends a bad
  // length, then releases what is held and records the outcome.
  void serve_connection(platform::RawHandle pipe);

 private:
  // Fills the buffer from the pipe in as many reads as it takes; false when a read fails or
  // finds the stream at its end.
  bool read_exactly(platform::RawHandle pipe, std::span<std::uint8_t> buffer);
  void record(const StatusOutcome& outcome);

  WorkerPlatform platform_;
  windows_input::CommandInjector& injector_;
  CommandDecoder decoder_;
  std::uint32_t session_;
  StatusFile status_file_;
};

}  // namespace tarnu::worker
