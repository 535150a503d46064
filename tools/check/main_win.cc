// tarnu-input-check: says whether the input helper's install holds on this machine, one line
// per check, for an administrator or a detection/remediation script.
//
//   tarnu-input-check.exe [--json] [--connect]
//
// It only reads: the service's configuration and state, the helper's processes and their
// tokens, the registry, the status folder's descriptors, the executable's signature. The
// worker's pipe is only looked for without opening it, unless --connect asks to open it
// (while no client is served) to see who serves it; nothing is ever written to it.
// Exit status: 0 nothing failed, 1 something failed, 2 only warnings; 3 a bad command line.

#include <windows.h>

#include <cstdio>
#include <string>
#include <string_view>

#include "check/gather_facts_win.h"
#include "check/install_checks.h"

namespace {

constexpr char kUsage[] =
    "usage: tarnu-input-check.exe [--json] [--connect]\n"
    "  --json     one JSON document instead of the table\n"
    "  --connect  open the console session's pipe while it waits for a client, to see who\n"
    "             serves it (nothing is written)\n"
    "exit status: 0 nothing failed, 1 something failed, 2 only warnings\n";

void write(std::string_view text, FILE* stream) {
  std::fwrite(text.data(), 1, text.size(), stream);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  // Libraries loaded from here on come from System32, never from the folder this program
  // was started from.
  ::SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  bool json = false;
  tarnu::check::GatherOptions options;
  for (int i = 1; i < argc; ++i) {
    const std::wstring_view argument = argv[i];
    if (argument == L"--json") {
      json = true;
    } else if (argument == L"--connect") {
      options.connect = true;
    } else if (argument == L"--help" || argument == L"-h" || argument == L"/?") {
      write(kUsage, stdout);
      return 0;
    } else {
      write(kUsage, stderr);
      return 3;
    }
  }
  const tarnu::check::InstallFacts facts = tarnu::check::gather_facts(options);
  const std::vector<tarnu::check::CheckResult> results = tarnu::check::run_checks(facts);
  write(json ? tarnu::check::render_json(facts.machine, results)
             : tarnu::check::render_table(facts.machine, results),
        stdout);
  std::fflush(stdout);
  return tarnu::check::exit_status(results);
}
