#include "check/install_checks.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <set>
#include <utility>

namespace tarnu::check {
namespace {

constexpr char kService[] = "TarnuInputService";
constexpr std::uint32_t kServiceAutoStart = 2;
constexpr std::uint32_t kServiceRunning = 4;
constexpr std::uint32_t kRestart = 1;
constexpr char kLocalSystem[] = "S-1-5-18";
// What the worker's token keeps; the service removes every other privilege before it
// starts the worker (src/service/launch_worker.cc).
constexpr std::array<std::string_view, 3> kWorkerPrivileges = {
    "SeTcbPrivilege", "SeChangeNotifyPrivilege", "SeCreateGlobalPrivilege"};
// The status folder's DACL as the package and the worker make it, ACE by ACE.
constexpr std::array<std::string_view, 2> kFolderAces = {"(A;OICI;FA;;;SY)", "(A;OICI;FA;;;BA)"};
constexpr std::array<std::string_view, 2> kFileAces = {"(A;;FA;;;SY)", "(A;;FA;;;BA)"};

constexpr char kRepair[] =
    "repair the package (msiexec /i tarnu-input-helper-<version>.msi REINSTALL=ALL "
    "REINSTALLMODE=amus /qn)";
constexpr char kRunAsAdministrator[] = "run tarnu-input-check from an elevated prompt";

CheckResult make(std::string id, Status status, std::string detail, std::string fix = {}) {
  return CheckResult{std::move(id), status, std::move(detail), std::move(fix)};
}

bool running_under_wine(const InstallFacts& facts) { return !facts.machine.wine_version.empty(); }

std::string under_wine(const InstallFacts& facts) { return "Wine " + facts.machine.wine_version; }

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool same_text_ignoring_case(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [](char x, char y) { return lower(x) == lower(y); });
}

// A fact that could not be read: skipped with the reason, and what would let it be read.
CheckResult unreadable(std::string id, const InstallFacts& facts, const std::string& error) {
  if (!facts.machine.elevated) {
    return make(std::move(id), Status::skipped, "not readable without elevation (" + error + ")",
                kRunAsAdministrator);
  }
  return make(std::move(id), Status::warn, "could not be read: " + error,
              "look at the Windows error; rerun once it is resolved");
}

// The SDDL's ACEs ("(A;;FA;;;SY)" each) and whether it is protected ("D:P" or "D:PAI").
struct Dacl {
  bool protected_dacl = false;
  std::vector<std::string> aces;
};

Dacl parse_dacl(std::string_view sddl) {
  Dacl dacl;
  const std::size_t start = sddl.find("D:");
  if (start == std::string_view::npos) {
    return dacl;
  }
  std::string_view rest = sddl.substr(start + 2);
  const std::size_t first_ace = rest.find('(');
  const std::string_view flags = rest.substr(0, std::min(first_ace, rest.size()));
  dacl.protected_dacl = flags.find('P') != std::string_view::npos;
  while (!rest.empty()) {
    const std::size_t open = rest.find('(');
    const std::size_t close = rest.find(')', open);
    if (open == std::string_view::npos || close == std::string_view::npos) {
      break;
    }
    dacl.aces.emplace_back(rest.substr(open, close - open + 1));
    rest.remove_prefix(close + 1);
  }
  return dacl;
}

bool is_administrators_or_system(std::string_view sid) {
  return sid == kLocalSystem || sid == "S-1-5-32-544" || sid == "SY" || sid == "BA";
}

// --- the service -------------------------------------------------------------------------

std::string expected_image(const MachineFacts& machine) { return installed_executable(machine); }

CheckResult service_registered(const InstallFacts& facts) {
  const ServiceFacts& service = facts.service;
  if (!service.error.empty()) {
    return make("service.registered", Status::fail,
                std::string("the service manager did not answer: ") + service.error,
                kRunAsAdministrator);
  }
  if (!service.registered) {
    return make("service.registered", Status::fail, std::string(kService) + " is not registered",
                "install the package (msiexec /i tarnu-input-helper-<version>.msi /qn)");
  }
  return make("service.registered", Status::ok, std::string(kService) + " is registered");
}

CheckResult service_image_path(const InstallFacts& facts) {
  const std::string& path = facts.service.image_path;
  const std::string exe = expected_image(facts.machine);
  if (same_text_ignoring_case(path, "\"" + exe + "\" --service")) {
    return make("service.image-path", Status::ok, path);
  }
  if (same_text_ignoring_case(path, exe + " --service")) {
    // Unquoted, a path with a space lets whoever can write C:\Program.exe run it as
    // LocalSystem. Wine's installer writes it so; Windows Installer quotes it.
    if (running_under_wine(facts)) {
      return make("service.image-path", Status::warn,
                  path + " (unquoted, as " + under_wine(facts) + "'s installer writes it)",
                  kRepair);
    }
    return make("service.image-path", Status::fail, path + " (unquoted)", kRepair);
  }
  return make("service.image-path", Status::fail, "\"" + path + "\", not \"" + exe + "\" --service",
              "remove the service registered by hand (sc delete " + std::string(kService) +
                  ") and install the package");
}

CheckResult service_account(const InstallFacts& facts) {
  const std::string& account = facts.service.account;
  if (same_text_ignoring_case(account, "LocalSystem") ||
      same_text_ignoring_case(account, ".\\LocalSystem")) {
    return make("service.account", Status::ok, "configured to run as LocalSystem");
  }
  return make("service.account", Status::fail,
              "configured to run as \"" + account + "\", not LocalSystem", kRepair);
}

CheckResult service_start(const InstallFacts& facts) {
  if (facts.service.start_type != kServiceAutoStart) {
    return make("service.start", Status::fail,
                "start type " + std::to_string(facts.service.start_type) +
                    ", not automatic (2): no worker after a restart",
                "sc config " + std::string(kService) + " start= auto");
  }
  if (facts.service.delayed_start) {
    return make("service.start", Status::warn,
                "automatic, delayed: no input until a while after the system starts",
                "sc config " + std::string(kService) + " start= auto");
  }
  return make("service.start", Status::ok, "automatic");
}

CheckResult service_recovery(const InstallFacts& facts) {
  if (running_under_wine(facts)) {
    return make("service.recovery", Status::skipped,
                under_wine(facts) + " stores no recovery actions");
  }
  const ServiceFacts& service = facts.service;
  if (!service.recovery) {
    return unreadable("service.recovery", facts, service.recovery_error);
  }
  const std::vector<RecoveryAction>& actions = *service.recovery;
  std::string found = "reset after " + std::to_string(service.recovery_reset_s) + " s:";
  for (const RecoveryAction& action : actions) {
    found += action.type == kRestart ? " restart/" + std::to_string(action.delay_ms)
                                     : " type " + std::to_string(action.type);
  }
  const bool restarts = std::any_of(actions.begin(), actions.end(),
                                    [](const RecoveryAction& a) { return a.type == kRestart; });
  if (!restarts) {
    return make("service.recovery", Status::fail,
                "nothing restarts the service when its process dies (" + found + ")", kRepair);
  }
  const bool as_installed = service.recovery_reset_s == 86400 && actions.size() == 3 &&
                            actions[0].type == kRestart && actions[0].delay_ms == 5000 &&
                            actions[1].type == kRestart && actions[1].delay_ms == 5000 &&
                            actions[2].type == kRestart && actions[2].delay_ms == 30000;
  if (!as_installed) {
    return make("service.recovery", Status::warn,
                found + "; the package sets reset 86400 s, restart/5000 restart/5000 restart/30000",
                kRepair);
  }
  return make("service.recovery", Status::ok, found);
}

CheckResult service_running(const InstallFacts& facts) {
  if (facts.service.state != kServiceRunning) {
    return make("service.running", Status::fail,
                "state " + std::to_string(facts.service.state) + ", not running (4)",
                "sc start " + std::string(kService) +
                    "; if it stops again, read the Application event log");
  }
  return make("service.running", Status::ok,
              "running, process " + std::to_string(facts.service.process_id));
}

// --- the worker --------------------------------------------------------------------------

std::vector<const HelperProcess*> workers_of(const InstallFacts& facts) {
  std::vector<const HelperProcess*> workers;
  for (const HelperProcess& process : facts.helpers) {
    if (process.parent_id == facts.service.process_id &&
        process.process_id != facts.service.process_id) {
      workers.push_back(&process);
    }
  }
  return workers;
}

CheckResult worker_process(const InstallFacts& facts) {
  if (!facts.processes_error.empty()) {
    return unreadable("worker.process", facts, facts.processes_error);
  }
  const std::vector<const HelperProcess*> workers = workers_of(facts);
  std::vector<std::uint32_t> strangers;
  for (const HelperProcess& process : facts.helpers) {
    if (process.process_id != facts.service.process_id &&
        process.parent_id != facts.service.process_id) {
      strangers.push_back(process.process_id);
    }
  }
  if (workers.size() != 1) {
    return make("worker.process", Status::fail,
                std::to_string(workers.size()) + " workers started by the service (process " +
                    std::to_string(facts.service.process_id) + "), not one",
                "sc stop " + std::string(kService) + " then sc start " + std::string(kService));
  }
  std::string detail =
      "process " + std::to_string(workers.front()->process_id) + ", started by the service";
  if (!strangers.empty()) {
    detail += "; other tarnu-input-helper.exe processes not started by it:";
    for (std::uint32_t id : strangers) {
      detail += " " + std::to_string(id);
    }
    return make("worker.process", Status::warn, detail,
                "find out who started them (a second copy may try to take the pipe) and end them");
  }
  return make("worker.process", Status::ok, detail);
}

// The one worker, or a skipped/failed result that says why there is none to look at.
const HelperProcess* the_worker(const InstallFacts& facts) {
  const std::vector<const HelperProcess*> workers = workers_of(facts);
  return workers.size() == 1 ? workers.front() : nullptr;
}

CheckResult no_worker(std::string id) {
  return make(std::move(id), Status::skipped, "no single worker to look at (see worker.process)");
}

CheckResult worker_session(const InstallFacts& facts) {
  const HelperProcess* worker = the_worker(facts);
  if (worker == nullptr) {
    return no_worker("worker.session");
  }
  if (facts.machine.console_session == kNoSession) {
    return make("worker.session", Status::skipped, "no session is attached to the console");
  }
  if (worker->session != facts.machine.console_session) {
    return make("worker.session", Status::fail,
                "in session " + std::to_string(worker->session) + ", the console's is " +
                    std::to_string(facts.machine.console_session),
                "sc stop " + std::string(kService) + " then sc start " + std::string(kService));
  }
  return make("worker.session", Status::ok,
              "in session " + std::to_string(worker->session) + ", the console's");
}

CheckResult worker_job(const InstallFacts& facts) {
  const HelperProcess* worker = the_worker(facts);
  if (worker == nullptr) {
    return no_worker("worker.job");
  }
  if (!worker->in_job) {
    return unreadable("worker.job", facts, worker->error);
  }
  if (!*worker->in_job) {
    return make("worker.job", Status::fail,
                "not in a job: it may outlive the service and start other processes", kRepair);
  }
  return make("worker.job", Status::ok, "in a job");
}

CheckResult worker_privileges(const InstallFacts& facts) {
  const HelperProcess* worker = the_worker(facts);
  if (worker == nullptr) {
    return no_worker("worker.privileges");
  }
  if (!worker->privileges) {
    return unreadable("worker.privileges", facts, worker->error);
  }
  std::string extra;
  for (const std::string& privilege : *worker->privileges) {
    if (std::find(kWorkerPrivileges.begin(), kWorkerPrivileges.end(), privilege) ==
        kWorkerPrivileges.end()) {
      extra += (extra.empty() ? "" : ", ") + privilege;
    }
  }
  if (!extra.empty()) {
    return make("worker.privileges", Status::fail,
                "its token holds " + extra +
                    " (it keeps only SeTcb, SeChangeNotify and "
                    "SeCreateGlobal)",
                "the service that started it is not this version's: " + std::string(kRepair));
  }
  return make("worker.privileges", Status::ok,
              std::to_string(worker->privileges->size()) +
                  " privileges, none beyond SeTcb, SeChangeNotify and SeCreateGlobal");
}

CheckResult worker_user(const InstallFacts& facts) {
  const HelperProcess* worker = the_worker(facts);
  if (worker == nullptr) {
    return no_worker("worker.user");
  }
  if (running_under_wine(facts)) {
    return make("worker.user", Status::skipped,
                under_wine(facts) + " runs every process as one user (" + worker->user_sid + ")");
  }
  if (worker->user_sid.empty()) {
    return unreadable("worker.user", facts, worker->error);
  }
  if (worker->user_sid != kLocalSystem) {
    return make("worker.user", Status::fail, "runs as " + worker->user_sid + ", not LocalSystem",
                kRepair);
  }
  return make("worker.user", Status::ok, "runs as LocalSystem");
}

// --- the pipe ----------------------------------------------------------------------------

CheckResult pipe_present(const InstallFacts& facts) {
  const PipeFacts& pipe = facts.pipe;
  if (facts.machine.console_session == kNoSession) {
    return make("pipe.present", Status::skipped, "no session is attached to the console");
  }
  switch (pipe.state) {
    case PipeState::available:
      return make("pipe.present", Status::ok, pipe.name + " is waiting for a client");
    case PipeState::busy:
      return make("pipe.present", Status::ok, pipe.name + " is serving a client");
    case PipeState::absent:
      return make("pipe.present", Status::fail, pipe.name + " does not exist",
                  "check service.running and worker.process; the worker creates it");
    case PipeState::unknown:
      break;
  }
  return make("pipe.present", Status::warn, pipe.name + ": " + pipe.error,
              "look at the Windows error");
}

CheckResult pipe_server(const InstallFacts& facts) {
  const PipeFacts& pipe = facts.pipe;
  if (!pipe.connect_asked) {
    return make("pipe.server", Status::skipped,
                "not connected (run with --connect to see who serves the pipe)");
  }
  if (pipe.state != PipeState::available) {
    return make("pipe.server", Status::skipped,
                pipe.state == PipeState::busy ? "the pipe is serving a client: not connected"
                                              : "no pipe to connect to");
  }
  if (!pipe.connected) {
    return make("pipe.server", Status::warn, "could not connect: " + pipe.connect_error,
                "rerun with --connect once no client is connected");
  }
  const HelperProcess* worker = the_worker(facts);
  const std::string server = "process " + std::to_string(pipe.server_process_id);
  if (worker == nullptr || pipe.server_process_id != worker->process_id) {
    return make("pipe.server", Status::fail,
                "served by " + server + ", which is not the service's worker",
                "find and end " + server + ", then restart " + std::string(kService));
  }
  if (pipe.server_session != facts.machine.console_session) {
    return make("pipe.server", Status::fail,
                "served by " + server + " in session " + std::to_string(pipe.server_session),
                "restart " + std::string(kService));
  }
  const std::string found =
      "served by the worker (" + server + ") in session " + std::to_string(pipe.server_session);
  if (running_under_wine(facts)) {
    return make("pipe.server", Status::skipped,
                found + "; " + under_wine(facts) + " runs it as " + pipe.server_user_sid +
                    ", so LocalSystem cannot be shown");
  }
  if (pipe.server_user_sid != kLocalSystem || pipe.owner_sid != kLocalSystem) {
    return make("pipe.server", Status::fail,
                found + ", but as " + pipe.server_user_sid + " with owner " + pipe.owner_sid,
                "restart " + std::string(kService));
  }
  return make("pipe.server", Status::ok, found + " as LocalSystem");
}

// --- the status folder and file ----------------------------------------------------------

CheckResult status_folder(const InstallFacts& facts) {
  const PathFacts& folder = facts.status_folder;
  if (!folder.exists) {
    return make("status.folder", Status::fail, folder.path + " does not exist", kRepair);
  }
  if (!folder.directory || folder.reparse_point) {
    // A junction or link would send the worker's LocalSystem writes elsewhere.
    return make("status.folder", Status::fail,
                folder.path + (folder.reparse_point ? " is a reparse point (link or junction)"
                                                    : " is not a folder"),
                "delete it (rmdir, not del /s, for a junction), then " + std::string(kRepair));
  }
  return make("status.folder", Status::ok, folder.path);
}

std::string folder_fix(const InstallFacts& facts) {
  return "icacls \"" + facts.status_folder.path +
         "\" /setowner *S-1-5-32-544 and /inheritance:r /grant:r *S-1-5-18:(OI)(CI)F "
         "*S-1-5-32-544:(OI)(CI)F, or " +
         kRepair;
}

CheckResult status_folder_dacl(const InstallFacts& facts) {
  const PathFacts& folder = facts.status_folder;
  if (!folder.exists) {
    return make("status.folder-dacl", Status::skipped, "no status folder (see status.folder)");
  }
  if (running_under_wine(facts)) {
    return make("status.folder-dacl", Status::skipped,
                under_wine(facts) + " neither keeps nor enforces ACLs");
  }
  if (!folder.error.empty()) {
    return unreadable("status.folder-dacl", facts, folder.error);
  }
  const Dacl dacl = parse_dacl(folder.dacl_sddl);
  const std::set<std::string> found(dacl.aces.begin(), dacl.aces.end());
  const std::set<std::string> expected(kFolderAces.begin(), kFolderAces.end());
  if (!is_administrators_or_system(folder.owner_sid)) {
    return make("status.folder-dacl", Status::fail,
                "owned by " + folder.owner_sid + ", who can change its DACL", folder_fix(facts));
  }
  if (!dacl.protected_dacl || found != expected || dacl.aces.size() != expected.size()) {
    return make("status.folder-dacl", Status::fail,
                folder.dacl_sddl + ", not D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)", folder_fix(facts));
  }
  return make("status.folder-dacl", Status::ok,
              "owner " + folder.owner_sid + ", " + folder.dacl_sddl);
}

CheckResult status_file(const InstallFacts& facts) {
  const PathFacts& file = facts.status_file;
  if (!file.exists) {
    return make("status.file", Status::ok,
                file.path + " not written yet (the worker writes it for its first client)");
  }
  if (file.reparse_point || file.directory) {
    return make("status.file", Status::fail, file.path + " is a link or a folder",
                "delete it; the worker writes it again");
  }
  if (running_under_wine(facts)) {
    return make("status.file", Status::skipped,
                under_wine(facts) + " neither keeps nor enforces ACLs");
  }
  if (!file.error.empty()) {
    return unreadable("status.file", facts, file.error);
  }
  // SYSTEM and Administrators, and read access for the one user of the session (a user's
  // SID, never a group such as Everyone or Users), or nobody else while nobody is logged on.
  const Dacl dacl = parse_dacl(file.dacl_sddl);
  bool sound = dacl.protected_dacl && (dacl.aces.size() == 2 || dacl.aces.size() == 3);
  for (std::size_t i = 0; sound && i < dacl.aces.size(); ++i) {
    sound = i < 2 ? dacl.aces[i] == kFileAces[i] : dacl.aces[i].starts_with("(A;;FR;;;S-1-5-21-");
  }
  if (!sound) {
    return make(
        "status.file", Status::fail,
        file.dacl_sddl + ", not D:P(A;;FA;;;SY)(A;;FA;;;BA) and read access for the session's user",
        "delete the file; the worker writes it again with its own DACL");
  }
  return make("status.file", Status::ok, file.path + ": " + file.dacl_sddl);
}

// --- Ctrl+Alt+Del -------------------------------------------------------------------------

CheckResult sas_policy(const InstallFacts& facts) {
  const SasFacts& sas = facts.sas;
  if (!sas.software_sas.error.empty()) {
    return make("sas.policy", Status::fail, "SoftwareSASGeneration: " + sas.software_sas.error,
                "set SoftwareSASGeneration to a REG_DWORD 1 or 3, or " + std::string(kRepair));
  }
  const std::string owner = sas.set_by_group_policy ? " (set by Group Policy)" : "";
  const std::uint32_t value = sas.software_sas.value.value_or(0);
  const std::string found = sas.software_sas.value
                                ? "SoftwareSASGeneration " + std::to_string(value) + owner
                                : std::string("SoftwareSASGeneration absent (none may)");
  if (value == 1 || value == 3) {
    return make("sas.policy", Status::ok, found + ": services may raise Ctrl+Alt+Del");
  }
  const std::string fix =
      sas.set_by_group_policy
          ? "set \"Disable or enable software Secure Attention Sequence\" to Services (or "
            "Services and Ease of Access applications) in Group Policy"
          : "set it to 1 (or 3), or " + std::string(kRepair);
  return make("sas.policy", Status::fail, found + ": Ctrl+Alt+Del requests will fail", fix);
}

CheckResult sas_uac(const InstallFacts& facts) {
  const RegistryDword& lua = facts.sas.enable_lua;
  if (!lua.error.empty()) {
    return make("sas.uac", Status::warn, "EnableLUA: " + lua.error,
                "set EnableLUA to a REG_DWORD 1 and restart");
  }
  if (!lua.value) {
    return make("sas.uac", Status::ok, "EnableLUA absent: User Account Control on (the default)");
  }
  if (*lua.value == 0) {
    return make("sas.uac", Status::fail,
                "EnableLUA 0: User Account Control is off, and Ctrl+Alt+Del requests need it on",
                "turn User Account Control on (EnableLUA 1) and restart the machine");
  }
  return make("sas.uac", Status::ok, "EnableLUA " + std::to_string(*lua.value));
}

// --- the executable ----------------------------------------------------------------------

std::string trust_name(std::int32_t result) {
  switch (static_cast<std::uint32_t>(result)) {
    case 0x800B0100u:
      return "no signature (TRUST_E_NOSIGNATURE)";
    case 0x80096010u:
      return "the file changed after it was signed (TRUST_E_BAD_DIGEST)";
    case 0x800B0109u:
      return "signed by an untrusted root (CERT_E_UNTRUSTEDROOT)";
    case 0x800B0101u:
      return "a certificate expired without a time stamp (CERT_E_EXPIRED)";
    case 0x800B010Cu:
      return "a certificate was revoked (CERT_E_REVOKED)";
    case 0x800B0111u:
      return "the publisher is explicitly distrusted (TRUST_E_EXPLICIT_DISTRUST)";
    default:
      break;
  }
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%08X", static_cast<unsigned>(result));
  return std::string("WinVerifyTrust ") + hex;
}

CheckResult signature(const InstallFacts& facts) {
  const FileFacts& exe = facts.executable;
  if (!exe.exists) {
    return make("signature", Status::fail, exe.path + " does not exist", kRepair);
  }
  if (running_under_wine(facts)) {
    return make("signature", Status::skipped,
                under_wine(facts) + " does not verify Authenticode trust");
  }
  if (!exe.trust) {
    return make("signature", Status::warn, "not verified: " + exe.trust_error,
                "signtool verify /pa \"" + exe.path + "\"");
  }
  if (*exe.trust == 0) {
    return make("signature", Status::ok, "signed, and the signature is trusted");
  }
  const std::string verdict = trust_name(*exe.trust);
  if (static_cast<std::uint32_t>(*exe.trust) == 0x800B0100u) {
    return make("signature", Status::warn, verdict + ": a development build",
                "install a signed release package");
  }
  return make("signature", Status::fail, verdict,
              "reinstall from a package you trust, and find out what changed the file");
}

CheckResult version(const InstallFacts& facts) {
  const FileFacts& exe = facts.executable;
  if (!exe.exists) {
    return make("version", Status::skipped, "no installed executable (see signature)");
  }
  const std::string expected = facts.machine.tool_version + ".0";
  if (exe.version == expected) {
    return make("version", Status::ok, exe.version + ", this check's version");
  }
  return make("version", Status::warn,
              "installed " +
                  (exe.version.empty() ? std::string("without a version") : exe.version) +
                  ", this check is " + expected,
              "run the tarnu-input-check.exe installed beside it, or install this package");
}

CheckResult event_source(const InstallFacts& facts) {
  const EventSourceFacts& source = facts.event_source;
  const std::string key =
      "HKLM\\SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\" + std::string(kService);
  if (!source.registered) {
    return make("eventlog.source", Status::warn,
                key + " is missing: its events show without their text", kRepair);
  }
  // The event viewer loads the message file into whoever reads the log: it must be the
  // installed executable, not a file that someone else may have written.
  if (!same_text_ignoring_case(source.message_file, facts.executable.path)) {
    return make(
        "eventlog.source", Status::fail,
        "EventMessageFile \"" + source.message_file + "\", not \"" + facts.executable.path + "\"",
        kRepair);
  }
  if (source.types_supported != 7u) {
    return make("eventlog.source", Status::warn,
                "TypesSupported " +
                    (source.types_supported ? std::to_string(*source.types_supported)
                                            : std::string("absent")) +
                    ", not 7",
                kRepair);
  }
  return make("eventlog.source", Status::ok, "registered with " + source.message_file);
}

void append_json_string(std::string& out, std::string_view text) {
  out += '"';
  for (const char c : text) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
          out += escaped;
        } else {
          out += c;
        }
    }
  }
  out += '"';
}

}  // namespace

std::string_view status_name(Status status) {
  switch (status) {
    case Status::ok:
      return "ok";
    case Status::warn:
      return "warn";
    case Status::fail:
      return "fail";
    case Status::skipped:
      return "skipped";
  }
  return "fail";
}

std::string installed_executable(const MachineFacts& machine) {
  std::string folder = machine.program_files.empty() ? "C:\\Program Files" : machine.program_files;
  while (!folder.empty() && folder.back() == '\\') {
    folder.pop_back();
  }
  return folder + "\\Tarnu\\tarnu-input-helper.exe";
}

std::vector<CheckResult> run_checks(const InstallFacts& facts) {
  std::vector<CheckResult> results;
  results.push_back(service_registered(facts));
  if (facts.service.registered) {
    results.push_back(service_image_path(facts));
    results.push_back(service_account(facts));
    results.push_back(service_start(facts));
    results.push_back(service_recovery(facts));
    results.push_back(service_running(facts));
  } else {
    for (const char* id : {"service.image-path", "service.account", "service.start",
                           "service.recovery", "service.running"}) {
      results.push_back(make(id, Status::skipped, "no service (see service.registered)"));
    }
  }
  if (facts.service.state == kServiceRunning) {
    results.push_back(worker_process(facts));
    results.push_back(worker_session(facts));
    results.push_back(worker_job(facts));
    results.push_back(worker_privileges(facts));
    results.push_back(worker_user(facts));
  } else {
    for (const char* id :
         {"worker.process", "worker.session", "worker.job", "worker.privileges", "worker.user"}) {
      results.push_back(make(id, Status::skipped, "the service is not running"));
    }
  }
  results.push_back(pipe_present(facts));
  results.push_back(pipe_server(facts));
  results.push_back(status_folder(facts));
  results.push_back(status_folder_dacl(facts));
  results.push_back(status_file(facts));
  results.push_back(sas_policy(facts));
  results.push_back(sas_uac(facts));
  results.push_back(signature(facts));
  results.push_back(version(facts));
  results.push_back(event_source(facts));
  return results;
}

int exit_status(const std::vector<CheckResult>& results) {
  const auto has = [&](Status status) {
    return std::any_of(results.begin(), results.end(),
                       [status](const CheckResult& r) { return r.status == status; });
  };
  return has(Status::fail) ? 1 : has(Status::warn) ? 2 : 0;
}

std::string render_table(const MachineFacts& machine, const std::vector<CheckResult>& results) {
  std::string out =
      "tarnu-input-check " + machine.tool_version + " on " + machine.computer_name + ", Windows " +
      machine.os_version +
      (machine.wine_version.empty() ? "" : " (Wine " + machine.wine_version + ")") +
      ", console session " +
      (machine.console_session == kNoSession ? std::string("none")
                                             : std::to_string(machine.console_session)) +
      (machine.elevated ? ", elevated" : ", not elevated") + "\n\n";
  std::size_t width = 0;
  for (const CheckResult& result : results) {
    width = std::max(width, result.id.size());
  }
  for (const CheckResult& result : results) {
    const std::string_view status = status_name(result.status);
    out += result.id + std::string(width + 2 - result.id.size(), ' ');
    out += std::string(status) + std::string(9 - status.size(), ' ') + result.detail + "\n";
    if (!result.fix.empty() && result.status != Status::ok) {
      out += std::string(width + 11, ' ') + "fix: " + result.fix + "\n";
    }
  }
  return out;
}

std::string render_json(const MachineFacts& machine, const std::vector<CheckResult>& results) {
  std::string out = "{\n  \"tool\": \"tarnu-input-check\",\n  \"version\": ";
  append_json_string(out, machine.tool_version);
  out += ",\n  \"machine\": {\"computer_name\": ";
  append_json_string(out, machine.computer_name);
  out += ", \"os_version\": ";
  append_json_string(out, machine.os_version);
  out += ", \"wine_version\": ";
  if (machine.wine_version.empty()) {
    out += "null";
  } else {
    append_json_string(out, machine.wine_version);
  }
  out += ", \"console_session\": ";
  out += machine.console_session == kNoSession ? "null" : std::to_string(machine.console_session);
  out += ", \"elevated\": ";
  out += machine.elevated ? "true" : "false";
  out += "},\n  \"checks\": [";
  for (std::size_t i = 0; i < results.size(); ++i) {
    out += i == 0 ? "\n    {\"id\": " : ",\n    {\"id\": ";
    append_json_string(out, results[i].id);
    out += ", \"status\": ";
    append_json_string(out, status_name(results[i].status));
    out += ", \"detail\": ";
    append_json_string(out, results[i].detail);
    out += ", \"fix\": ";
    append_json_string(out, results[i].fix);
    out += "}";
  }
  out += "\n  ],\n  \"exit_status\": " + std::to_string(exit_status(results)) + "\n}\n";
  return out;
}

}  // namespace tarnu::check
