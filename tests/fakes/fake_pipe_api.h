#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "fakes/event_journal.h"
#include "fakes/handle_ledger.h"
#include "fakes/sddl_text.h"
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
      std::u16string_view sddl) override {
    sddl_texts.emplace_back(sddl);
    if (sddl_error) {
      journal_.record("sddl failed");
      return Unexpected(*sddl_error);
    }
    if (!converts_as_sddl(sddl)) {
      return Unexpected(platform::kErrorInvalidParameter);
    }
    const auto descriptor = ledger_.open_as<platform::SecurityDescriptor>("security descriptor");
    descriptors_with_dacl_[descriptor.raw()] = sddl_has_dacl(sddl);
    return descriptor;
  }
  Expected<platform::PipeHandle, platform::WindowsErrorCode> create_input_pipe(
      std::u16string_view name, platform::SecurityDescriptor security_descriptor) override {
    pipe_names.emplace_back(name);
    if (!ledger_.is_open(security_descriptor)) {
      ledger_.note_misuse("create pipe with a freed descriptor");
    }
    if (create_error) {
      journal_.record("create pipe failed");
      return Unexpected(*create_error);
    }
    if (pipe_ && ledger_.is_open(pipe_)) {
      journal_.record("create pipe while an instance is open");
      if (pipe_name_ == name) {
        // FILE_FLAG_FIRST_PIPE_INSTANCE on a name in use: 5 on Windows (231 under Wine).
        return Unexpected(platform::kErrorAccessDenied);
      }
    }
    ++instances_created;
    // A new instance has no client, whatever the last one was left with.
    current_.reset();
    pipe_ = ledger_.open_as<platform::PipeHandle>("pipe");
    pipe_name_ = name;
    journal_.record("create pipe");
    return pipe_;
  }
  Expected<void, platform::WindowsErrorCode> set_pipe_security(
      platform::PipeHandle pipe, platform::SecurityDescriptor security_descriptor) override {
    if (!is_instance(pipe) || !ledger_.is_open(security_descriptor)) {
      return Unexpected(platform::kErrorInvalidParameter);
    }
    if (!descriptors_with_dacl_[security_descriptor.raw()]) {
      return Unexpected(platform::WindowsErrorCode{1338});  // ERROR_INVALID_SECURITY_DESCR
    }
    if (set_security_failures > 0) {
      --set_security_failures;
      journal_.record("set pipe security failed");
      return Unexpected(platform::kErrorAccessDenied);
    }
    journal_.record("set pipe security");
    return {};
  }
  Expected<void, platform::WindowsErrorCode> connect_named_pipe(
      platform::PipeHandle pipe) override {
    if (!is_instance(pipe)) {
      return Unexpected(platform::kErrorInvalidParameter);
    }
    if (current_) {
      // The last client was never disconnected: a real instance would refuse the wait.
      ledger_.note_misuse("connect without a disconnect");
    }
    if (connections.empty()) {
      journal_.record("end of script");
      current_.reset();
      return Unexpected(platform::kErrorInvalidHandle);
    }
    current_ = std::move(connections.front());
    connections.pop_front();
    offset_ = 0;
    journal_.record("connect");
    if (current_->connect_error && *current_->connect_error != platform::kErrorPipeConnected) {
      // The client never got through: nothing of it is left to read.
      current_->chunks.clear();
    }
    if (current_->connect_error) {
      return Unexpected(*current_->connect_error);
    }
    return {};
  }
  Expected<std::uint32_t, platform::WindowsErrorCode> read_file(
      platform::PipeHandle pipe, std::span<std::uint8_t> buffer) override {
    if (!is_instance(pipe) || !current_) {
      return Unexpected(platform::kErrorInvalidParameter);
    }
    read_sizes.push_back(buffer.size());
    auto& chunks = current_->chunks;
    while (!chunks.empty() && offset_ == chunks.front().size()) {
      chunks.erase(chunks.begin());
      offset_ = 0;
    }
    if (chunks.empty()) {
      if (current_->end_error) {
        return Unexpected(*current_->end_error);
      }
      return std::uint32_t{0};
    }
    const auto& chunk = chunks.front();
    const std::size_t count = std::min(buffer.size(), chunk.size() - offset_);
    std::memcpy(buffer.data(), chunk.data() + offset_, count);
    offset_ += count;
    return static_cast<std::uint32_t>(count);
  }
  Expected<std::uint32_t, platform::WindowsErrorCode> client_session_id(
      platform::PipeHandle pipe) override {
    if (!is_instance(pipe) || !current_) {
      return Unexpected(platform::kErrorInvalidParameter);
    }
    return current_->client_session;
  }
  void disconnect_named_pipe(platform::PipeHandle pipe) override {
    if (is_instance(pipe)) {
      journal_.record("disconnect");
    } else {
      ledger_.note_misuse("disconnect of a closed pipe");
    }
    current_.reset();
  }
  void pause(std::uint32_t milliseconds) override {
    journal_.record("pause " + std::to_string(milliseconds));
  }

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
