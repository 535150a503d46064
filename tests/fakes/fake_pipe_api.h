#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "fakes/event_journal.h"
#include "fakes/handle_ledger.h"
#include "platform/pipe_api.h"

namespace tarnu::fakes {

// The server side of a named pipe, played from a script of client connections on one
// instance. Each ConnectNamedPipe takes the next connection; its chunks are delivered in
// order, a read taking at most what is left of the current chunk, as a real pipe hands over
// at most what one client write put in. When a connection's chunks are used up its stream
// ends the way the script says. Once the script is used up, ConnectNamedPipe fails with
// ERROR_INVALID_HANDLE, which ends a server loop.
class FakePipeApi final : public platform::PipeApi {
 public:
  struct Connection {
    // ConnectNamedPipe's failure, if any (535: the client came first).
    std::optional<platform::WindowsErrorCode> connect_error;
    std::vector<std::vector<std::uint8_t>> chunks;
    // How the stream ends: ReadFile failing with this code, or succeeding with 0 bytes.
    std::optional<platform::WindowsErrorCode> end_error = platform::kErrorBrokenPipe;
    // What GetNamedPipeClientSessionId reports for the client.
    Expected<std::uint32_t, platform::WindowsErrorCode> client_session = std::uint32_t{1};
  };

  FakePipeApi(HandleLedger& ledger, EventJournal& journal) : ledger_(ledger), journal_(journal) {}

  std::deque<Connection> connections;
  std::optional<platform::WindowsErrorCode> sddl_error;
  std::optional<platform::WindowsErrorCode> create_error;
  // SetSecurityInfo fails (access denied) this many times before it works.
  int set_security_failures = 0;

  // What the server passed in.
  std::vector<std::u16string> sddl_texts;
  std::vector<std::u16string> pipe_names;
  std::vector<std::size_t> read_sizes;
  int instances_created = 0;

  Expected<platform::SecurityDescriptor, platform::WindowsErrorCode> security_descriptor_from_sddl(
      std::u16string_view sddl) override;
  Expected<platform::PipeHandle, platform::WindowsErrorCode> create_input_pipe(
      std::u16string_view name, platform::SecurityDescriptor security_descriptor) override;
  Expected<void, platform::WindowsErrorCode> set_pipe_security(
      platform::PipeHandle pipe, platform::SecurityDescriptor security_descriptor) override;
  Expected<void, platform::WindowsErrorCode> connect_named_pipe(platform::PipeHandle pipe) override;
  Expected<std::uint32_t, platform::WindowsErrorCode> read_file(
      platform::PipeHandle pipe, std::span<std::uint8_t> buffer) override;
  Expected<std::uint32_t, platform::WindowsErrorCode> client_session_id(
      platform::PipeHandle pipe) override;
  void disconnect_named_pipe(platform::PipeHandle pipe) override;
  void pause(std::uint32_t milliseconds) override;

 private:
  bool is_instance(platform::PipeHandle pipe) const {
    return pipe == pipe_ && ledger_.is_open(pipe);
  }

  HandleLedger& ledger_;
  EventJournal& journal_;
  platform::PipeHandle pipe_;
  std::u16string pipe_name_;
  // Whether each descriptor handed out has a DACL (SetSecurityInfo refuses one without).
  std::map<platform::RawHandle, bool> descriptors_with_dacl_;
  std::optional<Connection> current_;
  std::size_t offset_ = 0;
};

}  // namespace tarnu::fakes
