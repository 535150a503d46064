#include "worker/pipe_server.h"

#include <array>
#include <utility>

#include "platform/handle_api.h"
#include "platform/text.h"
#include "platform/windows_error.h"
#include "worker/pipe_access.h"
#include "worker/status_file.h"

namespace tarnu::worker {

PipeServer::PipeServer(const WorkerPlatform& platform, windows_input::CommandInjector& injector,
                       CommandDecoder decoder, std::uint32_t session)
    : platform_(platform),
      injector_(injector),
      decoder_(std::move(decoder)),
      session_(session),
      status_file_(platform.files, platform.handles, session) {}

std::string PipeServer::run() {
  for (;;) {
    const std::u16string name = input_pipe_name(session_);
    // Looked up for every instance, so that access follows whoever is logged on now.
    const std::string sid_text =
        session_user_sid_text(platform_.sessions, platform_.handles, session_);

    const auto descriptor_value = platform_.pipes.security_descriptor_from_sddl(
        platform::utf8_to_utf16(input_pipe_sddl(sid_text)));
    if (!descriptor_value) {
      return platform::windows_error_text("ConvertStringSecurityDescriptorToSecurityDescriptorW",
                                          descriptor_value.error());
    }
    platform::ScopedLocalMemory descriptor(platform_.handles, *descriptor_value);
    // The first-instance flag makes this fail too while any pipe of the name exists, such
    // as one held by another worker of this session.
    const auto pipe_value = platform_.pipes.create_input_pipe(name, descriptor.get());
    descriptor.reset();
    if (!pipe_value) {
      return platform::windows_error_text("CreateNamedPipeW", pipe_value.error());
    }
    platform::ScopedHandle pipe(platform_.handles, *pipe_value);

    const auto connected = platform_.pipes.connect_named_pipe(pipe.get());
    // ERROR_PIPE_CONNECTED: the client opened the pipe before we started waiting.
    if (!connected && connected.error() != platform::kErrorPipeConnected) {
      continue;
    }
    serve_connection(pipe.get());
    platform_.pipes.disconnect_named_pipe(pipe.get());
  }
}

void PipeServer::serve_connection(platform::RawHandle pipe) {
  for (;;) {
    std::array<std::uint8_t, 4> prefix{};
    if (!read_exactly(pipe, prefix)) {
      break;
    }
    const std::uint32_t length =
        static_cast<std::uint32_t>(prefix[0]) | static_cast<std::uint32_t>(prefix[1]) << 8 |
        static_cast<std::uint32_t>(prefix[2]) << 16 | static_cast<std::uint32_t>(prefix[3]) << 24;
    if (length == 0 || length > kMaxPayloadLength) {
      // The stream cannot be resynchronised after a bad length: drop the client.
      record(StatusOutcome::Failure("invalid input command length: " + std::to_string(length)));
      break;
    }
    // Exactly the announced length, once per frame: the client decides the size, and a
    // worker never holds more for a frame than the frame itself.
    const auto storage = std::make_unique_for_overwrite<std::uint8_t[]>(length);
    const std::span<std::uint8_t> payload(storage.get(), length);
    if (!read_exactly(pipe, payload)) {
      break;
    }
    auto command = decoder_(payload);
    if (!command) {
      record(StatusOutcome::Failure(std::move(command).error()));
      continue;
    }
    // A failed binding is recorded, and the command still goes to whatever desktop the
    // thread is on.
    record(injector_.bind_input_desktop());
    injector_.inject(*command);
  }
  record(injector_.release_at_connection_end());
}

bool PipeServer::read_exactly(platform::RawHandle pipe, std::span<std::uint8_t> buffer) {
  std::size_t received = 0;
  while (received < buffer.size()) {
    const auto read = platform_.pipes.read_file(pipe, buffer.subspan(received));
    if (!read || *read == 0 || *read > buffer.size() - received) {
      return false;
    }
    received += *read;
  }
  return true;
}

void PipeServer::record(const StatusOutcome& outcome) { status_file_.write(outcome); }

}  // namespace tarnu::worker
