#!/usr/bin/env bash
# deploy/install-service.cmd and deploy/uninstall-service.cmd under Wine's cmd and sc, for an
# executable in a folder whose name has spaces and the characters that cmd treats specially
# (&, ^, %), started from that folder with the caller's ProgramFiles pointing elsewhere. The
# script must register a copy under the machine's Program Files, never the file where it lies,
# and never run a program planted in that folder under a system program's name. Wine's sc
# accepts the recovery actions but does not keep them, and Wine's icacls is a stand-in that
# changes nothing, so neither is checked here.
source "$(dirname "$0")/lib.sh"
: "${TARNU_SOURCE_DIR:?set by CTest}"
SERVICE_EXE_WIN='C:\Program Files\Tarnu\tarnu-input-helper.exe'
INSTALLED=$(unix_path "$SERVICE_EXE_WIN")
# The installed copy goes too, however the script ends.
trap 'service_remove; rm -rf "$(dirname "$INSTALLED")"; e2e_cleanup' EXIT
service_remove
rm -rf "$(dirname "$INSTALLED")"

# A copy in a folder with spaces, &, ^ and %, so that every quoting step on the way is
# exercised, with the planted programs beside it. Wine's cmd, like Windows', looks in the
# current folder first for a program named without a path.
folder="$E2E_TMP/Tarnu & Co ^ 100% Input Helper"
mkdir -p "$folder"
cp "$HELPER_EXE" "$folder/tarnu-input-helper.exe"
for planted in sc.exe reg.exe icacls.exe PING.EXE find.exe; do
  cp "$TARNU_BUILD_DIR/tests/e2e/tarnu-planted-exe.exe" "$folder/$planted"
done
ELSEWHERE='ProgramFiles=C:\Elsewhere'
# from_folder COMMAND...: COMMAND started from that folder (only the scripts: this test's own
# wine sc and reg would find the planted programs too).
from_folder() {
  pushd "$folder" >/dev/null
  "$@"
  popd >/dev/null
}
SOURCE_WIN=$(winepath -w "$folder/tarnu-input-helper.exe" 2>/dev/null)
INSTALL=$(winepath -w "$TARNU_SOURCE_DIR/deploy/install-service.cmd" 2>/dev/null)
UNINSTALL=$(winepath -w "$TARNU_SOURCE_DIR/deploy/uninstall-service.cmd" 2>/dev/null)

# Wine's cmd treats the line after /c as a batch line (a lone % vanishes, %% gives one %),
# where Windows' cmd keeps it as typed: the argument is written so that the script receives
# the path as it is.
SOURCE_ARG=${SOURCE_WIN//%/%%}
from_folder run_program install "$LAUNCH_EXE" "$ELSEWHERE" -- cmd /c "$INSTALL" "$SOURCE_ARG"
expect_equal "install exit status" 0 "$RC"
expect_equal "install output" "install-service: TarnuInputService installed and started from \"$SERVICE_EXE_WIN\"" \
  "$(output install)"
if cmp -s "$INSTALLED" "$HELPER_EXE"; then pass "copied under Program Files"; else fail "no copy at $INSTALLED"; fi
expect_service_registration "$SERVICE_EXE_WIN"

if wait_until 10 service_is_running; then pass "running after install"; else fail "state $(service_state)"; fi
if wait_until 10 one_worker; then pass "its worker runs from the installed copy"; else fail "no worker"; fi

# Installing twice fails and leaves the installed service alone.
from_folder run_program again cmd /c "$INSTALL" "$SOURCE_ARG"
expect_equal "second install exit status" 1 "$RC"
expect_equal "still running" 4 "$(service_state)"

# A missing executable is refused before sc is asked anything.
from_folder run_program missing cmd /c "$INSTALL" 'C:\no such folder\tarnu-input-helper.exe'
expect_equal "missing executable exit status" 2 "$RC"

from_folder run_program uninstall "$LAUNCH_EXE" "$ELSEWHERE" -- cmd /c "$UNINSTALL"
expect_equal "uninstall exit status" 0 "$RC"
expect_equal "uninstall output" "uninstall-service: TarnuInputService stopped and removed" \
  "$(output uninstall)"
expect_equal "service gone" "" "$(service_state)"
expect_equal "registry key and event source gone" "|" \
  "$(service_registry_value ImagePath)$(event_source)"
[[ ! -e "$(dirname "$INSTALLED")" ]] && pass "installed copy and its folder removed" ||
  fail "left: $(ls "$(dirname "$INSTALLED")" | xargs)"
[[ -f "$folder/tarnu-input-helper.exe" ]] && pass "the source is left alone" || fail "the source is gone"
expect_no_helper_left "no worker and no service process remain"

from_folder run_program uninstall2 cmd /c "$UNINSTALL"
expect_equal "uninstall when not installed" 0 "$RC"
expect_equal "uninstall output when not installed" \
  "uninstall-service: TarnuInputService is not installed" "$(output uninstall2)"
expect_equal "planted programs run" "" "$(cd "$folder" && ls -- *.ran 2>/dev/null | xargs)"

finish
