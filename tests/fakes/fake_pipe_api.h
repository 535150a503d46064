#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "fakes/event_journal.h"
#include "fakes/handle_ledger.h"
#include "platform/pipe_api.h"

namespace tarnu::fakes {

// The server side of a named pipe, played from a script of client connections. Each
// connection delivers its chunks in order; a read takes at most what is left of the current
// chunk, as a real pipe hands over at most what one client write put in. When a
// connection's chunks are used up its stream ends the way the script says. Once the script
// is used up, pipe creation fails (ERROR_PIPE_BUSY by default), which ends a server loop.
class FakePipeApi final : public platform::PipeApi {
 public:
  struct Connection {
    // ConnectNamedPipe's failure, if any (535: the client came first).
    std::optional<platform::WindowsErrorCode> connect_error;
    std::vector<std::vector<std::uint8_t>> chunks;
    // How the stream ends: ReadFile failing with this code, or succeeding with 0 bytes.
    std::optional<platform::WindowsErrorCode> end_error = platform::kErrorBrokenPipe;
  };

  FakePipeApi(HandleLedger& ledger, EventJournal& journal) : ledger_(ledger), journal_(journal) {}

  std::deque<Connection> connections;
  std::optional<platform::WindowsErrorCode> sddl_error;
  platform::WindowsErrorCode create_error_when_done = platform::kErrorPipeBusy;

  // What the server passed in.
  std::vector<std::u16string> sddl_texts;
  std::vector<std::u16string> pipe_names;
  std::vector<std::size_t> read_sizes;

  Expected<platform::RawHandle, platform::WindowsErrorCode> security_descriptor_from_sddl(
      std::u16string_view sddl) override;
  Expected<platform::RawHandle, platform::WindowsErrorCode> create_input_pipe(
      std::u16string_view name, platform::RawHandle security_descriptor) override;
  Expected<void, platform::WindowsErrorCode> connect_named_pipe(platform::RawHandle pipe) override;
  Expected<std::uint32_t, platform::WindowsErrorCode> read_file(
      platform::RawHandle pipe, std::span<std::uint8_t> buffer) override;
  void disconnect_named_pipe(platform::RawHandle pipe) override;

 private:
  HandleLedger& ledger_;
  EventJournal& journal_;
  platform::RawHandle pipe_ = 0;
  std::optional<Connection> current_;
  std::size_t offset_ = 0;
};

}  // namespace tarnu::fakes
