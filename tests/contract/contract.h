#pragma once

// The behaviour of each area of the seam, written once and run against the recording fakes
// (native tree, contract_fake_test.cc) and against the Win32 classes (Windows tree, under
// Wine, contract_win_test.cc). A world gives an area's interface and arranges what a case
// needs; each case gets a fresh one.

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

// The cases of one area, run once per world (the fakes, or the Win32 classes): each case gets
// a fresh world from the factory it is instantiated with.
template <typename World>
class ContractTest : public ::testing::TestWithParam<std::unique_ptr<World> (*)()> {
 protected:
  void SetUp() override { world_ = this->GetParam()(); }
  void TearDown() override { world_.reset(); }

  std::unique_ptr<World> world_;
};

// The factory a contract suite is instantiated with.
template <typename Concrete, typename World>
std::unique_ptr<World> make_world() {
  return std::make_unique<Concrete>();
}

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

// What FileSystemApi does, written once and run against the recording fake (native tree) and
// against the Win32 class (Windows tree, under Wine). A world gives the interface and arranges
// what a case needs: a folder of its own, files with content, hard links, environment
// variables.
class FileSystemWorld {
 public:
  virtual ~FileSystemWorld() = default;

  virtual platform::FileSystemApi& api() = 0;
  virtual platform::HandleApi& handles() = 0;
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
};

class FileSystemContract : public ContractTest<FileSystemWorld> {};

// What PipeApi does, written once and run against the scripted fake pipe (native tree) and
// against the Win32 class with real clients in the same process (Windows tree). A client
// opened by the case writes only before the server's ConnectNamedPipe, and a case never reads
// more than a client wrote unless the client has gone: a real read would block.
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

// What SessionApi does, written once and run against the fake (native tree) and the Win32
// class (Windows tree, under Wine).
class SessionWorld {
 public:
  virtual ~SessionWorld() = default;
  virtual platform::SessionApi& api() = 0;
  virtual platform::HandleApi& handles() = 0;
};

class SessionContract : public ContractTest<SessionWorld> {};

// What ProcessLaunchApi does, written once and run against the fake (native tree) and the
// Win32 class (Windows tree, under Wine). Child processes are started through the interface
// itself, with a copy of the process's own token.
class ProcessLaunchWorld {
 public:
  virtual ~ProcessLaunchWorld() = default;
  virtual platform::ProcessLaunchApi& api() = 0;
  virtual platform::HandleApi& handles() = 0;
  // The full path of the running program, as the system reports it by other means.
  virtual std::u16string own_program_path() = 0;
  // A command line that ends by itself at once, and a folder to run it in.
  virtual std::u16string quick_command_line() = 0;
  virtual std::u16string working_folder() = 0;
  // Gives a child that was let run the time to end by itself (the fake's children end only
  // when told to).
  virtual void let_end(platform::ProcessHandle process) = 0;
};

class ProcessLaunchContract : public ContractTest<ProcessLaunchWorld> {};

// What DesktopApi and InputApi do, written once and run against the fakes (native tree) and
// the Win32 classes (Windows tree, under Wine, on the test bed's display). Only harmless
// input is sent.
class DesktopWorld {
 public:
  virtual ~DesktopWorld() = default;
  virtual platform::DesktopApi& desktops() = 0;
  virtual platform::InputApi& input() = 0;
};

class DesktopContract : public ContractTest<DesktopWorld> {};

}  // namespace tarnu::contract
