#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/expected.h"
#include "platform/handle_api.h"
#include "platform/process_launch_api.h"
#include "service/worker_process.h"

namespace tarnu::service {

// TOKEN_ASSIGN_PRIMARY | TOKEN_DUPLICATE | TOKEN_QUERY | TOKEN_ADJUST_PRIVILEGES |
// TOKEN_ADJUST_DEFAULT | TOKEN_ADJUST_SESSIONID: enough to copy the service's token, move
// the copy to another session, take privileges out of it and start a process with it.
inline constexpr std::uint32_t kWorkerTokenAccess = 0x000001AB;

// Every privilege a LocalSystem token may hold that the worker has no use for, taken out of
// its copy of the service's token before it starts: the worker reads bytes any process of
// its session may write, so a fault in it should not come with the power to debug any
// process, load drivers, read or replace any file, or impersonate a client. What it keeps:
// SeTcbPrivilege (WTSQueryUserToken requires it), SeChangeNotifyPrivilege (folder traversal
// without a check at every level, which every account has) and SeCreateGlobalPrivilege
// (global objects from a user's session, which the secure attention sequence may rely on).
inline constexpr const char16_t* kPrivilegesTheWorkerDoesNotUse[] = {
    u"SeAssignPrimaryTokenPrivilege",
    u"SeAuditPrivilege",
    u"SeBackupPrivilege",
    u"SeCreatePagefilePrivilege",
    u"SeCreatePermanentPrivilege",
    u"SeCreateSymbolicLinkPrivilege",
    u"SeCreateTokenPrivilege",
    u"SeDebugPrivilege",
    u"SeDelegateSessionUserImpersonatePrivilege",
    u"SeEnableDelegationPrivilege",
    u"SeImpersonatePrivilege",
    u"SeIncreaseBasePriorityPrivilege",
    u"SeIncreaseQuotaPrivilege",
    u"SeIncreaseWorkingSetPrivilege",
    u"SeLoadDriverPrivilege",
    u"SeLockMemoryPrivilege",
    u"SeMachineAccountPrivilege",
    u"SeManageVolumePrivilege",
    u"SeProfileSingleProcessPrivilege",
    u"SeRelabelPrivilege",
    u"SeRemoteShutdownPrivilege",
    u"SeRestorePrivilege",
    u"SeSecurityPrivilege",
    u"SeShutdownPrivilege",
    u"SeSyncAgentPrivilege",
    u"SeSystemEnvironmentPrivilege",
    u"SeSystemProfilePrivilege",
    u"SeSystemtimePrivilege",
    u"SeTakeOwnershipPrivilege",
    u"SeTimeZonePrivilege",
    u"SeTrustedCredManAccessPrivilege",
    u"SeUndockPrivilege",
    u"SeUnsolicitedInputPrivilege",
};

// The worker's job: it dies with the service, it is the job's only process (it starts no
// other program, so a child it might be tricked into starting is refused), and an unhandled
// exception ends it at once instead of leaving it waiting behind an error dialog.
inline constexpr std::uint32_t kWorkerJobLimits = platform::kJobLimitKillOnJobClose |
                                                  platform::kJobLimitActiveProcess |
                                                  platform::kJobLimitDieOnUnhandledException;
inline constexpr std::uint32_t kWorkerJobActiveProcesses = 1;

inline constexpr char16_t kWorkerDesktop[] = u"WinSta0\\Default";
// Suspended, so that the worker runs no instruction before it is in its job.
inline constexpr std::uint32_t kWorkerCreationFlags =
    platform::kCreateNoWindow | platform::kCreateUnicodeEnvironment | platform::kCreateSuspended;

// The exit code of a worker that was created but could not be put in its job or resumed. It
// never ran, so nobody sees it but a debugger; it differs from the 0 of a stop.
inline constexpr std::uint32_t kAbandonedWorkerExitCode = 1;

// "\"<path>\" --worker --stop-event <handle value in decimal>": the worker finds the stop
// event the service hands it under the same handle value.
std::string worker_command_line(std::string_view executable_path, platform::RawHandle stop_event);

// The folder holding the executable: the path without its last component, "." when there
// is none. A drive's root keeps its separator ("C:\"), so that it does not turn into the
// drive's current folder.
std::string worker_working_directory(std::string_view executable_path);

// Why a launch failed: the step (the Win32 call that failed, or kNoConsoleStep) and the
// error as administrators read it, the system's message and its number.
struct LaunchFailure {
  std::string step;
  std::string error;
};

// The step of a launch that found no session attached to the console: nothing failed, the
// launch waits for the next session to take the console.
inline constexpr char kNoConsoleStep[] = "WTSGetActiveConsoleSessionId";

// Replaces the recorded worker with a new one in the session attached to the console. The
// old worker is stopped (asked to release and end, then terminated: WorkerProcess::stop)
// and closed first, whatever happens next. The new one gets a copy of the service's token
// without kPrivilegesTheWorkerDoesNotUse; it is created suspended in a new job object with
// kWorkerJobLimits, with a new unnamed stop event as the only handle it inherits, assigned
// to the job, and only then resumed. On success the record holds the new process, its job,
// its stop event and its session; on failure it is empty, a process that was created is
// terminated, and the failure says which step failed and why.
Expected<void, LaunchFailure> launch_worker(WorkerProcess& worker,
                                            platform::ProcessLaunchApi& processes,
                                            platform::HandleApi& handles);

}  // namespace tarnu::service
