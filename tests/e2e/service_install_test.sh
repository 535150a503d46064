#!/usr/bin/env bash
# deploy/install-service.cmd and deploy/uninstall-service.cmd under Wine's cmd and sc, for an
# executable in a folder whose name has spaces and the characters that cmd treats specially
# (&, ^, %). The script must register a copy under Program Files, never the file where it
# lies. Wine's sc accepts the recovery actions but does not keep them, so those are not
# checked here.
source "$(dirname "$0")/lib.sh"
: "${TARNU_SOURCE_DIR:?set by CTest}"
SERVICE_EXE_WIN='C:\Program Files\Tarnu\tarnu-input-helper.exe'
INSTALLED=$(unix_path "$SERVICE_EXE_WIN")
# The installed copy goes too, however the script ends.
trap 'service_remove; rm -rf "$(dirname "$INSTALLED")"; e2e_cleanup' EXIT
service_remove
rm -rf "$(dirname "$INSTALLED")"

# A copy in a folder with spaces, &, ^ and %, so that every quoting step on the way is
# exercised.
folder="$E2E_TMP/Tarnu & Co ^ 100% Input Helper"
mkdir -p "$folder"
cp "$HELPER_EXE" "$folder/tarnu-input-helper.exe"
SOURCE_WIN=$(winepath -w "$folder/tarnu-input-helper.exe" 2>/dev/null)
INSTALL=$(winepath -w "$TARNU_SOURCE_DIR/deploy/install-service.cmd" 2>/dev/null)
UNINSTALL=$(winepath -w "$TARNU_SOURCE_DIR/deploy/uninstall-service.cmd" 2>/dev/null)

# Wine's cmd treats the line after /c as a batch line (a lone % vanishes, %% gives one %),
# where Windows' cmd keeps it as typed: the argument is written so that the script receives
# the path as it is.
SOURCE_ARG=${SOURCE_WIN//%/%%}
run_program install cmd /c "$INSTALL" "$SOURCE_ARG"
expect_equal "install exit status" 0 "$RC"
expect_equal "install output" "install-service: TarnuInputService installed and started from \"$SERVICE_EXE_WIN\"" \
  "$(output install)"
if cmp -s "$INSTALLED" "$HELPER_EXE"; then pass "copied under Program Files"; else fail "no copy at $INSTALLED"; fi
expect_service_registration "$SERVICE_EXE_WIN"

if wait_until 10 service_is_running; then pass "running after install"; else fail "state $(service_state)"; fi
if wait_until 10 one_worker; then pass "its worker runs from the installed copy"; else fail "no worker"; fi

# Installing twice fails and leaves the installed service alone.
run_program again cmd /c "$INSTALL" "$SOURCE_ARG"
expect_equal "second install exit status" 1 "$RC"
expect_equal "still running" 4 "$(service_state)"

# A missing executable is refused before sc is asked anything.
run_program missing cmd /c "$INSTALL" 'C:\no such folder\tarnu-input-helper.exe'
expect_equal "missing executable exit status" 2 "$RC"

run_program uninstall cmd /c "$UNINSTALL"
expect_equal "uninstall exit status" 0 "$RC"
expect_equal "uninstall output" "uninstall-service: TarnuInputService stopped and removed" \
  "$(output uninstall)"
expect_equal "service gone" "" "$(service_state)"
expect_equal "registry key gone" "" "$(service_registry_value ImagePath)"
[[ ! -e "$(dirname "$INSTALLED")" ]] && pass "installed copy and its folder removed" ||
  fail "left: $(ls "$(dirname "$INSTALLED")" | xargs)"
[[ -f "$folder/tarnu-input-helper.exe" ]] && pass "the source is left alone" || fail "the source is gone"
expect_no_helper_left "no worker and no service process remain"

run_program uninstall2 cmd /c "$UNINSTALL"
expect_equal "uninstall when not installed" 0 "$RC"
expect_equal "uninstall output when not installed" \
  "uninstall-service: TarnuInputService is not installed" "$(output uninstall2)"

finish
