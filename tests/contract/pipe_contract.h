#pragma once

// What PipeApi does, written once and run against the scripted fake pipe (native tree) and
// against the Win32 class with real clients in the same process (Windows tree). A client
// opened by the case writes only before the server's ConnectNamedPipe, and a case never reads
// more than a client wrote unless the client has gone: a real read would block.

#include <gtest/gtest.h>

#include "contract/contract_text.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/expected.h"
#include "platform/handle_api.h"
#include "platform/pipe_api.h"

namespace tarnu::contract {

class PipeWorld {
 public:
  virtual ~PipeWorld() = default;

  virtual platform::PipeApi& api() = 0;
  virtual platform::HandleApi& handles() = 0;
  // A pipe name (\\.\pipe\...) nobody else uses.
  virtual std::u16string unique_name() = 0;
  // A client opens the pipe (for writing): its number, or CreateFileW's error.
  virtual Expected<int, platform::WindowsErrorCode> open_client(const std::u16string& name) = 0;
  virtual void client_write(int client, std::string_view bytes) = 0;
  virtual void close_client(int client) = 0;
  // A client that opens the pipe once the server waits for one (an instance that was
  // disconnected refuses clients until then), writes `bytes` and leaves.
  virtual void client_during_next_wait(const std::u16string& name, std::string bytes) = 0;
  // The session of the process the cases run in.
  virtual std::uint32_t own_session() = 0;
};

class PipeContract : public ContractTest<PipeWorld> {};

}  // namespace tarnu::contract
