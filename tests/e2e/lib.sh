# Shared helpers for the end-to-end scripts run by CTest in the Windows tree.
# They expect TARNU_BUILD_DIR (the Windows build tree) and a running test bed.
set -euo pipefail

: "${TARNU_BUILD_DIR:?set by CTest}"
# shellcheck disable=SC1091
source "$TARNU_BUILD_DIR/testbed/env"

HELPER_EXE="$TARNU_BUILD_DIR/src/main/tarnu-input-helper.exe"
E2E_TMP=$(mktemp -d "$TARNU_BUILD_DIR/e2e.XXXXXX")
trap 'rm -rf "$E2E_TMP"' EXIT

FAILURES=0

fail() {
  echo "FAIL: $*" >&2
  FAILURES=$((FAILURES + 1))
}

pass() { echo "ok: $*"; }

# run_program NAME PROGRAM [ARGS...]: runs a Windows program with no input, keeps its
# exit status in RC and its output in $E2E_TMP/NAME.out and .err.
run_program() {
  local name=$1
  shift
  set +e
  wine "$@" </dev/null >"$E2E_TMP/$name.out" 2>"$E2E_TMP/$name.err"
  RC=$?
  set -e
}

# expect_equal WHAT EXPECTED ACTUAL
expect_equal() {
  if [[ "$2" == "$3" ]]; then
    pass "$1"
  else
    fail "$1: expected [$2], got [$3]"
  fi
}

finish() {
  if ((FAILURES)); then
    echo "$FAILURES check(s) failed" >&2
    exit 1
  fi
  echo "all checks passed"
}

# --- The test window (tools/test-window): a window that logs the input it receives ---

TEST_WINDOW_EXE="$TARNU_BUILD_DIR/tools/test-window/tarnu-test-window.exe"
TEST_WINDOW_PID=""
TEST_WINDOW_WINPID=""

# windows_path PATH: a Unix path as Windows programs under Wine see it (drive Z: is /).
windows_path() {
  local path
  path=$(realpath -m "$1")
  echo "Z:${path//\//\\}"
}

# log_count LOG PATTERN: how many lines of LOG match the extended regular expression.
log_count() {
  local count
  count=$(grep -cE "$2" "$1" 2>/dev/null) || true
  echo "${count:-0}"
}

# wait_for_log LOG PATTERN [COUNT] [SECONDS]: waits until at least COUNT lines (default 1)
# of LOG match PATTERN; returns 1 after SECONDS (default 10) without them.
wait_for_log() {
  local log=$1 pattern=$2 count=${3:-1} seconds=${4:-10} tries
  for ((tries = seconds * 20; tries > 0; tries--)); do
    if (($(log_count "$log" "$pattern") >= count)); then
      return 0
    fi
    sleep 0.05
  done
  return 1
}

# start_test_window LOG [X Y WIDTH HEIGHT]: starts the window with its log at LOG (a Unix
# path) and waits until it is up; fails the test if it does not come up in 20 s.
start_test_window() {
  local log=$1
  shift
  wine "$TEST_WINDOW_EXE" "$(windows_path "$log")" "$@" </dev/null >"$log.out" 2>&1 &
  TEST_WINDOW_PID=$!
  if ! wait_for_log "$log" '^ready ' 1 20; then
    fail "the test window did not come up"
    return 1
  fi
  TEST_WINDOW_WINPID=$(sed -n 's/^ready pid=\([0-9]*\) .*/\1/p' "$log")
}

# stop_test_window: closes the window (WM_CLOSE through taskkill), killing it if need be.
stop_test_window() {
  [[ -n "$TEST_WINDOW_PID" ]] || return 0
  if [[ -n "$TEST_WINDOW_WINPID" ]]; then
    wine taskkill /pid "$TEST_WINDOW_WINPID" </dev/null >/dev/null 2>&1 || true
  fi
  local tries
  for ((tries = 40; tries > 0; tries--)); do
    kill -0 "$TEST_WINDOW_PID" 2>/dev/null || break
    sleep 0.05
  done
  kill "$TEST_WINDOW_PID" 2>/dev/null || true
  wait "$TEST_WINDOW_PID" 2>/dev/null || true
  TEST_WINDOW_PID=""
  TEST_WINDOW_WINPID=""
}

# typed_text LOG [FIRST_LINE]: the characters of the WM_CHAR lines from FIRST_LINE on,
# joined (the window writes a space or a control character as \uXXXX).
typed_text() {
  local encoded
  encoded=$(tail -n "+${2:-1}" "$1" | sed -n 's/^WM_CHAR .* text=\([^ ]*\) .*/\1/p' | tr -d '\n')
  printf '%b' "$encoded"
}

# --- The service TarnuInputService in the test bed's prefix ---------------------------------
# A running service keeps wineserver alive for ever: every script that installs it removes
# it on exit (service_remove_on_exit) as well as before it starts.

TARNU_SERVICE=TarnuInputService

# service_state: the state number that sc reports (1 stopped, 4 running, ...); nothing when
# the service is not installed.
service_state() {
  wine sc query "$TARNU_SERVICE" </dev/null 2>/dev/null | tr -d '\r' |
    awk '$1 == "STATE" { print $3 }' || true
}

# service_remove: stops the service if it runs, waits (10 s at most) until it has stopped,
# then deletes it. Quiet, and harmless when it is not installed.
service_remove() {
  [[ -n "$(service_state)" ]] || return 0
  wine sc stop "$TARNU_SERVICE" </dev/null >/dev/null 2>&1 || true
  wait_until 10 service_is_stopped || true
  wine sc delete "$TARNU_SERVICE" </dev/null >/dev/null 2>&1 || true
}

service_is_stopped() { [[ "$(service_state)" == 1 ]]; }
service_is_running() { [[ "$(service_state)" == 4 ]]; }

# service_remove_on_exit: removes the service (and the scratch folder) however the script ends.
service_remove_on_exit() {
  trap 'service_remove; rm -rf "$E2E_TMP"' EXIT
}

# wait_until SECONDS COMMAND [ARGS...]: polls every 50 ms until COMMAND succeeds; fails
# after SECONDS.
wait_until() {
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    ((SECONDS < deadline)) || return 1
    sleep 0.05
  done
}

# helper_pids ROLE [EXE]: the Linux pids of this prefix's processes whose Windows command
# line is EXE (the Windows path of the helper; HELPER_EXE's by default) followed by ROLE
# ("--worker", "--service"). Other prefixes' helpers and exited processes are left out.
helper_pids() {
  local role=$1 exe=${2:-$(winepath -w "$HELPER_EXE" 2>/dev/null)}
  local dir args
  for dir in /proc/[0-9]*; do
    [[ -r "$dir/cmdline" ]] || continue
    mapfile -d '' -t args 2>/dev/null <"$dir/cmdline" || continue
    ((${#args[@]} >= 2)) || continue
    [[ "${args[0]}" == "$exe" && "${args[1]}" == "$role" ]] || continue
    grep -qzx "WINEPREFIX=$WINEPREFIX" "$dir/environ" 2>/dev/null || continue
    echo "${dir#/proc/}"
  done
}

# now_ms: a monotonic-enough wall clock in milliseconds, for printed figures.
now_ms() { echo $(($(date +%s%N) / 1000000)); }
