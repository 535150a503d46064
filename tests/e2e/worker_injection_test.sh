#!/usr/bin/env bash
# The real worker fed by the real client: every kind of command reaches a real window on the
# test bed's display, with the right flags, at the right place, and what a client leaves
# held is released when it goes (check_injection in lib.sh); the status file names the
# input desktop; connection after connection leaves the worker's handle count where it was;
# and a stop asked for as the service asks (tarnu-e2e-launch plays the service) releases what
# a connected client holds, the key first, before the worker ends with status 0.
source "$(dirname "$0")/lib.sh"

LOG="$E2E_TMP/window.log"
STATUS_FILE="$E2E_TMP/programdata/Tarnu/input-helper-status-s$WINE_SESSION.txt"

# inject LINE...: one client connection carrying the lines.
inject() {
  send inject "$@"
  ((RC == 0)) || fail "client exited with $RC: $(cat "$E2E_TMP/inject.err")"
}

STOP_FILE="$E2E_TMP/stop"
# stop_own_worker WHAT: the launcher's stop (it sets the event once STOP_FILE exists); prints
# its report ("ended after N ms") and checks the exit code and standard error.
stop_own_worker() {
  touch "$STOP_FILE"
  wait_until 5 grep -q '^exit code' "$E2E_TMP/worker.out" || fail "$1: no stop"
  echo "figure: stop $1: $(output worker | sed -n 's/^stop: //p')"
  expect_equal "$1: ended by itself, status 0, nothing on standard error" \
    "stop: ended|exit code 0x00000000|" \
    "$(output worker | sed 's/ after .*//' | tr '\n' '|')$(errors worker)"
}

start_focused_window "$LOG"
start_own_worker --print-exit-code --stop-event "$(winepath -w "$STOP_FILE")"
worker_group=$WORKER_GROUP
check_injection
wait_for_status_lines "$STATUS_FILE" "Default" "" || fail "status after the connection ended"
expect_equal "status file names the input desktop" "|Default||" \
  "$(sed '1s/^[0-9][0-9]*$//' "$STATUS_FILE" | tr '\n' '|')"

# A thousand connection cycles, each pressing Shift, leave the worker's handle count where
# it was. The first cycles allocate the thread's input state for good, so they come before
# the first count.
wine "$DRIVER" --server-user "$WINE_USER_SID" pipe-cycles "$WINE_SESSION" 20 </dev/null >/dev/null 2>&1
wait_for_status_lines "$STATUS_FILE" "Default" "" || true
sleep 0.5
mark_log
MARK_UPS=$(log_count "$LOG" '^WM_KEYUP vk=0x10')
BEFORE=$(worker_handles)
START_MS=$(date +%s%3N)
run_program cycles "$DRIVER" --server-user "$WINE_USER_SID" pipe-cycles "$WINE_SESSION" 1000
ELAPSED_MS=$(($(date +%s%3N) - START_MS))
expect_equal "pipe cycles" "pipe-cycles: 1000" "$(output cycles)"
handles_back() { AFTER=$(worker_handles) && [[ "$AFTER" == "$BEFORE" ]]; }
wait_until 10 handles_back || true
expect_handles_kept "worker handles after 1000 connections" "$BEFORE" "$AFTER"
echo "worker handles: before=$BEFORE after=$AFTER, 1000 connections in ${ELAPSED_MS} ms"

# Every connection's Shift reached the window and was released when the connection ended.
wait_for_log "$LOG" '^WM_KEYUP vk=0x10' $((MARK_UPS + 1000)) 20 ||
  fail "not every Shift press was released"
expect_equal "Shift presses and releases over the cycles" "1000 1000" \
  "$(since_mark | grep -c '^WM_KEYDOWN vk=0x10') $(since_mark | grep -c '^WM_KEYUP vk=0x10')"
expect_equal "Shift up at the end" "shift=0" "$(tail -n 1 "$LOG" | grep -o 'shift=[01]')"

# A stop while a client holds Shift and the left button (the worker waits in a read): both
# released, the key first, and recorded as at a departure.
kill -0 "$worker_group" 2>/dev/null && pass "the worker still runs" || fail "the worker is gone"
hold_input
before=$(head -n 1 "$STATUS_FILE")
stop_own_worker "with Shift and the left button held"
wait_since_mark '^WM_LBUTTONUP' || true
expect_equal "released at the stop" "WM_KEYUP 0x10|WM_LBUTTONUP|" "$(releases_since_mark)"
expect_holder_connected "stop"
(($(head -n 1 "$STATUS_FILE") > before)) && expect_equal "recorded at the stop" "Default||" \
  "$(tail -n +2 "$STATUS_FILE" | tr '\n' '|')" || fail "nothing recorded at the stop"
stop_group "$worker_group"
# And a worker waiting for a client.
rm -f "$STOP_FILE"
start_own_worker --print-exit-code --stop-event "$(winepath -w "$STOP_FILE")"
send ready "release-all"
stop_own_worker "with no client"
stop_group "$WORKER_GROUP"
finish
