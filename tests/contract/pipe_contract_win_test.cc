// The pipe contract against the Win32 class, with the clients opened by this same process.

#include <string>
#include <thread>
#include <vector>
#include "contract/contract.h"

#include "contract/contract_win.h"
#include "platform/win32/win32_handle_api.h"
#include "platform/win32/win32_pipe_api.h"

namespace tarnu::contract {
namespace {

class Win32PipeWorld final : public PipeWorld {
 public:
  ~Win32PipeWorld() override {
    for (std::thread& waiter : waiters_) {
      waiter.join();
    }
    for (HANDLE client : clients_) {
      if (client != INVALID_HANDLE_VALUE) {
        ::CloseHandle(client);
      }
    }
  }

  platform::PipeApi& api() override { return platform::win32::pipe_api(); }
  platform::HandleApi& handles() override { return platform::win32::handle_api(); }
  std::u16string unique_name() override { return u"\\\\.\\pipe\\" + unique_suffix(); }
  Expected<int, platform::WindowsErrorCode> open_client(const std::u16string& name) override {
    HANDLE client = ::CreateFileW(wide(name), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (client == INVALID_HANDLE_VALUE) {
      return Unexpected(static_cast<platform::WindowsErrorCode>(::GetLastError()));
    }
    clients_.push_back(client);
    return static_cast<int>(clients_.size() - 1);
  }
  void client_write(int client, std::string_view bytes) override {
    DWORD written = 0;
    EXPECT_TRUE(::WriteFile(clients_.at(static_cast<std::size_t>(client)), bytes.data(),
                            static_cast<DWORD>(bytes.size()), &written, nullptr))
        << "error " << ::GetLastError();
    EXPECT_EQ(written, bytes.size());
  }
  void close_client(int client) override {
    HANDLE& handle = clients_.at(static_cast<std::size_t>(client));
    ::CloseHandle(handle);
    handle = INVALID_HANDLE_VALUE;
  }
  void client_during_next_wait(const std::u16string& name, std::string bytes) override {
    // Tries for up to 5 s: 231 (or 2) until the server waits.
    waiters_.emplace_back([name, bytes] {
      for (int attempt = 0; attempt < 500; ++attempt) {
        HANDLE client =
            ::CreateFileW(wide(name), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (client != INVALID_HANDLE_VALUE) {
          DWORD written = 0;
          ::WriteFile(client, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
          ::CloseHandle(client);
          return;
        }
        ::Sleep(10);
      }
    });
  }
  std::uint32_t own_session() override {
    DWORD session = 0;
    EXPECT_TRUE(::ProcessIdToSessionId(::GetCurrentProcessId(), &session));
    return session;
  }

 private:
  std::vector<HANDLE> clients_;
  std::vector<std::thread> waiters_;
};

std::unique_ptr<PipeWorld> win32_world() { return std::make_unique<Win32PipeWorld>(); }

INSTANTIATE_TEST_SUITE_P(Win32, PipeContract, ::testing::Values(&win32_world));

}  // namespace
}  // namespace tarnu::contract
