// The contract cases of every area against the recording fakes (native tree).

#include <algorithm>

#include "contract/contract.h"
#include "fakes/fake_desktop_api.h"
#include "fakes/fake_file_system_api.h"
#include "fakes/fake_input_api.h"
#include "fakes/fake_pipe_api.h"
#include "fakes/fake_process_launch_api.h"
#include "fakes/fake_session_api.h"

namespace tarnu::contract {
namespace {

class FakeWorld final : public World {
 public:
  FakeWorld() {
    files_.directories.insert(u"C:\\Work");
    files_.default_owner = kUser;
    processes_.messages[platform::kErrorFileNotFound] = u"no such file";
    processes_.messages[platform::kErrorAccessDenied] = u"access denied";
    processes_.messages[platform::kErrorBrokenPipe] = u"pipe ended";
    input_.scan_codes[0x41] = 0x1E;
  }
  ~FakeWorld() override {
    EXPECT_EQ(ledger_.open_count(), 0u);
    EXPECT_TRUE(ledger_.misuses().empty());
  }

  // The process fake releases any handle of the ledger, and ends the processes of a
  // kill-on-close job whose handle it closes, as the system does.
  platform::HandleApi& handles() override { return processes_; }

  platform::FileSystemApi& files() override { return files_; }
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

  platform::PipeApi& pipes() override { return pipes_; }
  std::u16string unique_pipe_name() override {
    return u"\\\\.\\pipe\\tarnu-contract-" +
           std::u16string(1, static_cast<char16_t>(u'a' + pipe_names_++));
  }
  Expected<int, platform::WindowsErrorCode> open_client(const std::u16string& name) override {
    if (std::find(pipes_.pipe_names.begin(), pipes_.pipe_names.end(), name) ==
        pipes_.pipe_names.end()) {
      return Unexpected(platform::kErrorFileNotFound);
    }
    add_client({platform::kErrorPipeConnected, {}});
    return clients_ - 1;
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
    add_client({std::nullopt, {{bytes.begin(), bytes.end()}}});
  }
  std::uint32_t own_session() override { return kSession; }

  platform::SessionApi& sessions() override { return sessions_; }

  platform::ProcessLaunchApi& processes() override { return processes_; }
  std::u16string own_program_path() override { return processes_.executable_path; }
  std::u16string quick_command_line() override { return u"cmd.exe /c exit 3"; }
  std::u16string working_folder() override { return u"C:\\Windows\\System32"; }
  void let_end(platform::ProcessHandle process) override { processes_.end_process(process); }

  platform::DesktopApi& desktops() override { return desktops_; }
  platform::InputApi& input() override { return input_; }

 private:
  static constexpr const char16_t* kUser = u"S-1-5-21-1-2-3-1001";
  static constexpr std::uint32_t kSession = 3;

  void add_client(fakes::FakePipeApi::Connection connection) {
    connection.client_session = kSession;
    pipes_.connections.push_back(std::move(connection));
    ++clients_;
  }
  // The client's connection while ConnectNamedPipe has not taken it yet.
  fakes::FakePipeApi::Connection* waiting(int client) {
    const int taken = clients_ - static_cast<int>(pipes_.connections.size());
    return client < taken ? nullptr : &pipes_.connections[static_cast<std::size_t>(client - taken)];
  }

  fakes::HandleLedger ledger_;
  fakes::EventJournal journal_;
  fakes::FakeFileSystemApi files_{ledger_, journal_};
  fakes::FakePipeApi pipes_{ledger_, journal_};
  fakes::FakeSessionApi sessions_{ledger_};
  fakes::FakeProcessLaunchApi processes_{ledger_};
  fakes::FakeDesktopApi desktops_{ledger_};
  fakes::FakeInputApi input_;
  int pipe_names_ = 0;
  int clients_ = 0;
};

}  // namespace

std::unique_ptr<World> make_world() { return std::make_unique<FakeWorld>(); }

}  // namespace tarnu::contract
