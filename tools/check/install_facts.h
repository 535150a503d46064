#pragma once

// What tarnu-input-check finds on the machine, as plain values: gathered by the Win32 side
// (gather_facts_win.cc), judged by install_checks.cc. A fact that could not be read is
// empty, with the reason in the matching `*_error` text (a Windows error's text, or why it
// was not looked at), so that each check can say "skipped" and why.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tarnu::check {

inline constexpr std::uint32_t kNoSession = 0xFFFFFFFFu;

struct MachineFacts {
  std::string tool_version;                    // this program's version, the package's
  std::string computer_name;                   // GetComputerNameExW(ComputerNameDnsHostname)
  std::string os_version;                      // RtlGetVersion: "10.0.19045"
  std::string wine_version;                    // ntdll's wine_get_version, empty on Windows
  bool elevated = false;                       // TokenElevation of this process
  std::uint32_t console_session = kNoSession;  // WTSGetActiveConsoleSessionId
  std::string program_files;                   // ProgramFilesDir of the 64-bit registry view
};

// One action of the service's recovery (SC_ACTION): its type and delay.
struct RecoveryAction {
  std::uint32_t type = 0;  // SC_ACTION_NONE 0, _RESTART 1, _REBOOT 2, _RUN_COMMAND 3
  std::uint32_t delay_ms = 0;
};

struct ServiceFacts {
  bool registered = false;
  std::string error;             // OpenServiceW failed otherwise than "does not exist"
  std::string image_path;        // QueryServiceConfigW: lpBinaryPathName
  std::string account;           // lpServiceStartName
  std::uint32_t start_type = 0;  // SERVICE_AUTO_START 2
  bool delayed_start = false;    // SERVICE_CONFIG_DELAYED_AUTO_START_INFO
  // SERVICE_CONFIG_FAILURE_ACTIONS; empty with recovery_error when it could not be read.
  std::optional<std::vector<RecoveryAction>> recovery;
  std::uint32_t recovery_reset_s = 0;
  std::string recovery_error;
  std::uint32_t state = 0;  // QueryServiceStatusEx: SERVICE_RUNNING 4
  std::uint32_t process_id = 0;
};

// A process whose image is tarnu-input-helper.exe (CreateToolhelp32Snapshot).
struct HelperProcess {
  std::uint32_t process_id = 0;
  std::uint32_t parent_id = 0;
  std::uint32_t session = kNoSession;                  // ProcessIdToSessionId
  std::optional<bool> in_job;                          // IsProcessInJob
  std::optional<std::vector<std::string>> privileges;  // TokenPrivileges, by name
  std::string user_sid;                                // TokenUser
  std::string error;                                   // why in_job or the token could not be read
};

enum class PipeState { absent, available, busy, unknown };

struct PipeFacts {
  std::string name;                      // \\.\pipe\tarnu-input-s<console session>
  PipeState state = PipeState::unknown;  // WaitNamedPipeW without waiting
  std::string error;
  bool connect_asked = false;  // --connect
  // Only after --connect opened it (identification level, nothing written):
  bool connected = false;
  std::uint32_t server_process_id = 0;        // GetNamedPipeServerProcessId
  std::uint32_t server_session = kNoSession;  // GetNamedPipeServerSessionId
  std::string server_user_sid;                // the server process token's user
  std::string owner_sid;                      // the pipe object's owner
  std::string connect_error;
};

// A file or folder under the status folder: GetFileAttributesW and its security
// descriptor (owner and DACL) as SDDL.
struct PathFacts {
  std::string path;
  bool exists = false;
  bool directory = false;
  bool reparse_point = false;
  std::string owner_sid;
  std::string dacl_sddl;  // "D:P(A;OICI;FA;;;SY)..."; empty with `error`
  std::string error;
};

struct RegistryDword {
  std::optional<std::uint32_t> value;  // empty: absent
  std::string error;                   // set when present but unreadable, or not a DWORD
};

struct SasFacts {
  RegistryDword software_sas;  // Policies\System SoftwareSASGeneration
  RegistryDword enable_lua;    // Policies\System EnableLUA
  // Whether Group Policy sets SoftwareSASGeneration: the local policy file or the policy
  // key names it.
  bool set_by_group_policy = false;
};

struct FileFacts {
  std::string path;  // the installed executable
  bool exists = false;
  std::string version;  // VS_FIXEDFILEINFO: "1.0.0.0", empty when none
  // WinVerifyTrust's result (0 trusted) and the name of a known verdict.
  std::optional<std::int32_t> trust;
  std::string trust_error;
};

struct EventSourceFacts {
  bool registered = false;
  std::string message_file;  // EventMessageFile, environment variables expanded
  std::optional<std::uint32_t> types_supported;
};

struct InstallFacts {
  MachineFacts machine;
  ServiceFacts service;
  std::vector<HelperProcess> helpers;
  std::string processes_error;
  PipeFacts pipe;
  PathFacts status_folder;
  PathFacts status_file;               // input-helper-status-s<console session>.txt
  std::string status_file_reader_sid;  // the console session's user, when known
  SasFacts sas;
  FileFacts executable;
  EventSourceFacts event_source;
};

}  // namespace tarnu::check
