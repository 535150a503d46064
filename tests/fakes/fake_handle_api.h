#pragma once

#include "fakes/handle_ledger.h"
#include "platform/handle_api.h"

namespace tarnu::fakes {

// CloseHandle and LocalFree against a ledger.
class FakeHandleApi final : public platform::HandleApi {
 public:
  explicit FakeHandleApi(HandleLedger& ledger) : ledger_(ledger) {}

 private:
  void close_kernel_object(platform::RawHandle handle) override {
    ledger_.release(handle, Release::kCloseHandle);
  }
  void free_local_memory(platform::RawHandle memory) override {
    ledger_.release(memory, Release::kLocalFree);
  }

  HandleLedger& ledger_;
};

}  // namespace tarnu::fakes
