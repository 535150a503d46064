#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include "platform/expected.h"
#include "platform/handle_api.h"
#include "platform/types.h"
#include "protocol/input_command.h"
#include "windows_input/command_injector.h"
#include "worker/pipe_access.h"
#include "worker/status_file.h"
#include "worker/worker_platform.h"

namespace tarnu::worker {

// Turns one frame payload into a command or into the decoder's error text.
using CommandDecoder =
    std::function<Result<protocol::InputCommand>(std::span<const std::uint8_t> payload)>;

// Frames carry 1 to 65536 payload bytes behind a 4-byte little-endian length.
inline constexpr std::uint32_t kMaxPayloadLength = 65536;

// Pauses after failed waits for a client double from the first to the last value; a served
// client starts them over.
inline constexpr std::uint32_t kFirstBackOffMilliseconds = 10;
inline constexpr std::uint32_t kLastBackOffMilliseconds = 1000;

// The session's input pipe server: one pipe instance for the worker's whole life, so that
// the machine-wide name is never free for another process to take, open to SYSTEM and the
// session's current user (SYSTEM alone, and no client waited for, while that user cannot be
// told); clients of other sessions turned away unread; each frame decoded, recorded in the
// status file (which that user alone reads) and injected on the calling thread, and
// everything held released when the client goes away.
class PipeServer {
 public:
  // `own_user_sid` is the worker's own token user as text, a trusted owner of the status
  // folder ("" when unknown).
  PipeServer(const WorkerPlatform& platform, windows_input::CommandInjector& injector,
             CommandDecoder decoder, std::uint32_t session, std::u16string own_user_sid = {});

  // Serves clients one after another until the service asks the worker to stop. Returns
  // success on that request, once what was held is released and the outcome recorded exactly
  // as at a client's departure, whatever the server was doing: waiting for a client, reading
  // a frame, or between two commands (a command being injected is completed first, and
  // nothing is injected after the release). Otherwise returns only with the text of a fatal
  // error: the first security descriptor or the pipe could not be created, or the pipe
  // instance stopped being one (what was held is released first). A lookup of the session's
  // user that fails for any reason but nobody being logged on is no error: the worker looks
  // again after a pause.
  Status run();

  // Serves one connected client: reads frames until the client goes away, sends a bad
  // length or the service asks the worker to stop, then releases what is held and records
  // the outcome. True when it ended on the stop request.
  bool serve_connection(platform::PipeHandle pipe);

 private:
  // How one wait for a client ended.
  enum class ClientTurn {
    kNext,                 // served, refused or failed: wait for the next one
    kStopBetweenClients,   // the stop arrived while waiting
    kStoppedWhileServing,  // the stop arrived while serving; released and recorded already
    kInstanceLost,         // the handle is no pipe instance any more
  };

  // The pipe's one instance, with the access of `user`; the text of the fatal error when
  // its descriptor or the instance could not be made.
  Expected<platform::ScopedPipe, std::string> create_pipe_instance(const SessionUser& user);
  // Waits for a client, admits it when it is of the worker's session and serves it.
  ClientTurn serve_next_client(platform::PipeHandle pipe);
  // Looks up the session's user and gives the instance that user's access, backing off
  // until it can (or a stop arrives); the user it looked up last.
  SessionUser follow_session_user(platform::PipeHandle pipe);
  // Records a stop that arrived while no client was connected, as a departure is recorded.
  Status stop_between_clients();
  // Fills the buffer from the pipe in as many reads as it takes; false when a read fails or
  // finds the stream at its end.
  bool read_exactly(platform::PipeHandle pipe, std::span<std::uint8_t> buffer);
  // Who is logged on to the session now; the status file learns its reader from it.
  SessionUser look_up_session_user();
  // The pipe's security descriptor for the SDDL, owned.
  Expected<platform::ScopedSecurityDescriptor, platform::WindowsErrorCode> pipe_descriptor(
      const std::string& sddl);
  // Gives the instance the DACL of the SDDL; false when it could not.
  bool apply_pipe_access(platform::PipeHandle pipe, const std::string& sddl);
  // True for a client of the worker's own session; any other is recorded as refused.
  bool admit_client(platform::PipeHandle pipe);
  // Pauses for the next back-off step: each one twice the last, up to the longest.
  void back_off();
  void record(const StatusOutcome& outcome);
  // True once the service has asked the worker to stop; the first time, acknowledges the
  // request, so that nothing interrupts the release and the status write that follow.
  bool stop_arrived();

  WorkerPlatform platform_;
  windows_input::CommandInjector& injector_;
  CommandDecoder decoder_;
  std::uint32_t session_;
  // The worker's own user as SID text, the owner its pipe is created with ("" when unknown).
  std::string owner_sid_;
  StatusFile status_file_;
  // The SDDL whose DACL the pipe instance has.
  std::string applied_sddl_;
  bool stop_acknowledged_ = false;
  // The last back-off pause (0: none since the last served client).
  std::uint32_t pause_ = 0;
};

}  // namespace tarnu::worker
