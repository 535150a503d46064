#!/usr/bin/env bash
# The service's events under Wine. Wine keeps no event log: ReportEventW prints each insert on
# its eventlog debug channel (information as trace, warnings as warn, errors as err), and a
# service inherits the environment and standard error of the process that started the
# prefix's services. So this test runs in a copy of the test bed's prefix, with a server of
# its own started with that channel on, and leaves the shared server alone: the service runs
# through a start with the SAS policy absent and a start while another program holds the
# worker's pipe name.
source "$(dirname "$0")/lib.sh"
VERSION=${1:?version}
POLICY='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Policies\System'
EVENTS="$E2E_TMP/events.log"

impostor_pid=
cleanup() {
  [[ -z $impostor_pid ]] || kill "$impostor_pid" 2>/dev/null || true
  wineserver -k >/dev/null 2>&1 || true
  timeout 30 wineserver -w >/dev/null 2>&1 || true
  rm -rf "$E2E_TMP/prefix"
  e2e_cleanup
}
trap cleanup EXIT
cp -a "$WINEPREFIX" "$E2E_TMP/prefix"
export WINEPREFIX="$E2E_TMP/prefix"
wineserver -p </dev/null >/dev/null 2>&1
WINEDEBUG=-all,+eventlog wine cmd /c exit </dev/null >/dev/null 2>"$EVENTS"
# event_lines LEVEL: the inserts written at LEVEL (trace, warn, err) so far, one per line, with
# the escaping of Wine's debug output undone.
event_lines() {
  sed -n "s/^[0-9a-f]*:$1:eventlog:ReportEventW L\"\\(.*\\)\"\$/\\1/p" "$EVENTS" | sed 's/\\\\/\\/g'
}

# A start on a machine whose policy does not let services raise Ctrl+Alt+Del.
wine reg delete "$POLICY" /v SoftwareSASGeneration /f </dev/null >/dev/null 2>&1 || true
service_create_and_start
wait_until 10 one_worker || fail "no worker"
expect_equal "started (1000, its version), policy absent (1200)" "$VERSION|absent" \
  "$(event_lines trace | head -n 1)|$(event_lines warn | head -n 1)"
run_program stop sc stop "$TARNU_SERVICE"
wait_until 10 service_is_stopped || fail "the service did not stop"

# A program of the session takes the worker's pipe name first: the worker cannot create its
# pipe and ends, and one error (1101) names the holder.
wine reg add "$POLICY" /v SoftwareSASGeneration /t REG_DWORD /d 1 /f </dev/null >/dev/null 2>&1
wine "$SOAK_EXE" impostor "$WORKER_PIPE" </dev/null >"$E2E_TMP/impostor.out" 2>&1 &
impostor_pid=$!
wait_for_log "$E2E_TMP/impostor.out" '^impostor: listening' 1 10 || fail "the impostor never listened"
run_program start-again sc start "$TARNU_SERVICE"
wait_until 10 grep -q ':err:eventlog:' "$EVENTS" || fail "no event for the held pipe name"
held=$(event_lines err | paste -sd'|')
if [[ "$held" == '\\.\pipe\tarnu-input-s1|process ID '[0-9]*', '*'\tarnu-soak-client.exe|1' ]]; then
  pass "pipe name held (1101): the pipe, the holder's process ID and image, the count"
else
  fail "pipe name held: [$held]"
fi
# The probe that named it was its first client: it has left, and the next worker serves the
# name.
wait_until 10 grep -q 'impostor: received 0 bytes' "$E2E_TMP/impostor.out" ||
  fail "the impostor was not probed"
wait_until 10 one_worker && pass "a worker once the name is free" || fail "no worker after the impostor"
expect_equal "no more events: one for the held name, no warning with the policy at 1" "1|1" \
  "$(event_lines err | grep -c pipe)|$(event_lines warn | wc -l)"
echo "what Wine printed of the events:"
grep ':eventlog:ReportEventW' "$EVENTS" | cut -d: -f2- || true
