// The pipe contract against the scripted fake: each client becomes one connection of the
// script, whose ConnectNamedPipe result is 535 while the client is there and 232 once it left.

#include <algorithm>
#include <vector>
#include "contract/contract.h"

#include "fakes/fake_handle_api.h"
#include "fakes/fake_pipe_api.h"

namespace tarnu::contract {
namespace {

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

std::unique_ptr<PipeWorld> fake_world() { return std::make_unique<FakePipeWorld>(); }

INSTANTIATE_TEST_SUITE_P(Fake, PipeContract, ::testing::Values(&fake_world));

}  // namespace
}  // namespace tarnu::contract
