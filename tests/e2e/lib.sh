# Shared helpers for the end-to-end scripts run by CTest in the Windows tree.
# They expect TARNU_BUILD_DIR (the Windows build tree) and a running test bed.
set -euo pipefail

: "${TARNU_BUILD_DIR:?set by CTest}"
# shellcheck disable=SC1091
source "$TARNU_BUILD_DIR/testbed/env"

HELPER_EXE="$TARNU_BUILD_DIR/src/main/tarnu-input-helper.exe"
E2E_TMP=$(mktemp -d "$TARNU_BUILD_DIR/e2e.XXXXXX")

FAILURES=0

fail() {
  echo "FAIL: $*" >&2
  FAILURES=$((FAILURES + 1))
}

pass() { echo "ok: $*"; }

# run_program NAME PROGRAM [ARGS...]: runs a Windows program with PROGRAM_INPUT (a file) on
# standard input, or none, keeps its exit status in RC and its output in $E2E_TMP/NAME.out
# and .err.
run_program() {
  local name=$1
  shift
  set +e
  wine "$@" <"${PROGRAM_INPUT:-/dev/null}" >"$E2E_TMP/$name.out" 2>"$E2E_TMP/$name.err"
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

# wait_until SECONDS COMMAND [ARGS...]: polls every 50 ms until COMMAND succeeds; fails
# after SECONDS.
wait_until() {
  local deadline=$((${EPOCHREALTIME/[.,]/} + $1 * 1000000))
  shift
  until "$@"; do
    ((${EPOCHREALTIME/[.,]/} < deadline)) || return 1
    sleep 0.05
  done
}

# process_gone PID: no process (or, for -PGID, no process of the group) is left.
process_gone() { ! kill -0 -- "$1" 2>/dev/null; }

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

# log_has LOG PATTERN COUNT: at least COUNT lines of LOG match PATTERN.
log_has() { (($(log_count "$1" "$2") >= $3)); }

# wait_for_log LOG PATTERN [COUNT] [SECONDS]: waits until at least COUNT lines (default 1)
# of LOG match PATTERN; returns 1 after SECONDS (default 10) without them.
wait_for_log() { wait_until "${4:-10}" log_has "$1" "$2" "${3:-1}"; }

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

# start_focused_window LOG: the window at (100, 100), 640 x 480, once it has the focus.
start_focused_window() {
  start_test_window "$1" 100 100 640 480 || return 1
  wait_for_log "$1" '^WM_SETFOCUS' 1 5 || fail "the test window never got the focus"
}

# stop_test_window: closes the window (WM_CLOSE through taskkill), killing it if need be.
stop_test_window() {
  [[ -n "$TEST_WINDOW_PID" ]] || return 0
  if [[ -n "$TEST_WINDOW_WINPID" ]]; then
    wine taskkill /pid "$TEST_WINDOW_WINPID" </dev/null >/dev/null 2>&1 || true
  fi
  wait_until 2 process_gone "$TEST_WINDOW_PID" || kill "$TEST_WINDOW_PID" 2>/dev/null || true
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

# --- The worker and its pipe client (worker_*.sh) ------------------------------------------

SEND_EXE="$TARNU_BUILD_DIR/tools/input-send/tarnu-input-send.exe"
LAUNCH_EXE="$TARNU_BUILD_DIR/tests/e2e/tarnu-e2e-launch.exe"
DRIVER="$TARNU_BUILD_DIR/tests/windows_input/tarnu-inject-driver.exe"
SOAK_EXE="$TARNU_BUILD_DIR/tests/soak/tarnu-soak-client.exe"
# Under Wine every process is in session 1, and runs as WINE_USER_SID (from the test bed's
# env), which the pipe's clients are told to expect of the worker in place of LocalSystem.
WINE_SESSION=1
WORKER_PIPE="\\\\.\\pipe\\tarnu-input-s$WINE_SESSION"
# Process groups started here (workers, status recorders), ended when the script exits.
STARTED_GROUPS=()

e2e_cleanup() {
  local group
  stop_test_window
  for group in "${STARTED_GROUPS[@]}"; do
    kill -- "-$group" 2>/dev/null || true
  done
  rm -rf "$E2E_TMP"
}
trap e2e_cleanup EXIT

# start_worker NAME [LAUNCH_OPTION]...: starts the real executable (the copy at WORKER_EXE if
# set) in --worker mode through tarnu-e2e-launch with its options (environment changes:
# Wine sets ProgramData itself for programs started from Unix). Its process group is in
# WORKER_GROUP, its output in $E2E_TMP/NAME.out and .err.
start_worker() {
  local name=$1
  shift
  setsid wine "$LAUNCH_EXE" "$@" -- "$(winepath -w "${WORKER_EXE:-$HELPER_EXE}")" --worker \
    </dev/null >"$E2E_TMP/$name.out" 2>"$E2E_TMP/$name.err" &
  WORKER_GROUP=$!
  STARTED_GROUPS+=("$WORKER_GROUP")
}

# start_own_worker [LAUNCH_OPTION]...: the worker (output in $E2E_TMP/worker.out and .err)
# with a ProgramData of its own under $E2E_TMP.
start_own_worker() {
  mkdir -p "$E2E_TMP/programdata"
  start_worker worker "$@" "ProgramData=$(winepath -w "$E2E_TMP/programdata")"
}

# stop_clean_worker GROUP: checks that the worker of start_own_worker still runs and has
# written nothing to standard error, then ends it.
stop_clean_worker() {
  kill -0 "$1" 2>/dev/null && pass "the worker still runs" || fail "the worker is gone"
  expect_equal "the worker's standard error" "" "$(cat "$E2E_TMP/worker.err")"
  stop_group "$1"
}

# worker_handles: the worker's entries in the system handle table (GetProcessHandleCount
# reports 0 under Wine).
worker_handles() {
  wine "$DRIVER" handles-of tarnu-input-helper.exe </dev/null 2>/dev/null | tr -d '\r' |
    sed -n 's/^handles-of: //p'
}

# expect_handles_kept WHAT BEFORE AFTER: a handle count (BEFORE, which must be one) is back
# where it was.
expect_handles_kept() {
  [[ "$2" =~ ^[1-9][0-9]*$ ]] || { fail "$1: no handle count [$2]"; return; }
  expect_equal "$1" "$2" "$3"
}

# stop_group GROUP: ends a process group started here and waits until none of its processes
# is left (so that a worker's pipe name is free again).
stop_group() {
  kill -- "-$1" 2>/dev/null || true
  wait "$1" 2>/dev/null || true
  wait_until 5 process_gone "-$1" || kill -KILL -- "-$1" 2>/dev/null || true
}

# output NAME, errors NAME: what run_program or send NAME wrote to standard output and to
# standard error, without the CRs.
output() { tr -d '\r' <"$E2E_TMP/$1.out"; }
errors() { tr -d '\r' <"$E2E_TMP/$1.err"; }

# send NAME ARGS...: runs the pipe client (waiting up to 10 s for the pipe, accepting a
# server that runs as the Wine user), keeps its exit status in RC and its output in
# $E2E_TMP/NAME.out and .err.
send() {
  local name=$1
  shift
  run_program "$name" "$SEND_EXE" --wait 10000 --server-user "$WINE_USER_SID" "$@"
}

# unix_path WINDOWS_PATH: where a C:\ path of the prefix lies on this side.
unix_path() { winepath -u "$1" 2>/dev/null; }

# wait_for_status_lines FILE SUCCESS FAILURE [SECONDS]: polls until lines 2 and 3 of FILE
# are SUCCESS and FAILURE, with nothing after them; 0 when they are.
wait_for_status_lines() { wait_until "${4:-10}" status_lines_are "$1" "$2|$3|"; }
status_lines_are() { [[ -f "$1" && "$(tail -n +2 "$1" 2>/dev/null | tr '\n' '|')" == "$2" ]]; }

# record_status_writes FILE: makes FILE a FIFO and appends every write the worker makes to
# it, in order, to FILE.log. The recorder holds the FIFO open for reading and writing, so it
# never sees an end, and the worker's open never finds it without a reader (Wine's open of a
# FIFO does not wait for one: the write would be skipped).
record_status_writes() {
  local file=$1
  mkdir -p "$(dirname "$file")"
  rm -f "$file" "$file.log"
  mkfifo "$file"
  : >"$file.log"
  setsid bash -c 'exec 3<>"$1"; exec cat <&3 >>"$1.log"' recorder "$file" \
    </dev/null >/dev/null 2>&1 &
  STARTED_GROUPS+=("$!")
}

# status_writes FILE: the recorded writes with the time lines replaced by T, one per line as
# "T|success|failure".
status_writes() {
  awk 'NR % 3 == 1 { t = ($0 ~ /^[0-9]+$/) ? "T" : "BAD-TIME:" $0 }
       NR % 3 == 2 { s = $0 }
       NR % 3 == 0 { print t "|" s "|" $0 }' "$1.log"
}

# wait_for_status_writes FILE COUNT [SECONDS]: until COUNT writes are recorded.
wait_for_status_writes() { wait_until "${3:-10}" writes_recorded "$1" "$2"; }
writes_recorded() { (($(wc -l <"$1.log") >= $2 * 3)); }

# send_input NAME FILE ARGS...: like send, with the script read from FILE on standard input.
send_input() { PROGRAM_INPUT=$2 send "$1" "${@:3}"; }

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

# registry_data KEY NAME: the data of one value, as reg prints it (0x10 for a REG_DWORD);
# nothing when the key or the value is missing.
registry_data() {
  wine reg query "$1" /v "$2" </dev/null 2>/dev/null | tr -d '\r' |
    awk -v name="$2" '$1 == name { $1 = ""; $2 = ""; sub(/^  /, ""); print }' || true
}

# service_registry_value NAME: one value of the service's key.
service_registry_value() {
  registry_data 'HKLM\System\CurrentControlSet\Services\'"$TARNU_SERVICE" "$1"
}

# event_source: "EventMessageFile|TypesSupported" of the event source TarnuInputService; "|"
# when it is not registered.
event_source() {
  local key='HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\TarnuInputService'
  echo "$(registry_data "$key" EventMessageFile)|$(registry_data "$key" TypesSupported)"
}

# expect_service_registration EXE_WIN [unquoted-too]: the service's key as both installers
# (deploy/install-service.cmd and the package) write it: EXE_WIN quoted with --service (with
# unquoted-too also unquoted: Wine's msiexec writes it so), own process, automatic start,
# LocalSystem, the display name and the description; and the event source, whose messages
# come from EXE_WIN.
expect_service_registration() {
  local image name expected
  image=$(service_registry_value ImagePath)
  if [[ "$image" == "\"$1\" --service" || ("${2:-}" == unquoted-too && "$image" == "$1 --service") ]]; then
    pass "ImagePath"
  else
    fail "ImagePath: [$image]"
  fi
  while IFS='|' read -r name expected; do
    expect_equal "service $name" "$expected" "$(service_registry_value "$name")"
  done <<TABLE
Type|0x10
Start|0x2
ObjectName|LocalSystem
DisplayName|Tarnu input helper
Description|Carries out the keyboard and mouse input of Tarnu remote sessions on every desktop of the console session, sign-in screen and UAC prompts included.
TABLE
  expect_equal "event source: message file, types" "$1|0x7" "$(event_source)"
}

service_is_stopped() { [[ "$(service_state)" == 1 ]]; }
service_is_running() { [[ "$(service_state)" == 4 ]]; }

# service_remove_on_exit: removes the service now (whatever an interrupted run left in the
# prefix) and however the script ends, then cleans up as every script does (e2e_cleanup).
service_remove_on_exit() {
  trap 'service_remove; e2e_cleanup' EXIT
  service_remove
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

# service_windows_pid: the Windows process id (what taskkill takes; Linux pids are not it) of
# the helper that Wine's service manager (services.exe) started, from wmic's process list;
# empty when there is none. worker_windows_pid: that of a helper the helper started.
service_windows_pid() { helper_windows_pid services.exe; }
worker_windows_pid() { helper_windows_pid tarnu-input-helper.exe; }
helper_windows_pid() {
  local list="$E2E_TMP/wmic-processes.txt"
  wine wmic process get Name,ParentProcessId,ProcessId </dev/null >"$list" 2>/dev/null || true
  # UTF-16 with a byte order mark, CRLF, one "Name Parent Id" row per process.
  iconv -f UTF-16 -t UTF-8 "$list" 2>/dev/null | tr -d '\r' | awk -v parent_name="$1" '
    NR > 1 && NF == 3 { name[$3] = tolower($1); parent[$3] = $2 }
    END {
      for (id in name)
        if (name[id] == "tarnu-input-helper.exe" && name[parent[id]] == parent_name) print id
    }'
}

# workers, services: the Linux pids of the helper's workers and service processes run from
# SERVICE_EXE_WIN (a Windows path; the built executable when it is unset). one_worker: there
# is exactly one worker; no_helper_left: there is neither.
workers() { helper_pids --worker ${SERVICE_EXE_WIN:+"$SERVICE_EXE_WIN"}; }
services() { helper_pids --service ${SERVICE_EXE_WIN:+"$SERVICE_EXE_WIN"}; }
one_worker() { [[ $(workers | wc -l) -eq 1 ]]; }
no_helper_left() { [[ -z "$(workers)$(services)" ]]; }
# expect_no_helper_left WHAT: within 5 s neither a worker nor a service process is left.
expect_no_helper_left() {
  wait_until 5 no_helper_left && pass "$1" || fail "$1: left running: $(workers | xargs) $(services | xargs)"
}

# service_create_and_start: the built executable installed with sc create and started;
# STARTED_MS is when sc start was run.
service_create_and_start() {
  run_program create sc create "$TARNU_SERVICE" binpath= "\"$(winepath -w "$HELPER_EXE")\" --service"
  expect_equal "sc create" 0 "$RC"
  STARTED_MS=$(now_ms)
  run_program start sc start "$TARNU_SERVICE"
  expect_equal "sc start" 0 "$RC"
}

# service_stop_timed WHAT [suspend]: sc stop (with `suspend`, of a worker whose threads are
# all suspended first), timed inside the prefix by tarnu-inject-driver's stop-watch, as sc
# takes up to 1.5 s under Wine here: PENDING_TO_GONE_MS from SERVICE_STOP_PENDING to the
# worker's end, PENDING_TO_STOPPED_MS to SERVICE_STOPPED, RELEASE_TO_GONE_MS from the status
# the worker recorded at the stop to its end (-1: not seen).
service_stop_timed() {
  local watch="$E2E_TMP/stop-watch.out" before pending ended stopped recorded
  before=$(status_time)
  setsid wine "$DRIVER" stop-watch "$TARNU_SERVICE" ${2:-} </dev/null >"$watch" 2>/dev/null &
  STARTED_GROUPS+=("$!")
  wait_until 10 grep -qs '^stop-watch: watching' "$watch" || fail "$1: no worker to watch"
  run_program stop sc stop "$TARNU_SERVICE"
  expect_equal "sc stop ($1)" 0 "$RC"
  wait_until 25 grep -qs '^stop-watch: done' "$watch" || fail "$1: the stop never ended"
  watched() { tr -d '\r' <"$watch" | awk -v e="$1" '$2 == e || $2 " " $3 == e { print $NF }'; }
  pending=$(watched "state 3") ended=$(watched exit) stopped=$(watched "state 1")
  recorded=$(status_time)
  PENDING_TO_GONE_MS=$((pending && ended ? ended - pending : -1))
  PENDING_TO_STOPPED_MS=$((pending && stopped ? stopped - pending : -1))
  RELEASE_TO_GONE_MS=$((recorded > before && ended ? ended - recorded : -1))
  echo "figure: stop $1: after STOP_PENDING the worker ended at $PENDING_TO_GONE_MS ms and" \
    "STOPPED came at $PENDING_TO_STOPPED_MS ms; the worker ended $RELEASE_TO_GONE_MS ms after" \
    "recording its release"
}

# The service's bound on a stopping worker (kWorkerStopBound).
WORKER_STOP_BOUND_MS=1000
# expect_stop_answered WHAT: the worker recorded its release and ended by itself, well
# within the bound, and the service reported STOPPED within its wait hint.
expect_stop_answered() {
  ((RELEASE_TO_GONE_MS >= 0 && RELEASE_TO_GONE_MS < 500 && PENDING_TO_GONE_MS >= 0 &&
    PENDING_TO_GONE_MS < WORKER_STOP_BOUND_MS && PENDING_TO_STOPPED_MS < 2000)) &&
    pass "$1: the worker ended by itself" || fail "$1: the worker did not end by itself"
}

# service_stop_and_delete: sc stop, after which the worker ends by itself, the service
# reports STOPPED, no helper process is left and no pipe is served; then sc delete.
service_stop_and_delete() {
  service_stop_timed "with no client"
  expect_stop_answered "sc stop"
  wait_until 10 service_is_stopped && pass "service reports STOPPED" ||
    fail "service state after stop: $(service_state)"
  expect_no_helper_left "no worker and no service process remain"
  run_program gone "$SEND_EXE" --session "$WINE_SESSION" --server-user "$WINE_USER_SID" "tap 0x45"
  expect_equal "no pipe after stop" 1 "$RC"
  run_program delete sc delete "$TARNU_SERVICE"
  expect_equal "sc delete" 0 "$RC"
  expect_equal "service gone" "" "$(service_state)"
}

# now_ms: a monotonic-enough wall clock in milliseconds, for printed figures.
now_ms() { echo $(($(date +%s%N) / 1000000)); }

# --- Held input as the test window saw it (soak and hostile-client tests) -------------------

# wait_log_quiet LOG [SECONDS]: waits until LOG has not grown for half a second (at most
# SECONDS, default 50).
wait_log_quiet() { QUIET_LINES=-1 && wait_until "${2:-50}" log_settled "$1"; }
log_settled() {
  local lines
  lines=$(wc -l <"$1")
  [[ $lines == "$QUIET_LINES" ]] || { QUIET_LINES=$lines && sleep 0.45 && false; }
}

# window_still_down LOG: the keys and buttons whose last message in the window's log is a
# press ("key 0x10 button L ..."; empty when everything pressed was released), then "|" and
# how many different keys and buttons the log shows at all.
window_still_down() {
  awk '
    /^WM_(SYS)?KEYDOWN / { sub(/^vk=/, "", $2); key[$2] = "down" }
    /^WM_(SYS)?KEYUP /   { sub(/^vk=/, "", $2); key[$2] = "up" }
    /^WM_[LRM]BUTTON(DOWN|DBLCLK) / { button[substr($1, 4, 1)] = "down" }
    /^WM_[LRM]BUTTONUP /            { button[substr($1, 4, 1)] = "up" }
    /^WM_XBUTTON(DOWN|DBLCLK|UP) / {
      for (i = 2; i <= NF; i++) if ($i ~ /^xbutton=/) button["X" substr($i, 9)] = ($1 ~ /UP$/) ? "up" : "down"
    }
    END {
      for (k in key) { seen++; if (key[k] != "up") { printf "%skey %s", sep, k; sep = " " } }
      for (b in button) { seen++; if (button[b] != "up") { printf "%sbutton %s", sep, b; sep = " " } }
      printf "|%d\n", seen
    }' "$1"
}

# Marks in the test window's log ($LOG): what was logged since mark_log.
mark_log() { MARK=$(($(wc -l <"$LOG") + 1)); }
since_mark() { tail -n "+$MARK" "$LOG"; }
# wait_since_mark PATTERN [COUNT]: waits (up to 10 s) for COUNT lines (default 1) matching
# PATTERN among those logged since mark_log.
wait_since_mark() { wait_until 10 marked_lines "$1" "${2:-1}"; }
marked_lines() { (($(since_mark | grep -cE "$1") >= $2)); }

# --- Input held across a stop ----------------------------------------------------------------

# hold_input: a client (its process group in HOLDER) presses Shift and the left button at
# screen (437, 218), in the test window at $LOG, and stays connected for 30 s; returns once
# the window has both presses, with the log marked after them.
hold_input() {
  mark_log
  setsid wine "$SEND_EXE" --session "$WINE_SESSION" --server-user "$WINE_USER_SID" --wait 10000 "key 0x10 down" \
    "button left down 437 218" "sleep 30000" </dev/null >/dev/null 2>&1 &
  HOLDER=$!
  STARTED_GROUPS+=("$HOLDER")
  wait_since_mark '^WM_KEYDOWN vk=0x10' && wait_since_mark '^WM_LBUTTONDOWN' || fail "no presses"
  mark_log
}
# expect_holder_connected WHAT: hold_input's client is still connected, so what happened
# since is not its departure's doing; it is ended then.
expect_holder_connected() {
  kill -0 "$HOLDER" 2>/dev/null && pass "$1: the client still connected" || fail "$1: client gone"
  stop_group "$HOLDER"
}

# status_time: the time line of the status file of a worker started by Wine's service
# manager (its ProgramData is not C:\ProgramData there); 0 when there is none.
status_time() {
  head -n 1 "$(unix_path 'C:\users\Public\Tarnu')/input-helper-status-s$WINE_SESSION.txt" \
    2>/dev/null || echo 0
}
# expect_release_run_at_stop WHAT BEFORE: a worker started by Wine's service manager ran its
# release at a stop, while hold_input's client was still connected: its status file was
# written after BEFORE (a status_time). (The release itself is refused there: such a worker
# cannot attach to the input desktop under Wine, SetThreadDesktop failing with 5, and keeps
# the keys rather than send them to the wrong desktop.)
expect_release_run_at_stop() {
  (($(status_time) > $2)) && pass "$1: release run at the stop" || fail "$1: no release run"
  expect_holder_connected "$1"
}

# --- Injected input as the test window saw it (injection_test.sh, worker_injection_test.sh) -

# text_keys TEXT: input-send lines that type TEXT on a US layout by virtual-key code
# (letters, digits, space, comma, full stop; capitals with Shift).
text_keys() {
  local text=$1 i c
  for ((i = 0; i < ${#text}; i++)); do
    c=${text:i:1}
    case "$c" in
      [A-Z]) printf '%s\n' "key 0x10 down" "tap $(printf '0x%02X' "'$c")" "key 0x10 up" ;;
      [a-z0-9]) echo "tap $(printf '0x%02X' "'${c^^}")" ;;
      ' ') echo "tap 0x20" ;;
      ',') echo "tap 0xBC" ;;
      '.') echo "tap 0xBE" ;;
      *) echo "text_keys: no key for [$c]" >&2; return 1 ;;
    esac
  done
}

# releases_since_mark: the key-up and button-up lines since the mark, as
# "WM_KEYUP 0x10|WM_LBUTTONUP|".
releases_since_mark() {
  since_mark | grep -E '^WM_(KEYUP|LBUTTONUP)' |
    sed -E 's/^(WM_[A-Z]+)( vk=(0x..))?.*/\1 \3/; s/ $//' | tr '\n' '|'
}

# check_injection: every kind of command reaches the test window at $LOG (client area at
# screen (100, 100)) with the right flags, at the right place. Each step is one connection
# of the script's `inject LINE...` (input-send's lines): what it leaves held is released
# when it ends.
check_injection() {
  # Typed text: every key by virtual-key code, with its scan code in lParam.
  local text="Hello, World 42." lines
  mapfile -t lines < <(text_keys "$text")
  mark_log
  inject "${lines[@]}"
  wait_since_mark '^WM_CHAR .*text=\.' || true
  expect_equal "typed text" "$text" "$(typed_text "$LOG" "$MARK")"
  expect_equal "key downs without a scan code" 0 \
    "$(since_mark | grep -E '^WM_KEYDOWN' | grep -c 'scan=0x00' || true)"
  expect_equal "Shift released after the capitals" 0 \
    "$(since_mark | tail -n 1 | grep -c 'shift=1' || true)"

  # Extended keys carry bit 24 of lParam; their neighbours do not. The window sees the
  # side-neutral code for the right and left Ctrl and Shift.
  mark_log
  inject "tap 0x25" "tap 0x2E" "tap 0x24" "tap 0x6F" "tap 0xA3" "tap 0xA2" "tap 0xA1" "tap 0x0D"
  wait_since_mark '^WM_KEYUP vk=0x0d' || fail "Enter up never arrived"
  expect_equal "extended key downs (vk scan extended)" \
    "0x25 0x4b 1|0x2e 0x53 1|0x24 0x47 1|0x6f 0x35 1|0x11 0x1d 1|0x11 0x1d 0|0x10 0x36 0|0x0d 0x1c 0|" \
    "$(since_mark | sed -n 's/^WM_KEYDOWN vk=\(0x..\) .* scan=\(0x..\) extended=\([01]\) .*/\1 \2 \3/p' | tr '\n' '|')"
  expect_equal "extended key ups" "1 1 1 1 1 0 0 0 " \
    "$(since_mark | sed -n 's/^WM_KEYUP .* extended=\([01]\) .*/\1/p' | tr '\n' ' ')"

  # A click at a pixel: the window gets it at the matching client coordinates, with the
  # cursor there (its GetCursorPos). Wine maps absolute coordinates back with truncation, so
  # the pixels chosen here are ones that land exactly.
  mark_log
  inject "button left down 437 218" "button left up 0 0"
  wait_since_mark '^WM_LBUTTONUP' || fail "no left button up"
  expect_equal "left click in the window" \
    "WM_LBUTTONDOWN keys=0x0001 x=337 y=118 cursor=437,218|WM_LBUTTONUP keys=0x0000 x=337 y=118 cursor=437,218|" \
    "$(since_mark | grep -E '^WM_LBUTTON' | tr '\n' '|')"
  expect_equal "pointer move before the click" 1 \
    "$(since_mark | grep -c '^WM_MOUSEMOVE .* x=337 y=118 ' || true)"

  # Every other button at the current position, after a move alone.
  mark_log
  inject "move 300 150" "button right down 0 0" "button right up 0 0" "button middle down 0 0" \
    "button middle up 0 0" "button back down 0 0" "button back up 0 0" \
    "button forward down 0 0" "button forward up 0 0"
  wait_since_mark '^WM_XBUTTONUP .*xbutton=2' || fail "no forward button up"
  expect_equal "right, middle, back, forward" \
    "WM_RBUTTONDOWN 200,50|WM_RBUTTONUP 200,50|WM_MBUTTONDOWN 200,50|WM_MBUTTONUP 200,50|WM_XBUTTONDOWN xbutton=1 200,50|WM_XBUTTONUP xbutton=1 200,50|WM_XBUTTONDOWN xbutton=2 200,50|WM_XBUTTONUP xbutton=2 200,50|" \
    "$(since_mark | grep -E '^WM_[RMX]BUTTON' |
      sed -E 's/^(WM_[A-Z]+) keys=0x[0-9a-f]+ (xbutton=[12] )?x=([-0-9]+) y=([-0-9]+) .*/\1 \2\3,\4/' |
      tr '\n' '|')"

  # Both wheels: vertical first; positive is away from the user and to the right.
  mark_log
  inject "scroll 0 -2" "scroll 3 1"
  wait_since_mark '^WM_MOUSEHWHEEL' || fail "no horizontal wheel"
  expect_equal "wheel messages" "WM_MOUSEWHEEL -240|WM_MOUSEWHEEL 120|WM_MOUSEHWHEEL 360|" \
    "$(since_mark | sed -n -E 's/^(WM_MOUSE[H]?WHEEL) delta=([-0-9]+) .*/\1 \2/p' | tr '\n' '|')"
  expect_equal "vertical wheel position (screen)" "pos=300,150" \
    "$(since_mark | sed -n -E 's/^WM_MOUSEWHEEL .* (pos=[-0-9]+,[-0-9]+) .*/\1/p' | head -n 1)"

  # Release-all: the most recent key first, then the buttons.
  mark_log
  inject "key 0x10 down" "key 0x41 down" "button left down 0 0" "release-all"
  wait_since_mark '^WM_LBUTTONUP' || fail "release-all released no button"
  expect_equal "release-all order" "WM_KEYUP 0x41|WM_KEYUP 0x10|WM_LBUTTONUP|" \
    "$(releases_since_mark)"

  # A connection that ends with Shift and the left button held: both are released, the key
  # first.
  mark_log
  inject "key 0x10 down" "button left down 500 250"
  wait_since_mark '^WM_LBUTTONUP' || fail "the held left button was not released"
  expect_equal "connection-end releases" "WM_KEYUP 0x10|WM_LBUTTONUP|" "$(releases_since_mark)"
  expect_equal "Shift no longer down at the button's release" 0 \
    "$(since_mark | grep -E '^WM_LBUTTONUP' | grep -c 'keys=0x0004' || true)"
}
