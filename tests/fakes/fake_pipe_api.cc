#include "fakes/fake_pipe_api.h"

#include <algorithm>
#include <cstring>

#include "fakes/sddl_text.h"

namespace tarnu::fakes {

Expected<platform::SecurityDescriptor, platform::WindowsErrorCode>
FakePipeApi::security_descriptor_from_sddl(std::u16string_view sddl) {
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

Expected<platform::PipeHandle, platform::WindowsErrorCode> FakePipeApi::create_input_pipe(
    std::u16string_view name, platform::SecurityDescriptor security_descriptor) {
  pipe_names.emplace_back(name);
  if (!ledger_.is_open(security_descriptor)) {
    journal_.record("create pipe with a freed descriptor");
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
  pipe_ = ledger_.open_as<platform::PipeHandle>("pipe");
  pipe_name_ = name;
  journal_.record("create pipe");
  return pipe_;
}

Expected<void, platform::WindowsErrorCode> FakePipeApi::set_pipe_security(
    platform::PipeHandle pipe, platform::SecurityDescriptor security_descriptor) {
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

Expected<void, platform::WindowsErrorCode> FakePipeApi::connect_named_pipe(
    platform::PipeHandle pipe) {
  if (!is_instance(pipe)) {
    return Unexpected(platform::kErrorInvalidParameter);
  }
  if (current_) {
    // The last client was never disconnected: a real instance would refuse the wait.
    journal_.record("connect without a disconnect");
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

Expected<std::uint32_t, platform::WindowsErrorCode> FakePipeApi::read_file(
    platform::PipeHandle pipe, std::span<std::uint8_t> buffer) {
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

Expected<std::uint32_t, platform::WindowsErrorCode> FakePipeApi::client_session_id(
    platform::PipeHandle pipe) {
  if (!is_instance(pipe) || !current_) {
    return Unexpected(platform::kErrorInvalidParameter);
  }
  return current_->client_session;
}

void FakePipeApi::disconnect_named_pipe(platform::PipeHandle pipe) {
  journal_.record(is_instance(pipe) ? "disconnect" : "disconnect of a closed pipe");
  current_.reset();
}

void FakePipeApi::pause(std::uint32_t milliseconds) {
  journal_.record("pause " + std::to_string(milliseconds));
}

}  // namespace tarnu::fakes
