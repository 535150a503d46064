#include "check/gather_facts_win.h"

#include <windows.h>
// After windows.h:
#include <aclapi.h>
#include <sddl.h>
#include <shlobj.h>
#include <softpub.h>
#include <tlhelp32.h>
#include <wintrust.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "check/install_checks.h"
#include "platform/text.h"
#include "platform/win32/system_procedure.h"
#include "platform/win32/win32_call_support.h"
#include "platform/windows_error.h"
#include "tarnu_version.h"

namespace tarnu::check {
namespace {

using platform::win32::SystemProcedure;

constexpr wchar_t kServiceName[] = L"TarnuInputService";
constexpr wchar_t kHelperImage[] = L"tarnu-input-helper.exe";
constexpr wchar_t kPolicySystemKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
constexpr wchar_t kGroupPolicySystemKey[] = L"SOFTWARE\\Policies\\Microsoft\\Windows\\System";
constexpr wchar_t kEventSourceKey[] =
    L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\TarnuInputService";

std::string narrow(std::wstring_view text) {
  return platform::utf16_to_utf8(
      std::u16string_view(reinterpret_cast<const char16_t*>(text.data()), text.size()));
}

std::wstring widen(std::string_view text) {
  const std::u16string wide = platform::utf8_to_utf16(text);
  return std::wstring(wide.begin(), wide.end());
}

// "CreateFileW: The system cannot find the file specified. (Windows error 2)".
std::string error_text(const char* call, DWORD code) {
  return std::string(call) + ": " +
         platform::windows_error_with_message(
             platform::utf16_to_utf8(platform::win32::system_message(code)), code);
}

// One owner for each kind of handle used here.
struct CloseHandleDeleter {
  void operator()(HANDLE handle) const { ::CloseHandle(handle); }
};
using UniqueHandle = std::unique_ptr<void, CloseHandleDeleter>;
struct ServiceHandleDeleter {
  void operator()(SC_HANDLE handle) const { ::CloseServiceHandle(handle); }
};
using UniqueServiceHandle = std::unique_ptr<std::remove_pointer_t<SC_HANDLE>, ServiceHandleDeleter>;
struct KeyDeleter {
  void operator()(HKEY key) const { ::RegCloseKey(key); }
};
using UniqueKey = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyDeleter>;
struct LocalFreeDeleter {
  void operator()(void* memory) const { ::LocalFree(memory); }
};
template <typename T>
using LocalMemory = std::unique_ptr<T, LocalFreeDeleter>;

UniqueHandle open_handle(HANDLE handle) {
  return UniqueHandle(handle == INVALID_HANDLE_VALUE ? nullptr : handle);
}

std::string sid_text(PSID sid) {
  wchar_t* text = nullptr;
  if (sid == nullptr || !::ConvertSidToStringSidW(sid, &text)) {
    return {};
  }
  const LocalMemory<wchar_t> owned(text);
  return narrow(text);
}

// --- registry (64-bit view, read only) ---------------------------------------------------

UniqueKey open_key(const wchar_t* path) {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_READ | KEY_WOW64_64KEY, &key) !=
      ERROR_SUCCESS) {
    return nullptr;
  }
  return UniqueKey(key);
}

RegistryDword read_dword(HKEY key, const wchar_t* name) {
  RegistryDword result;
  if (key == nullptr) {
    return result;
  }
  DWORD type = 0;
  DWORD value = 0;
  DWORD size = sizeof value;
  const LSTATUS status =
      ::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
  if (status == ERROR_FILE_NOT_FOUND) {
    return result;
  }
  if (status != ERROR_SUCCESS && status != ERROR_MORE_DATA) {
    result.error = error_text("RegQueryValueExW", static_cast<DWORD>(status));
  } else if (type != REG_DWORD || size != sizeof value) {
    result.error = "not a REG_DWORD (type " + std::to_string(type) + ")";
  } else {
    result.value = value;
  }
  return result;
}

// A REG_SZ or REG_EXPAND_SZ value (the latter expanded), or nothing.
std::optional<std::wstring> read_string(HKEY key, const wchar_t* name) {
  DWORD type = 0;
  DWORD size = 0;
  if (key == nullptr ||
      ::RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ)) {
    return std::nullopt;
  }
  std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
  size = static_cast<DWORD>(value.size() * sizeof(wchar_t));
  if (::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value.data()), &size) !=
      ERROR_SUCCESS) {
    return std::nullopt;
  }
  value.resize(wcsnlen(value.c_str(), value.size()));
  if (type == REG_EXPAND_SZ) {
    std::wstring expanded(32768, L'\0');
    const DWORD length = ::ExpandEnvironmentStringsW(value.c_str(), expanded.data(),
                                                     static_cast<DWORD>(expanded.size()));
    if (length == 0 || length > expanded.size()) {
      return std::nullopt;
    }
    expanded.resize(length - 1);
    return expanded;
  }
  return value;
}

// --- the machine -------------------------------------------------------------------------

MachineFacts machine_facts() {
  MachineFacts machine;
  machine.tool_version = TARNU_VERSION_STRING;
  // ntdll is always loaded; Wine's exports this, Windows's does not.
  if (const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll")) {
    using WineVersion = const char*(CDECL*)();
    if (const FARPROC found = ::GetProcAddress(ntdll, "wine_get_version")) {
      const auto wine_version = reinterpret_cast<WineVersion>(reinterpret_cast<void (*)()>(found));
      machine.wine_version = wine_version();
    }
    using GetVersion = LONG(WINAPI*)(OSVERSIONINFOW*);
    if (const FARPROC found = ::GetProcAddress(ntdll, "RtlGetVersion")) {
      OSVERSIONINFOW info{};
      info.dwOSVersionInfoSize = sizeof info;
      if (reinterpret_cast<GetVersion>(reinterpret_cast<void (*)()>(found))(&info) == 0) {
        machine.os_version = std::to_string(info.dwMajorVersion) + "." +
                             std::to_string(info.dwMinorVersion) + "." +
                             std::to_string(info.dwBuildNumber);
      }
    }
  }
  wchar_t name[256];
  DWORD length = 256;
  if (::GetComputerNameExW(ComputerNameDnsHostname, name, &length)) {
    machine.computer_name = narrow(std::wstring_view(name, length));
  }
  HANDLE token = nullptr;
  if (::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) {
    const UniqueHandle owned(token);
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    machine.elevated =
        ::GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size) &&
        elevation.TokenIsElevated != 0;
  }
  machine.console_session = ::WTSGetActiveConsoleSessionId();
  if (machine.console_session == 0xFFFFFFFFu) {
    machine.console_session = kNoSession;
  }
  // Program Files as the machine has it, not as this process's environment says.
  const UniqueKey current_version = open_key(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion");
  if (auto folder = read_string(current_version.get(), L"ProgramFilesDir")) {
    machine.program_files = narrow(*folder);
  }
  return machine;
}

// --- the service -------------------------------------------------------------------------

ServiceFacts service_facts() {
  ServiceFacts facts;
  const UniqueServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager) {
    facts.error = error_text("OpenSCManagerW", ::GetLastError());
    return facts;
  }
  const UniqueServiceHandle service(
      ::OpenServiceW(manager.get(), kServiceName, SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS));
  if (!service) {
    const DWORD error = ::GetLastError();
    if (error != ERROR_SERVICE_DOES_NOT_EXIST) {
      facts.error = error_text("OpenServiceW", error);
    }
    return facts;
  }
  facts.registered = true;

  DWORD needed = 0;
  ::QueryServiceConfigW(service.get(), nullptr, 0, &needed);
  std::vector<std::byte> buffer(std::max<DWORD>(needed, sizeof(QUERY_SERVICE_CONFIGW)));
  auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
  if (::QueryServiceConfigW(service.get(), config, static_cast<DWORD>(buffer.size()), &needed)) {
    facts.image_path = config->lpBinaryPathName ? narrow(config->lpBinaryPathName) : "";
    facts.account = config->lpServiceStartName ? narrow(config->lpServiceStartName) : "";
    facts.start_type = config->dwStartType;
  }

  SERVICE_DELAYED_AUTO_START_INFO delayed{};
  facts.delayed_start =
      ::QueryServiceConfig2W(service.get(), SERVICE_CONFIG_DELAYED_AUTO_START_INFO,
                             reinterpret_cast<BYTE*>(&delayed), sizeof delayed, &needed) &&
      delayed.fDelayedAutostart;

  needed = 0;
  ::QueryServiceConfig2W(service.get(), SERVICE_CONFIG_FAILURE_ACTIONS, nullptr, 0, &needed);
  std::vector<std::byte> failure_buffer(std::max<DWORD>(needed, sizeof(SERVICE_FAILURE_ACTIONSW)));
  auto* failure = reinterpret_cast<SERVICE_FAILURE_ACTIONSW*>(failure_buffer.data());
  if (::QueryServiceConfig2W(service.get(), SERVICE_CONFIG_FAILURE_ACTIONS,
                             reinterpret_cast<BYTE*>(failure),
                             static_cast<DWORD>(failure_buffer.size()), &needed)) {
    std::vector<RecoveryAction> actions;
    for (DWORD i = 0; i < failure->cActions && failure->lpsaActions != nullptr; ++i) {
      actions.push_back({static_cast<std::uint32_t>(failure->lpsaActions[i].Type),
                         failure->lpsaActions[i].Delay});
    }
    facts.recovery = std::move(actions);
    facts.recovery_reset_s = failure->dwResetPeriod;
  } else {
    facts.recovery_error = error_text("QueryServiceConfig2W", ::GetLastError());
  }

  SERVICE_STATUS_PROCESS status{};
  if (::QueryServiceStatusEx(service.get(), SC_STATUS_PROCESS_INFO,
                             reinterpret_cast<BYTE*>(&status), sizeof status, &needed)) {
    facts.state = status.dwCurrentState;
    facts.process_id = status.dwProcessId;
  }
  return facts;
}

// --- the helper's processes --------------------------------------------------------------

template <typename T>
std::optional<std::vector<std::byte>> token_information(HANDLE token,
                                                        TOKEN_INFORMATION_CLASS kind) {
  DWORD size = 0;
  ::GetTokenInformation(token, kind, nullptr, 0, &size);
  std::vector<std::byte> buffer(std::max<DWORD>(size, sizeof(T)));
  if (!::GetTokenInformation(token, kind, buffer.data(), static_cast<DWORD>(buffer.size()),
                             &size)) {
    return std::nullopt;
  }
  return buffer;
}

void read_process(HelperProcess& helper) {
  DWORD session = 0;
  if (::ProcessIdToSessionId(helper.process_id, &session)) {
    helper.session = session;
  }
  const UniqueHandle process(
      ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, helper.process_id));
  if (!process) {
    helper.error = error_text("OpenProcess", ::GetLastError());
    return;
  }
  BOOL in_job = FALSE;
  if (::IsProcessInJob(process.get(), nullptr, &in_job)) {
    helper.in_job = in_job != FALSE;
  } else {
    // Wine asks for PROCESS_QUERY_INFORMATION here, where Windows takes the limited right.
    const UniqueHandle queried(::OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, helper.process_id));
    if (queried && ::IsProcessInJob(queried.get(), nullptr, &in_job)) {
      helper.in_job = in_job != FALSE;
    } else {
      helper.error = error_text("IsProcessInJob", ::GetLastError());
    }
  }
  HANDLE token = nullptr;
  if (!::OpenProcessToken(process.get(), TOKEN_QUERY, &token)) {
    helper.error = error_text("OpenProcessToken", ::GetLastError());
    return;
  }
  const UniqueHandle owned_token(token);
  if (auto user = token_information<TOKEN_USER>(token, TokenUser)) {
    helper.user_sid = sid_text(reinterpret_cast<TOKEN_USER*>(user->data())->User.Sid);
  }
  if (auto buffer = token_information<TOKEN_PRIVILEGES>(token, TokenPrivileges)) {
    const auto* privileges = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer->data());
    std::vector<std::string> names;
    for (DWORD i = 0; i < privileges->PrivilegeCount; ++i) {
      LUID luid = privileges->Privileges[i].Luid;
      wchar_t name[128];
      DWORD length = 128;
      names.push_back(::LookupPrivilegeNameW(nullptr, &luid, name, &length)
                          ? narrow(std::wstring_view(name, length))
                          : "LUID " + std::to_string(luid.LowPart));
    }
    helper.privileges = std::move(names);
  } else {
    helper.error = error_text("GetTokenInformation(TokenPrivileges)", ::GetLastError());
  }
}

std::vector<HelperProcess> helper_processes(std::string& error) {
  std::vector<HelperProcess> helpers;
  const UniqueHandle snapshot = open_handle(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) {
    error = error_text("CreateToolhelp32Snapshot", ::GetLastError());
    return helpers;
  }
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more;
       more = ::Process32NextW(snapshot.get(), &entry)) {
    if (::CompareStringOrdinal(entry.szExeFile, -1, kHelperImage, -1, TRUE) == CSTR_EQUAL) {
      HelperProcess helper;
      helper.process_id = entry.th32ProcessID;
      helper.parent_id = entry.th32ParentProcessID;
      read_process(helper);
      helpers.push_back(std::move(helper));
    }
  }
  return helpers;
}

// --- the pipe ----------------------------------------------------------------------------

PipeFacts pipe_facts(std::uint32_t session, bool connect) {
  PipeFacts pipe;
  pipe.connect_asked = connect;
  pipe.name = "\\\\.\\pipe\\tarnu-input-s" + std::to_string(session);
  if (session == kNoSession) {
    return pipe;
  }
  const std::wstring name = widen(pipe.name);
  // 1 ms: NMPWAIT_NOWAIT. Nothing is opened, so a client that is being served is not
  // disturbed.
  if (::WaitNamedPipeW(name.c_str(), NMPWAIT_NOWAIT)) {
    pipe.state = PipeState::available;
  } else {
    const DWORD error = ::GetLastError();
    if (error == ERROR_FILE_NOT_FOUND) {
      pipe.state = PipeState::absent;
    } else if (error == ERROR_SEM_TIMEOUT || error == ERROR_PIPE_BUSY) {
      pipe.state = PipeState::busy;
    } else {
      pipe.error = error_text("WaitNamedPipeW", error);
    }
  }
  if (!connect || pipe.state != PipeState::available) {
    return pipe;
  }
  // Identification level: whoever serves the pipe learns who this is but cannot act as it.
  // Only the right to read its attributes and its owner: nothing can be written through
  // this handle (and read access is refused: the pipe is inbound).
  const UniqueHandle client = open_handle(
      ::CreateFileW(name.c_str(), FILE_READ_ATTRIBUTES | READ_CONTROL, 0, nullptr, OPEN_EXISTING,
                    SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, nullptr));
  if (!client) {
    pipe.connect_error = error_text("CreateFileW", ::GetLastError());
    return pipe;
  }
  ULONG server_process = 0;
  ULONG server_session = 0;
  if (!::GetNamedPipeServerProcessId(client.get(), &server_process) ||
      !::GetNamedPipeServerSessionId(client.get(), &server_session)) {
    pipe.connect_error = error_text("GetNamedPipeServerProcessId", ::GetLastError());
    return pipe;
  }
  pipe.connected = true;
  pipe.server_process_id = server_process;
  pipe.server_session = server_session;
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (::GetSecurityInfo(client.get(), SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr,
                        nullptr, nullptr, &descriptor) == ERROR_SUCCESS) {
    const LocalMemory<void> owned(descriptor);
    pipe.owner_sid = sid_text(owner);
  }
  HelperProcess server;
  server.process_id = server_process;
  read_process(server);
  pipe.server_user_sid = server.user_sid.empty() ? server.error : server.user_sid;
  return pipe;
}

// --- files and folders -------------------------------------------------------------------

PathFacts path_facts(const std::wstring& path) {
  PathFacts facts;
  facts.path = narrow(path);
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    return facts;
  }
  facts.exists = true;
  facts.directory = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  facts.reparse_point = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  if (facts.reparse_point) {
    return facts;  // its descriptor would be the target's
  }
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  const DWORD status = ::GetNamedSecurityInfoW(
      path.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
      nullptr, nullptr, nullptr, &descriptor);
  if (status != ERROR_SUCCESS) {
    facts.error = error_text("GetNamedSecurityInfoW", status);
    return facts;
  }
  const LocalMemory<void> owned(descriptor);
  facts.owner_sid = sid_text(owner);
  wchar_t* sddl = nullptr;
  if (::ConvertSecurityDescriptorToStringSecurityDescriptorW(
          descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &sddl, nullptr)) {
    const LocalMemory<wchar_t> owned_sddl(sddl);
    facts.dacl_sddl = narrow(sddl);
  } else {
    facts.error =
        error_text("ConvertSecurityDescriptorToStringSecurityDescriptorW", ::GetLastError());
  }
  return facts;
}

std::wstring program_data() {
  wchar_t* folder = nullptr;
  std::wstring path;
  if (SUCCEEDED(::SHGetKnownFolderPath(FOLDERID_ProgramData, 0, nullptr, &folder))) {
    path = folder;
  }
  ::CoTaskMemFree(folder);
  return path.empty() ? L"C:\\ProgramData" : path;
}

// --- Ctrl+Alt+Del ------------------------------------------------------------------------

// Whether the machine's local Group Policy file names the value (the file holds UTF-16
// text records "[key;value;type;size;data]").
bool local_policy_names(const wchar_t* value) {
  wchar_t system[MAX_PATH];
  const UINT length = ::GetSystemDirectoryW(system, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) {
    return false;
  }
  const std::wstring path = std::wstring(system) + L"\\GroupPolicy\\Machine\\Registry.pol";
  const UniqueHandle file = open_handle(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ,
                                                      nullptr, OPEN_EXISTING, 0, nullptr));
  LARGE_INTEGER size{};
  if (!file || !::GetFileSizeEx(file.get(), &size) || size.QuadPart > (4 << 20)) {
    return false;
  }
  std::wstring text(static_cast<std::size_t>(size.QuadPart) / sizeof(wchar_t), L'\0');
  DWORD read = 0;
  if (!::ReadFile(file.get(), text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &read,
                  nullptr)) {
    return false;
  }
  const auto to_lower = [](wchar_t c) { return c >= L'A' && c <= L'Z' ? c - L'A' + L'a' : c; };
  std::wstring wanted(value);
  std::transform(text.begin(), text.end(), text.begin(), to_lower);
  std::transform(wanted.begin(), wanted.end(), wanted.begin(), to_lower);
  return text.find(wanted) != std::wstring::npos;
}

SasFacts sas_facts() {
  SasFacts sas;
  const UniqueKey policies = open_key(kPolicySystemKey);
  sas.software_sas = read_dword(policies.get(), L"SoftwareSASGeneration");
  sas.enable_lua = read_dword(policies.get(), L"EnableLUA");
  const UniqueKey group_policy = open_key(kGroupPolicySystemKey);
  sas.set_by_group_policy = read_dword(group_policy.get(), L"SoftwareSASGeneration").value ||
                            local_policy_names(L"SoftwareSASGeneration");
  return sas;
}

// --- the installed executable ------------------------------------------------------------

std::string file_version(const std::wstring& path) {
  // version.dll is not a KnownDLL: from System32 only.
  using SizeFunction = DWORD(WINAPI*)(LPCWSTR, LPDWORD);
  using InfoFunction = BOOL(WINAPI*)(LPCWSTR, DWORD, DWORD, LPVOID);
  using QueryFunction = BOOL(WINAPI*)(LPCVOID, LPCWSTR, LPVOID*, PUINT);
  static const SystemProcedure<SizeFunction> size_of(L"version.dll", "GetFileVersionInfoSizeW");
  static const SystemProcedure<InfoFunction> info_of(L"version.dll", "GetFileVersionInfoW");
  static const SystemProcedure<QueryFunction> query(L"version.dll", "VerQueryValueW");
  if (!size_of.function() || !info_of.function() || !query.function()) {
    return {};
  }
  DWORD ignored = 0;
  const DWORD size = size_of.function()(path.c_str(), &ignored);
  std::vector<std::byte> data(size);
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  if (size == 0 || !info_of.function()(path.c_str(), 0, size, data.data()) ||
      !query.function()(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) ||
      fixed == nullptr || length < sizeof *fixed) {
    return {};
  }
  return std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." +
         std::to_string(LOWORD(fixed->dwFileVersionMS)) + "." +
         std::to_string(HIWORD(fixed->dwFileVersionLS)) + "." +
         std::to_string(LOWORD(fixed->dwFileVersionLS));
}

// WinVerifyTrust without any window and without fetching revocation lists from the network.
void verify_signature(FileFacts& facts, const std::wstring& path) {
  using VerifyFunction = LONG(WINAPI*)(HWND, GUID*, LPVOID);
  static const SystemProcedure<VerifyFunction> verify(L"wintrust.dll", "WinVerifyTrust");
  if (!verify.function()) {
    facts.trust_error = error_text("LoadLibraryExW(wintrust.dll)", verify.error());
    return;
  }
  WINTRUST_FILE_INFO file{};
  file.cbStruct = sizeof file;
  file.pcwszFilePath = path.c_str();
  WINTRUST_DATA data{};
  data.cbStruct = sizeof data;
  data.dwUIChoice = WTD_UI_NONE;
  data.fdwRevocationChecks = WTD_REVOKE_NONE;
  data.dwUnionChoice = WTD_CHOICE_FILE;
  data.pFile = &file;
  data.dwStateAction = WTD_STATEACTION_VERIFY;
  data.dwProvFlags = WTD_CACHE_ONLY_URL_RETRIEVAL | WTD_REVOCATION_CHECK_NONE;
  GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  facts.trust = verify.function()(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
  data.dwStateAction = WTD_STATEACTION_CLOSE;
  verify.function()(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
}

FileFacts executable_facts(const MachineFacts& machine, const std::string& path_text) {
  FileFacts facts;
  facts.path = path_text;
  const std::wstring path = widen(path_text);
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  facts.exists = attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
  if (!facts.exists) {
    return facts;
  }
  facts.version = file_version(path);
  if (machine.wine_version.empty()) {
    verify_signature(facts, path);
  } else {
    facts.trust_error = "not asked under Wine";
  }
  return facts;
}

EventSourceFacts event_source_facts() {
  EventSourceFacts facts;
  const UniqueKey key = open_key(kEventSourceKey);
  if (!key) {
    return facts;
  }
  facts.registered = true;
  if (auto file = read_string(key.get(), L"EventMessageFile")) {
    facts.message_file = narrow(*file);
  }
  facts.types_supported = read_dword(key.get(), L"TypesSupported").value;
  return facts;
}

}  // namespace

InstallFacts gather_facts(const GatherOptions& options) {
  InstallFacts facts;
  facts.machine = machine_facts();
  facts.service = service_facts();
  facts.helpers = helper_processes(facts.processes_error);
  facts.pipe = pipe_facts(facts.machine.console_session, options.connect);
  const std::wstring status_folder = program_data() + L"\\Tarnu";
  facts.status_folder = path_facts(status_folder);
  if (facts.machine.console_session != kNoSession) {
    facts.status_file = path_facts(status_folder + L"\\input-helper-status-s" +
                                   std::to_wstring(facts.machine.console_session) + L".txt");
  }
  facts.sas = sas_facts();
  facts.executable = executable_facts(facts.machine, installed_executable(facts.machine));
  facts.event_source = event_source_facts();
  return facts;
}

}  // namespace tarnu::check
