#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "client/server_check.h"
#include "client/tarnu_input_client.h"
#include "platform/handle_api.h"
#include "platform/text.h"
#include "platform/win32/win32_handle_api.h"
#include "platform/windows_error.h"

namespace platform = tarnu::platform;
namespace win32 = tarnu::platform::win32;

// The one owner of the connection's pipe handle.
struct tarnu_input_client {
  platform::ScopedPipe pipe;
  std::uint32_t session = 0;
  std::string pipe_name;
};

namespace {

using tarnu::client::Failure;

static_assert(TARNU_INPUT_MAX_PAYLOAD <= 0xFFFFFFFFu);

// A result that is not TARNU_INPUT_OK, with the code of the Windows call behind it if any.
struct Outcome {
  int code = TARNU_INPUT_OK;
  std::uint32_t windows_error = 0;
  std::string message;
};

int report(tarnu_input_error* error, int code, std::uint32_t windows_error,
           std::string_view message) noexcept {
  if (error != nullptr) {
    error->code = code;
    error->windows_error = windows_error;
    const std::size_t length = std::min(message.size(), sizeof error->message - 1);
    std::memcpy(error->message, message.data(), length);
    error->message[length] = '\0';
  }
  return code;
}

int report(tarnu_input_error* error, const Outcome& outcome) noexcept {
  return report(error, outcome.code, outcome.windows_error, outcome.message);
}

int succeed(tarnu_input_error* error) noexcept { return report(error, TARNU_INPUT_OK, 0, {}); }

Outcome system_failure(std::string_view operation, DWORD code) {
  return {TARNU_INPUT_ERROR_SYSTEM, code, platform::windows_error_text(operation, code)};
}

// Runs the body of a library function; nothing thrown inside (only std::bad_alloc can be)
// leaves the library.
template <typename Body>
int guarded(tarnu_input_error* error, Body&& body) noexcept {
  try {
    return body();
  } catch (...) {
    return report(error, TARNU_INPUT_ERROR_SYSTEM, ERROR_NOT_ENOUGH_MEMORY,
                  "out of memory in the input client");
  }
}

// Opens the pipe for writing at identification level: the server may learn who the client
// is, but cannot impersonate it. A pipe that does not exist yet or is busy with another
// client is tried again until `wait_milliseconds` have passed (a busy one waited for with
// WaitNamedPipeW). On failure returns INVALID_HANDLE_VALUE with CreateFileW's last error in
// `error`.
HANDLE open_pipe(const std::wstring& name, DWORD wait_milliseconds, DWORD& error) {
  const ULONGLONG deadline = ::GetTickCount64() + wait_milliseconds;
  for (;;) {
    // READ_CONTROL, to read the pipe's owner; the worker's DACL grants its clients all
    // access.
    HANDLE pipe =
        ::CreateFileW(name.c_str(), GENERIC_WRITE | READ_CONTROL, 0, nullptr, OPEN_EXISTING,
                      SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, nullptr);
    if (pipe != INVALID_HANDLE_VALUE) {
      return pipe;
    }
    error = ::GetLastError();
    const ULONGLONG now = ::GetTickCount64();
    if ((error != ERROR_FILE_NOT_FOUND && error != ERROR_PIPE_BUSY) || now >= deadline) {
      return INVALID_HANDLE_VALUE;
    }
    // A wait of 0 would mean the pipe's default time-out; what is left is at least 1 ms.
    const auto left = static_cast<DWORD>(std::min<ULONGLONG>(deadline - now, 1000));
    if (error != ERROR_PIPE_BUSY || !::WaitNamedPipeW(name.c_str(), left)) {
      ::Sleep(std::min<DWORD>(left, 20));
    }
  }
}

// The user of a process's token, as SID text.
std::optional<Outcome> read_process_user(DWORD process_id, std::string& sid_text) {
  // A process that cannot be opened or whose token cannot be read is not shown to be the
  // helper; the code tells the caller why.
  const auto unknown = [process_id](const char* operation, DWORD code) {
    return Outcome{
        TARNU_INPUT_ERROR_SERVER_REFUSED, code,
        "cannot tell who serves the pipe: " +
            platform::windows_error_text(
                std::string(operation) + " of process " + std::to_string(process_id), code)};
  };
  HANDLE process_value = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process_id);
  if (process_value == nullptr) {
    return unknown("OpenProcess", ::GetLastError());
  }
  platform::HandleApi& handles = win32::handle_api();
  const platform::ScopedProcess process(handles,
                                        win32::wrap<platform::ProcessHandle>(process_value));
  HANDLE token_value = nullptr;
  if (!::OpenProcessToken(process_value, TOKEN_QUERY, &token_value)) {
    return unknown("OpenProcessToken", ::GetLastError());
  }
  const platform::ScopedToken token(handles, win32::wrap<platform::TokenHandle>(token_value));
  DWORD size = 0;
  ::GetTokenInformation(token_value, TokenUser, nullptr, 0, &size);
  // TOKEN_USER points into the same buffer, at the SID that follows it: keep it aligned.
  std::vector<std::uint64_t> buffer((size + sizeof(std::uint64_t) - 1) / sizeof(std::uint64_t));
  if (size < sizeof(TOKEN_USER) ||
      !::GetTokenInformation(token_value, TokenUser, buffer.data(), size, &size)) {
    return unknown("GetTokenInformation", ::GetLastError());
  }
  LPWSTR text_value = nullptr;
  if (!::ConvertSidToStringSidW(reinterpret_cast<const TOKEN_USER*>(buffer.data())->User.Sid,
                                &text_value)) {
    return unknown("ConvertSidToStringSidW", ::GetLastError());
  }
  const platform::ScopedSidText text(handles, win32::wrap<platform::SidText>(text_value));
  sid_text = platform::utf16_to_utf8(reinterpret_cast<const char16_t*>(text_value));
  return std::nullopt;
}

// The owner of the pipe object, as SID text.
std::optional<Outcome> read_pipe_owner(HANDLE pipe, std::string& sid_text) {
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor_value = nullptr;
  const DWORD result = ::GetSecurityInfo(pipe, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &owner,
                                         nullptr, nullptr, nullptr, &descriptor_value);
  if (result != ERROR_SUCCESS) {
    return Outcome{TARNU_INPUT_ERROR_SERVER_REFUSED, result,
                   "cannot tell who owns the pipe: " +
                       platform::windows_error_text("GetSecurityInfo", result)};
  }
  platform::HandleApi& handles = win32::handle_api();
  // The owner SID points into the descriptor, which is freed last.
  const platform::ScopedSecurityDescriptor descriptor(
      handles, win32::wrap<platform::SecurityDescriptor>(descriptor_value));
  LPWSTR text_value = nullptr;
  if (!::ConvertSidToStringSidW(owner, &text_value)) {
    const DWORD code = ::GetLastError();
    return Outcome{TARNU_INPUT_ERROR_SERVER_REFUSED, code,
                   "cannot tell who owns the pipe: " +
                       platform::windows_error_text("ConvertSidToStringSidW", code)};
  }
  const platform::ScopedSidText text(handles, win32::wrap<platform::SidText>(text_value));
  sid_text = platform::utf16_to_utf8(reinterpret_cast<const char16_t*>(text_value));
  return std::nullopt;
}

// Nothing when the pipe's server runs as `expected_user_sid` in `session`; otherwise why not.
// Three facts, each of which no standard user can forge: the server's session, the owner of
// the pipe object, and the user of the server process's token. The token is read when the
// caller may read it; a standard user may not read a LocalSystem token, and then the owner
// stands alone.
std::optional<Outcome> check_server(HANDLE pipe, std::uint32_t session,
                                    std::string_view expected_user_sid) {
  ULONG process_id = 0;
  ULONG server_session = 0;
  if (!::GetNamedPipeServerProcessId(pipe, &process_id)) {
    return system_failure("GetNamedPipeServerProcessId", ::GetLastError());
  }
  if (!::GetNamedPipeServerSessionId(pipe, &server_session)) {
    return system_failure("GetNamedPipeServerSessionId", ::GetLastError());
  }
  tarnu::client::PipeServer server{process_id, server_session, {}, {}};
  if (auto refusal = tarnu::client::session_refusal(server, session)) {
    return Outcome{TARNU_INPUT_ERROR_SERVER_REFUSED, 0, std::move(*refusal)};
  }
  std::string owner_sid;
  if (auto unknown = read_pipe_owner(pipe, owner_sid)) {
    return unknown;
  }
  server.owner_sid = owner_sid;
  if (auto refusal = tarnu::client::owner_refusal(server, expected_user_sid)) {
    return Outcome{TARNU_INPUT_ERROR_SERVER_REFUSED, 0, std::move(*refusal)};
  }
  std::string user_sid;
  if (auto unknown = read_process_user(process_id, user_sid)) {
    if (tarnu::client::token_may_be_unreadable(unknown->windows_error)) {
      return std::nullopt;
    }
    return unknown;
  }
  server.user_sid = user_sid;
  if (auto refusal = tarnu::client::user_refusal(server, expected_user_sid)) {
    return Outcome{TARNU_INPUT_ERROR_SERVER_REFUSED, 0, std::move(*refusal)};
  }
  return std::nullopt;
}

int write_all(tarnu_input_client& client, const std::uint8_t* data, std::size_t size,
              tarnu_input_error* error) {
  for (std::size_t done = 0; done < size;) {
    const auto chunk = static_cast<DWORD>(std::min<std::size_t>(size - done, 1u << 30));
    DWORD written = 0;
    if (!::WriteFile(win32::to_handle(client.pipe.get()), data + done, chunk, &written, nullptr)) {
      const DWORD code = ::GetLastError();
      const Failure failure = tarnu::client::write_failure("WriteFile", client.pipe_name, code);
      return report(error, failure.code, code, failure.message);
    }
    done += written;
  }
  return succeed(error);
}

int no_client(tarnu_input_error* error) {
  return report(error, TARNU_INPUT_ERROR_ARGUMENT, 0, "no client");
}

}  // namespace

extern "C" {

int tarnu_input_connect(uint32_t session, uint32_t wait_milliseconds, const char* server_user_sid,
                        tarnu_input_client** client, tarnu_input_error* error) {
  if (client == nullptr) {
    return report(error, TARNU_INPUT_ERROR_ARGUMENT, 0, "no place for the client");
  }
  *client = nullptr;
  return guarded(error, [&] {
    const std::string_view expected =
        server_user_sid != nullptr ? server_user_sid : TARNU_INPUT_LOCAL_SYSTEM_SID;
    if (!tarnu::client::is_sid_text(expected)) {
      return report(error, TARNU_INPUT_ERROR_ARGUMENT, 0,
                    "the server's user is not a SID: " + std::string(expected));
    }
    DWORD target = session;
    if (session == TARNU_INPUT_OWN_SESSION &&
        !::ProcessIdToSessionId(::GetCurrentProcessId(), &target)) {
      return report(error, system_failure("ProcessIdToSessionId", ::GetLastError()));
    }
    auto owned = std::make_unique<tarnu_input_client>();
    owned->session = target;
    owned->pipe_name = tarnu::client::worker_pipe_name(target);
    DWORD open_error = 0;
    // The name is ASCII.
    HANDLE pipe = open_pipe(std::wstring(owned->pipe_name.begin(), owned->pipe_name.end()),
                            wait_milliseconds, open_error);
    if (pipe == INVALID_HANDLE_VALUE) {
      const Failure failure = tarnu::client::open_failure(owned->pipe_name, open_error);
      return report(error, failure.code, open_error, failure.message);
    }
    owned->pipe =
        platform::ScopedPipe(win32::handle_api(), win32::wrap<platform::PipeHandle>(pipe));
    // Whoever serves the pipe has seen a client come and go, and nothing else.
    if (auto refusal = check_server(pipe, target, expected)) {
      return report(error, *refusal);
    }
    *client = owned.release();
    return succeed(error);
  });
}

int tarnu_input_send_command(tarnu_input_client* client, const uint8_t* payload, size_t size,
                             tarnu_input_error* error) {
  if (client == nullptr) {
    return no_client(error);
  }
  if (payload == nullptr || size == 0 || size > TARNU_INPUT_MAX_PAYLOAD) {
    return report(error, TARNU_INPUT_ERROR_ARGUMENT, 0, "a command's payload is 1 to 65536 bytes");
  }
  return guarded(error, [&] {
    std::uint8_t frame[1024];
    for (int i = 0; i < 4; ++i) {
      frame[i] = static_cast<std::uint8_t>(size >> (8 * i));
    }
    // Small commands, which are nearly all, go out in one write; a long one follows its
    // length.
    if (size <= sizeof frame - 4) {
      std::memcpy(frame + 4, payload, size);
      return write_all(*client, frame, size + 4, error);
    }
    const int status = write_all(*client, frame, 4, error);
    return status != TARNU_INPUT_OK ? status : write_all(*client, payload, size, error);
  });
}

int tarnu_input_write_raw(tarnu_input_client* client, const uint8_t* bytes, size_t size,
                          tarnu_input_error* error) {
  if (client == nullptr) {
    return no_client(error);
  }
  if (bytes == nullptr && size != 0) {
    return report(error, TARNU_INPUT_ERROR_ARGUMENT, 0, "no bytes to write");
  }
  return guarded(error, [&] { return write_all(*client, bytes, size, error); });
}

int tarnu_input_flush(tarnu_input_client* client, tarnu_input_error* error) {
  if (client == nullptr) {
    return no_client(error);
  }
  return guarded(error, [&] {
    if (!::FlushFileBuffers(win32::to_handle(client->pipe.get()))) {
      const DWORD code = ::GetLastError();
      const Failure failure =
          tarnu::client::write_failure("FlushFileBuffers", client->pipe_name, code);
      return report(error, failure.code, code, failure.message);
    }
    return succeed(error);
  });
}

uint32_t tarnu_input_client_session(const tarnu_input_client* client) {
  return client != nullptr ? client->session : TARNU_INPUT_OWN_SESSION;
}

void tarnu_input_close(tarnu_input_client* client) { delete client; }

}  // extern "C"
