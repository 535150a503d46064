#!/usr/bin/env bash
# The real worker fed by the real client: every kind of command reaches a real window on the
# test bed's display, with the right flags, at the right place; what a client leaves held
# is released when it goes; the status file names the input desktop; and connection after
# connection leaves the worker's handle count where it was.
source "$(dirname "$0")/lib.sh"

DRIVER="$TARNU_BUILD_DIR/tests/windows_input/tarnu-inject-driver.exe"
LOG="$E2E_TMP/window.log"
PROGRAM_DATA="$E2E_TMP/programdata"
STATUS_FILE="$PROGRAM_DATA/Tarnu/input-helper-status-s$WINE_SESSION.txt"
PIPE="\\\\.\\pipe\\tarnu-input-s$WINE_SESSION"

# releases_since_mark: the key-up and button-up lines since the mark, as "WM_KEYUP 0x10|WM_LBUTTONUP|".
releases_since_mark() {
  since_mark | grep -E '^WM_(KEYUP|LBUTTONUP)' |
    sed -E 's/^(WM_[A-Z]+)( vk=(0x..))?.*/\1 \3/; s/ $//' | tr '\n' '|'
}
# client NAME COMMANDS...: one client connection; a failure to send fails the test.
client() {
  local name=$1
  send "$@"
  if ((RC != 0)); then
    fail "client $name exited with $RC: $(cat "$E2E_TMP/$name.err")"
  fi
}
worker_handles() {
  wine "$DRIVER" handles-of tarnu-input-helper.exe </dev/null 2>/dev/null |
    tr -d '\r' | sed -n 's/^handles-of: //p'
}

mkdir -p "$PROGRAM_DATA"
start_test_window "$LOG" 100 100 640 480
wait_for_log "$LOG" '^WM_SETFOCUS' 1 5 || fail "the test window never got the focus"
start_worker worker "ProgramData=$(winepath -w "$PROGRAM_DATA")"

# Typed text, then extended keys and their neighbours, on one connection.
mark_log
client typing "type Hello World 42" "tap 0x25" "tap 0x2E" "tap 0xA3" "tap 0xA1" "tap 0x0D"
wait_since_mark '^WM_KEYUP vk=0x0d' || fail "Enter never arrived"
expect_equal "typed text" "Hello World 42" "$(typed_text "$LOG" "$MARK" | tr -d '\r')"
expect_equal "extended bit of Left, Delete, right Ctrl, right Shift, Enter" \
  "0x25 1|0x2e 1|0x11 1|0x10 0|0x0d 0|" \
  "$(since_mark | sed -n 's/^WM_KEYDOWN vk=\(0x..\) .* extended=\([01]\) .*/\1 \2/p' |
    tail -n 5 | tr '\n' '|')"
wait_for_status_lines "$STATUS_FILE" "Default" "" || fail "status after typing"
expect_equal "status file names the input desktop" "|Default||" \
  "$(sed '1s/^[0-9][0-9]*$//' "$STATUS_FILE" | tr '\n' '|')"

# A click at a pixel (chosen to land exactly under Wine's truncating mapping), checked
# with the window's GetCursorPos and the click's client coordinates.
mark_log
client click "button left down 437 218" "button left up"
wait_since_mark '^WM_LBUTTONUP' || fail "no left button up"
expect_equal "click at the requested pixel" \
  "WM_LBUTTONDOWN keys=0x0001 x=337 y=118 cursor=437,218|WM_LBUTTONUP keys=0x0000 x=337 y=118 cursor=437,218|" \
  "$(since_mark | grep -E '^WM_LBUTTON' | tr '\n' '|')"

# Both wheels, the vertical one first.
mark_log
client wheels "scroll 0 -2" "scroll 3 1"
wait_since_mark '^WM_MOUSEHWHEEL' || fail "no horizontal wheel"
expect_equal "wheel messages" "WM_MOUSEWHEEL -240|WM_MOUSEWHEEL 120|WM_MOUSEHWHEEL 360|" \
  "$(since_mark | sed -n -E 's/^(WM_MOUSE[H]?WHEEL) delta=([-0-9]+) .*/\1 \2/p' | tr '\n' '|')"

# A client that disconnects with Shift and the left button held: the window receives their
# releases, key first, and the status file shows the connection-end binding.
mark_log
client held "key 0x10 down" "button left down 500 250"
wait_since_mark '^WM_LBUTTONUP' || fail "the held left button was never released"
expect_equal "releases after the client left" "WM_KEYUP 0x10|WM_LBUTTONUP|" "$(releases_since_mark)"
expect_equal "Shift no longer down" 0 \
  "$(since_mark | grep -E '^WM_LBUTTONUP' | grep -c 'keys=0x0004' || true)"
wait_for_status_lines "$STATUS_FILE" "Default" "" || fail "status after the connection ended"

# Release-all from a later client lifts what is held, most recent key first.
mark_log
client release "key 0x10 down" "key 0x41 down" "release-all"
wait_since_mark '^WM_KEYUP vk=0x10' || fail "release-all did not release Shift"
expect_equal "release-all order" "WM_KEYUP 0x41|WM_KEYUP 0x10|" "$(releases_since_mark)"

# A thousand connection cycles, each pressing Shift, leave the worker's handle count where
# it was (counted in the system handle table: GetProcessHandleCount reports 0 under Wine).
# The first cycles allocate the thread's input state for good, so they come before the
# first count.
wine "$DRIVER" pipe-cycles "$PIPE" 20 </dev/null >/dev/null 2>&1
wait_for_status_lines "$STATUS_FILE" "Default" "" || true
sleep 0.5
mark_log
MARK_UPS=$(log_count "$LOG" '^WM_KEYUP vk=0x10')
BEFORE=$(worker_handles)
START_MS=$(date +%s%3N)
wine "$DRIVER" pipe-cycles "$PIPE" 1000 </dev/null >"$E2E_TMP/cycles.out" 2>&1
ELAPSED_MS=$(($(date +%s%3N) - START_MS))
expect_equal "pipe cycles" "pipe-cycles: 1000" "$(tr -d '\r' <"$E2E_TMP/cycles.out")"
AFTER=""
for _ in $(seq 40); do
  AFTER=$(worker_handles)
  [[ "$AFTER" == "$BEFORE" ]] && break
  sleep 0.25
done
if [[ -n "$BEFORE" && "$BEFORE" -gt 0 ]]; then
  expect_equal "worker handles after 1000 connections" "$BEFORE" "$AFTER"
else
  fail "could not count the worker's handles: [$BEFORE]"
fi
echo "worker handles: before=$BEFORE after=$AFTER, 1000 connections in ${ELAPSED_MS} ms"

# Every connection's Shift reached the window and was released when the connection ended.
wait_for_log "$LOG" '^WM_KEYUP vk=0x10' $((MARK_UPS + 1000)) 20 ||
  fail "not every Shift press was released"
expect_equal "Shift presses and releases over the cycles" "1000 1000" \
  "$(since_mark | grep -c '^WM_KEYDOWN vk=0x10') $(since_mark | grep -c '^WM_KEYUP vk=0x10')"
expect_equal "Shift up at the end" "shift=0" \
  "$(tail -n 1 "$LOG" | grep -o 'shift=[01]')"

finish
