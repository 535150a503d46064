#pragma once

// The behaviour of each area of the seam, written once and run against the recording fakes
// (native tree, contract_fake_test.cc) and against the Win32 classes (Windows tree, under
// Wine, contract_win_test.cc). Each case gets a fresh world: the interfaces, and what a case
// needs arranged around them.

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "fakes/fake_file_system_api.h"
#include "platform/desktop_api.h"
#include "platform/expected.h"
#include "platform/file_system_api.h"
#include "platform/handle_api.h"
#include "platform/input_api.h"
#include "platform/pipe_api.h"
#include "platform/process_launch_api.h"
#include "platform/session_api.h"

namespace tarnu::contract {

// UTF-16 text as plain text for test messages (non-ASCII as '?').
using fakes::narrow;

// "S-1-" followed by at least two more numbers, digits and dashes only: what
// ConvertSidToStringSidW makes of a SID.
inline bool is_sid_text(std::u16string_view text) {
  if (text.substr(0, 4) != u"S-1-" || text.size() < 7 || text.back() == u'-') {
    return false;
  }
  int dashes = 0;
  for (const char16_t unit : text.substr(4)) {
    if (unit == u'-') {
      ++dashes;
    } else if (unit < u'0' || unit > u'9') {
      return false;
    }
  }
  return dashes >= 1;
}

class World {
 public:
  virtual ~World() = default;

  // Closes and frees what any of the interfaces handed out (desktops excepted).
  virtual platform::HandleApi& handles() = 0;

  // Files and environment.
  virtual platform::FileSystemApi& files() = 0;
  // An empty folder that belongs to this case, without a trailing backslash.
  virtual std::u16string folder() = 0;
  virtual void make_file(const std::u16string& path, std::string_view content) = 0;
  virtual std::string content(const std::u16string& path) = 0;
  // A second name for an existing file.
  virtual void make_hard_link(const std::u16string& existing, const std::u16string& link) = 0;
  // Sets (or, with nothing, removes) a variable of the process's environment.
  virtual void set_environment(const std::u16string& name,
                               const std::optional<std::u16string>& value) = 0;
  // Makes `folder` (no trailing backslash) the process's temporary-files directory, as the
  // TMP variable does.
  virtual void use_temporary_folder(const std::u16string& folder) = 0;
  // The SID text of the user the process runs as.
  virtual std::u16string process_user_sid() = 0;

  // The pipe, with clients in the same process. A client opened by the case writes only
  // before the server's ConnectNamedPipe, and a case never reads more than a client wrote
  // unless the client has gone: a real read would block.
  virtual platform::PipeApi& pipes() = 0;
  // A pipe name (\\.\pipe\...) nobody else uses.
  virtual std::u16string unique_pipe_name() = 0;
  // A client opens the pipe (for writing): its number, or CreateFileW's error.
  virtual Expected<int, platform::WindowsErrorCode> open_client(const std::u16string& name) = 0;
  virtual void client_write(int client, std::string_view bytes) = 0;
  virtual void close_client(int client) = 0;
  // A client that opens the pipe once the server waits for one (an instance that was
  // disconnected refuses clients until then), writes `bytes` and leaves.
  virtual void client_during_next_wait(const std::u16string& name, std::string bytes) = 0;
  // The session of the process the cases run in.
  virtual std::uint32_t own_session() = 0;

  // Sessions and tokens.
  virtual platform::SessionApi& sessions() = 0;

  // Process launch and jobs. Child processes are started through the interface itself, with
  // a copy of the process's own token.
  virtual platform::ProcessLaunchApi& processes() = 0;
  // The full path of the running program, as the system reports it by other means.
  virtual std::u16string own_program_path() = 0;
  // A command line that ends by itself at once, and a folder to run it in.
  virtual std::u16string quick_command_line() = 0;
  virtual std::u16string working_folder() = 0;
  // Gives a child that was let run the time to end by itself (the fake's children end only
  // when told to).
  virtual void let_end(platform::ProcessHandle process) = 0;

  // Desktops and input, on the test bed's display under Wine: only harmless input is sent.
  virtual platform::DesktopApi& desktops() = 0;
  virtual platform::InputApi& input() = 0;
};

// The world of this tree: the fakes, or the Win32 classes.
std::unique_ptr<World> make_world();

class ContractTest : public ::testing::Test {
 protected:
  std::unique_ptr<World> world_ = make_world();
};

// One suite per area, so that a listing reads by area.
class FileSystemContract : public ContractTest {};
class PipeContract : public ContractTest {};
class SessionContract : public ContractTest {};
class ProcessLaunchContract : public ContractTest {};
class DesktopContract : public ContractTest {};

}  // namespace tarnu::contract
