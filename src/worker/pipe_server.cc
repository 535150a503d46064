#include "worker/pipe_server.h"

#include <algorithm>
#include <array>
#include <utility>

#include "platform/handle_api.h"
#include "platform/text.h"
#include "platform/windows_error.h"
#include "worker/pipe_access.h"
#include "worker/status_file.h"

namespace tarnu::worker {

PipeServer::PipeServer(const WorkerPlatform& platform, windows_input::CommandInjector& injector,
                       CommandDecoder decoder, std::uint32_t session, std::u16string own_user_sid)
    : platform_(platform),
      injector_(injector),
      decoder_(std::move(decoder)),
      session_(session),
      owner_sid_(platform::utf16_to_utf8(own_user_sid)),
      status_file_(platform.files, platform.handles, session, std::move(own_user_sid),
                   platform.events) {}

Status PipeServer::run() {
  SessionUser user = look_up_session_user();
  auto created = create_pipe_instance(user);
  if (!created) {
    return Unexpected(std::move(created).error());
  }
  // The one instance lives as long as the worker: between two clients it is disconnected,
  // never closed, so no other process can create a pipe of the name and wait for the
  // session's client in its place.
  const platform::ScopedPipe pipe = std::move(*created);
  for (;;) {
    if (stop_arrived()) {
      return stop_between_clients();
    }
    if (user.kind == SessionUser::Kind::kUnknown) {
      // Whoever is logged on could not be told: the instance is SYSTEM's alone and waits for
      // nobody until a lookup succeeds.
      back_off();
    } else {
      switch (serve_next_client(pipe.get())) {
        case ClientTurn::kNext:
          break;
        case ClientTurn::kStopBetweenClients:
          return stop_between_clients();
        case ClientTurn::kStoppedWhileServing:
          return {};
        case ClientTurn::kInstanceLost:
          record(injector_.release_at_connection_end());
          return Unexpected(
              platform::windows_error_text("ConnectNamedPipe", platform::kErrorInvalidHandle));
      }
    }
    user = follow_session_user(pipe.get());
  }
}

Expected<platform::ScopedPipe, std::string> PipeServer::create_pipe_instance(
    const SessionUser& user) {
  applied_sddl_ = input_pipe_sddl(user, owner_sid_);
  auto descriptor = pipe_descriptor(applied_sddl_);
  if (!descriptor) {
    return Unexpected(platform::windows_error_text(
        "ConvertStringSecurityDescriptorToSecurityDescriptorW", descriptor.error()));
  }
  // The first-instance flag makes this fail while any pipe of the name exists, such as one
  // held by another worker of this session or by a process that took the name first.
  const auto pipe_value =
      platform_.pipes.create_input_pipe(input_pipe_name(session_), descriptor->get());
  descriptor->reset();
  if (!pipe_value) {
    return Unexpected(platform::windows_error_text("CreateNamedPipeW", pipe_value.error()));
  }
  return platform::ScopedPipe(platform_.handles, *pipe_value);
}

PipeServer::ClientTurn PipeServer::serve_next_client(platform::PipeHandle pipe) {
  const auto connected = platform_.pipes.connect_named_pipe(pipe);
  // A stop cancels the wait (ERROR_OPERATION_ABORTED); a client that connected at the same
  // moment is not served.
  if (stop_arrived()) {
    return ClientTurn::kStopBetweenClients;
  }
  // ERROR_PIPE_CONNECTED: the client opened the pipe before we started waiting.
  if (!connected && connected.error() != platform::kErrorPipeConnected) {
    if (connected.error() == platform::kErrorInvalidHandle) {
      // The handle is no pipe instance (any more): no wait on it can succeed.
      return ClientTurn::kInstanceLost;
    }
    // A client that came and went before the wait (ERROR_NO_DATA) leaves the instance
    // closing until it is disconnected.
    platform_.pipes.disconnect_named_pipe(pipe);
    back_off();
    return ClientTurn::kNext;
  }
  if (admit_client(pipe)) {
    if (serve_connection(pipe)) {
      // Stopped: what the client held is released and recorded already.
      platform_.pipes.disconnect_named_pipe(pipe);
      return ClientTurn::kStoppedWhileServing;
    }
    pause_ = 0;
  }
  platform_.pipes.disconnect_named_pipe(pipe);
  return ClientTurn::kNext;
}

SessionUser PipeServer::follow_session_user(platform::PipeHandle pipe) {
  // Access follows whoever is logged on to the session before the next wait. The pipe waits
  // for nobody with the access of a user who has gone.
  for (;;) {
    SessionUser user = look_up_session_user();
    const std::string sddl = input_pipe_sddl(user, owner_sid_);
    if (sddl == applied_sddl_ || apply_pipe_access(pipe, sddl)) {
      return user;
    }
    if (stop_arrived()) {
      return user;  // seen before the next wait
    }
    back_off();
  }
}

Status PipeServer::stop_between_clients() {
  // Between two clients nothing is held (a client's departure released it all), but a stop
  // is recorded as a departure is.
  record(injector_.release_at_connection_end());
  return {};
}

SessionUser PipeServer::look_up_session_user() {
  SessionUser user = session_user(platform_.sessions, platform_.handles, session_);
  // The status file is read by the session's user alone: nobody else when nobody is logged
  // on or the user is unknown.
  status_file_.set_reader(user.kind == SessionUser::Kind::kUser
                              ? platform::utf8_to_utf16(user.sid_text)
                              : std::u16string());
  return user;
}

Expected<platform::ScopedSecurityDescriptor, platform::WindowsErrorCode>
PipeServer::pipe_descriptor(const std::string& sddl) {
  const auto descriptor =
      platform_.pipes.security_descriptor_from_sddl(platform::utf8_to_utf16(sddl));
  if (!descriptor) {
    return Unexpected(descriptor.error());
  }
  return platform::ScopedSecurityDescriptor(platform_.handles, *descriptor);
}

bool PipeServer::apply_pipe_access(platform::PipeHandle pipe, const std::string& sddl) {
  const auto descriptor = pipe_descriptor(sddl);
  if (!descriptor || !platform_.pipes.set_pipe_security(pipe, descriptor->get())) {
    return false;
  }
  applied_sddl_ = sddl;
  return true;
}

bool PipeServer::admit_client(platform::PipeHandle pipe) {
  // The session is the one the system recorded when the client opened the pipe, not a
  // claim of the client's. A client of another session (another user's Remote Desktop
  // session, say, admitted by the interactive users' entry) must not type at this one.
  const auto client_session = platform_.pipes.client_session_id(pipe);
  if (!client_session) {
    record(StatusOutcome::Failure(
        platform::windows_error_text("GetNamedPipeClientSessionId", client_session.error())));
    return false;
  }
  if (*client_session != session_) {
    record(StatusOutcome::Failure("pipe client from session " + std::to_string(*client_session) +
                                  " refused"));
    return false;
  }
  return true;
}

void PipeServer::back_off() {
  pause_ = pause_ == 0 ? kFirstBackOffMilliseconds : std::min(pause_ * 2, kLastBackOffMilliseconds);
  platform_.pipes.pause(pause_);
}

bool PipeServer::serve_connection(platform::PipeHandle pipe) {
  for (;;) {
    // Between two commands: the last one was injected in full, and no other is read.
    if (stop_arrived()) {
      break;
    }
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
    injector_.inject_command(*command);
  }
  // The client left, sent a bad length, or a stop arrived: between two commands, or during a
  // read, which it cancels (ERROR_OPERATION_ABORTED).
  const bool stopped = stop_arrived();
  record(injector_.release_at_connection_end());
  return stopped;
}

bool PipeServer::read_exactly(platform::PipeHandle pipe, std::span<std::uint8_t> buffer) {
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

bool PipeServer::stop_arrived() {
  if (!stop_acknowledged_ && platform_.stop.stop_requested()) {
    platform_.stop.acknowledge_stop();
    stop_acknowledged_ = true;
  }
  return stop_acknowledged_;
}

}  // namespace tarnu::worker
