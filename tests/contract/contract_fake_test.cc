// The contract cases of every area against the recording fakes (native tree).

#include <algorithm>
#include <vector>

#include "contract/contract.h"
#include "fakes/fake_desktop_api.h"
#include "fakes/fake_file_system_api.h"
#include "fakes/fake_handle_api.h"
#include "fakes/fake_input_api.h"
#include "fakes/fake_pipe_api.h"
#include "fakes/fake_process_launch_api.h"
#include "fakes/fake_session_api.h"

namespace tarnu::contract {
namespace {

class FakeFileSystemWorld final : public FileSystemWorld {
 public:
  FakeFileSystemWorld() {
    files_.directories.insert(u"C:\\Work");
    files_.default_owner = kUser;
  }
  ~FakeFileSystemWorld() override {
    EXPECT_EQ(ledger_.open_count(), 0u);
    EXPECT_TRUE(ledger_.misuses().empty());
  }

  platform::FileSystemApi& api() override { return files_; }
  platform::HandleApi& handles() override { return handles_; }
  std::u16string folder() override { return u"C:\\Work"; }
  void make_file(const std::u16string& path, std::string_view content) override {
    files_.files[path] = std::string(content);
  }
  std::string content(const std::u16string& path) override { return files_.files.at(path); }
  void make_hard_link(const std::u16string& existing, const std::u16string& link) override {
    files_.files[link] = files_.files.at(existing);
    files_.link_counts[existing] = files_.link_counts[link] = 2;
  }
  void set_environment(const std::u16string& name,
                       const std::optional<std::u16string>& value) override {
    if (value) {
      files_.environment[name] = *value;
    } else {
      files_.environment.erase(name);
    }
  }
  void use_temporary_folder(const std::u16string& folder) override {
    files_.temp_directory = folder + u"\\";
  }
  std::u16string process_user_sid() override { return kUser; }

 private:
  static constexpr const char16_t* kUser = u"S-1-5-21-1-2-3-1001";
  fakes::HandleLedger ledger_;
  fakes::EventJournal journal_;
  fakes::FakeHandleApi handles_{ledger_};
  fakes::FakeFileSystemApi files_{ledger_, journal_};
};

INSTANTIATE_TEST_SUITE_P(Fake, FileSystemContract,
                         ::testing::Values(&make_world<FakeFileSystemWorld, FileSystemWorld>));

class FakePipeWorld final : public PipeWorld {
 public:
  ~FakePipeWorld() override {
    EXPECT_EQ(ledger_.open_count(), 0u);
    EXPECT_TRUE(ledger_.misuses().empty());
  }

  platform::PipeApi& api() override { return pipes_; }
  platform::HandleApi& handles() override { return handles_; }
  std::u16string unique_name() override {
    return u"\\\\.\\pipe\\tarnu-contract-" +
           std::u16string(1, static_cast<char16_t>(u'a' + names_++));
  }
  Expected<int, platform::WindowsErrorCode> open_client(const std::u16string& name) override {
    if (std::find(pipes_.pipe_names.begin(), pipes_.pipe_names.end(), name) ==
        pipes_.pipe_names.end()) {
      return Unexpected(platform::kErrorFileNotFound);
    }
    fakes::FakePipeApi::Connection connection;
    connection.connect_error = platform::kErrorPipeConnected;
    connection.client_session = kSession;
    pipes_.connections.push_back(std::move(connection));
    return clients_++;
  }
  void client_write(int client, std::string_view bytes) override {
    fakes::FakePipeApi::Connection* connection = waiting(client);
    ASSERT_NE(connection, nullptr) << "the fake takes a client's bytes only before the wait";
    connection->chunks.emplace_back(bytes.begin(), bytes.end());
  }
  void close_client(int client) override {
    // Gone before the wait: the wait reports it. Gone after it: the stream ends once the
    // written bytes are read, as the script's connections always do.
    if (fakes::FakePipeApi::Connection* connection = waiting(client)) {
      connection->connect_error = platform::kErrorNoData;
    }
  }
  void client_during_next_wait(const std::u16string&, std::string bytes) override {
    fakes::FakePipeApi::Connection connection;
    connection.connect_error.reset();
    connection.chunks.emplace_back(bytes.begin(), bytes.end());
    connection.client_session = kSession;
    pipes_.connections.push_back(std::move(connection));
    ++clients_;
  }
  std::uint32_t own_session() override { return kSession; }

 private:
  static constexpr std::uint32_t kSession = 3;

  // The client's connection while ConnectNamedPipe has not taken it yet.
  fakes::FakePipeApi::Connection* waiting(int client) {
    const int taken = clients_ - static_cast<int>(pipes_.connections.size());
    return client < taken ? nullptr : &pipes_.connections[static_cast<std::size_t>(client - taken)];
  }

  fakes::HandleLedger ledger_;
  fakes::EventJournal journal_;
  fakes::FakeHandleApi handles_{ledger_};
  fakes::FakePipeApi pipes_{ledger_, journal_};
  int names_ = 0;
  int clients_ = 0;
};

INSTANTIATE_TEST_SUITE_P(Fake, PipeContract,
                         ::testing::Values(&make_world<FakePipeWorld, PipeWorld>));

class FakeSessionWorld final : public SessionWorld {
 public:
  ~FakeSessionWorld() override {
    EXPECT_EQ(ledger_.open_count(), 0u);
    EXPECT_TRUE(ledger_.misuses().empty());
  }
  platform::SessionApi& api() override { return sessions_; }
  platform::HandleApi& handles() override { return handles_; }

 private:
  fakes::HandleLedger ledger_;
  fakes::FakeHandleApi handles_{ledger_};
  fakes::FakeSessionApi sessions_{ledger_};
};

INSTANTIATE_TEST_SUITE_P(Fake, SessionContract,
                         ::testing::Values(&make_world<FakeSessionWorld, SessionWorld>));

class FakeProcessLaunchWorld final : public ProcessLaunchWorld {
 public:
  FakeProcessLaunchWorld() {
    processes_.messages[platform::kErrorFileNotFound] = u"no such file";
    processes_.messages[platform::kErrorAccessDenied] = u"access denied";
    processes_.messages[platform::kErrorBrokenPipe] = u"pipe ended";
  }
  ~FakeProcessLaunchWorld() override {
    EXPECT_EQ(ledger_.open_count(), 0u);
    EXPECT_TRUE(ledger_.misuses().empty());
  }
  platform::ProcessLaunchApi& api() override { return processes_; }
  platform::HandleApi& handles() override { return processes_; }
  std::u16string own_program_path() override { return processes_.executable_path; }
  std::u16string quick_command_line() override { return u"cmd.exe /c exit 3"; }
  std::u16string working_folder() override { return u"C:\\Windows\\System32"; }
  void let_end(platform::ProcessHandle process) override { processes_.end_process(process); }

 private:
  fakes::HandleLedger ledger_;
  fakes::FakeProcessLaunchApi processes_{ledger_};
};

INSTANTIATE_TEST_SUITE_P(
    Fake, ProcessLaunchContract,
    ::testing::Values(&make_world<FakeProcessLaunchWorld, ProcessLaunchWorld>));

class FakeDesktopWorld final : public DesktopWorld {
 public:
  FakeDesktopWorld() { input_.scan_codes[0x41] = 0x1E; }
  ~FakeDesktopWorld() override {
    EXPECT_EQ(ledger_.open_count(), 0u);
    EXPECT_TRUE(ledger_.misuses().empty());
  }
  platform::DesktopApi& desktops() override { return desktops_; }
  platform::InputApi& input() override { return input_; }

 private:
  fakes::HandleLedger ledger_;
  fakes::FakeDesktopApi desktops_{ledger_};
  fakes::FakeInputApi input_;
};

INSTANTIATE_TEST_SUITE_P(Fake, DesktopContract,
                         ::testing::Values(&make_world<FakeDesktopWorld, DesktopWorld>));

}  // namespace
}  // namespace tarnu::contract
