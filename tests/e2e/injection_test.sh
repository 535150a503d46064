#!/usr/bin/env bash
# The real Win32 injector (through tarnu-inject-driver.exe, which calls it as the worker
# does) against a real window on the test bed's display: what arrives, with which flags,
# where.
source "$(dirname "$0")/lib.sh"

DRIVER="$TARNU_BUILD_DIR/tests/windows_input/tarnu-inject-driver.exe"
LOG="$E2E_TMP/window.log"

# drive ARGS...: one driver run; its standard output lands in $E2E_TMP/driver.out.
drive() {
  set +e
  wine "$DRIVER" "$@" </dev/null >"$E2E_TMP/driver.out" 2>"$E2E_TMP/driver.err"
  RC=$?
  set -e
  tr -d '\r' <"$E2E_TMP/driver.out" >"$E2E_TMP/driver.txt"
  if ((RC != 0)); then
    fail "driver $* exited with $RC: $(cat "$E2E_TMP/driver.err")"
  fi
}


# text_keys TEXT: driver arguments that type TEXT on a US layout (letters, digits, space,
# comma, full stop; capitals with Shift).
text_keys() {
  local text=$1 i c code
  for ((i = 0; i < ${#text}; i++)); do
    c=${text:i:1}
    case "$c" in
      [a-z]) code=$(printf '0x%02X' "'${c^^}") ;;
      [A-Z0-9]) code=$(printf '0x%02X' "'$c") ;;
      ' ') code=0x20 ;;
      ',') code=0xBC ;;
      '.') code=0xBE ;;
      *) echo "text_keys: no key for [$c]" >&2; return 1 ;;
    esac
    if [[ "$c" == [A-Z] ]]; then
      echo "key 0x10 down key $code down key $code up key 0x10 up"
    else
      echo "key $code down key $code up"
    fi
  done
}

# The window's client area starts at screen (100, 100).
start_test_window "$LOG" 100 100 640 480
wait_for_log "$LOG" '^WM_SETFOCUS' 1 5 || fail "the test window never got the focus"

# Binding: Wine's input desktop is "Default".
drive bind
expect_equal "bind outcome" "bind: success Default" "$(cat "$E2E_TMP/driver.txt")"

# Typed text: every key by virtual-key code, with its scan code in lParam.
TEXT="Hello, World 42."
mark_log
# shellcheck disable=SC2046
drive bind $(text_keys "$TEXT")
wait_since_mark '^WM_CHAR .*text=\.' || true
expect_equal "typed text" "$TEXT" "$(typed_text "$LOG" "$MARK")"
expect_equal "key downs without a scan code" 0 \
  "$(since_mark | grep -E '^WM_KEYDOWN' | grep -c 'scan=0x00' || true)"
expect_equal "Shift released after the capitals" 0 \
  "$(since_mark | tail -n 1 | grep -c 'shift=1' || true)"

# Extended keys carry bit 24 of lParam; their neighbours do not. The window sees the
# side-neutral code for the right and left Ctrl and Shift.
mark_log
drive bind key 0x25 down key 0x25 up key 0x2E down key 0x2E up key 0x24 down key 0x24 up \
  key 0x6F down key 0x6F up key 0xA3 down key 0xA3 up key 0xA2 down key 0xA2 up \
  key 0xA1 down key 0xA1 up key 0x0D down key 0x0D up
wait_since_mark '^WM_KEYUP vk=0x0d' || fail "Enter up never arrived"
expect_equal "extended key downs (vk scan extended)" \
  "0x25 0x4b 1|0x2e 0x53 1|0x24 0x47 1|0x6f 0x35 1|0x11 0x1d 1|0x11 0x1d 0|0x10 0x36 0|0x0d 0x1c 0|" \
  "$(since_mark | sed -n 's/^WM_KEYDOWN vk=\(0x..\) .* scan=\(0x..\) extended=\([01]\) .*/\1 \2 \3/p' | tr '\n' '|')"
expect_equal "extended key ups" "1 1 1 1 1 0 0 0 " \
  "$(since_mark | sed -n 's/^WM_KEYUP .* extended=\([01]\) .*/\1/p' | tr '\n' ' ')"

# A click at a pixel: the cursor is there (GetCursorPos in the injecting process and in the
# window) and the window gets it at the matching client coordinates. Wine maps absolute
# coordinates back with truncation, so the pixels chosen here are ones that land exactly.
mark_log
drive bind button left down 437 218 cursor button left up 0 0
expect_equal "cursor after the click" "cursor: 437,218" "$(grep cursor "$E2E_TMP/driver.txt")"
wait_since_mark '^WM_LBUTTONUP' || fail "no left button up"
expect_equal "left click in the window" \
  "WM_LBUTTONDOWN keys=0x0001 x=337 y=118 cursor=437,218|WM_LBUTTONUP keys=0x0000 x=337 y=118 cursor=437,218|" \
  "$(since_mark | grep -E '^WM_LBUTTON' | tr '\n' '|')"
expect_equal "pointer move before the click" 1 \
  "$(since_mark | grep -c '^WM_MOUSEMOVE .* x=337 y=118 ' || true)"

# Every other button at the current position, and a move alone.
mark_log
drive bind move 300 150 button right down 0 0 button right up 0 0 button middle down 0 0 \
  button middle up 0 0 button back down 0 0 button back up 0 0 button forward down 0 0 \
  button forward up 0 0 cursor
expect_equal "cursor after a move" "cursor: 300,150" "$(grep cursor "$E2E_TMP/driver.txt")"
wait_since_mark '^WM_XBUTTONUP .*xbutton=2' || fail "no forward button up"
expect_equal "right, middle, back, forward" \
  "WM_RBUTTONDOWN 200,50|WM_RBUTTONUP 200,50|WM_MBUTTONDOWN 200,50|WM_MBUTTONUP 200,50|WM_XBUTTONDOWN xbutton=1 200,50|WM_XBUTTONUP xbutton=1 200,50|WM_XBUTTONDOWN xbutton=2 200,50|WM_XBUTTONUP xbutton=2 200,50|" \
  "$(since_mark | grep -E '^WM_[RMX]BUTTON' |
    sed -E 's/^(WM_[A-Z]+) keys=0x[0-9a-f]+ (xbutton=[12] )?x=([-0-9]+) y=([-0-9]+) .*/\1 \2\3,\4/' |
    tr '\n' '|')"

# Both wheels: vertical first; positive is away from the user and to the right.
mark_log
drive bind scroll 0 -2 scroll 3 1
wait_since_mark '^WM_MOUSEHWHEEL' || fail "no horizontal wheel"
expect_equal "wheel messages" "WM_MOUSEWHEEL -240|WM_MOUSEWHEEL 120|WM_MOUSEHWHEEL 360|" \
  "$(since_mark | sed -n -E 's/^(WM_MOUSE[H]?WHEEL) delta=([-0-9]+) .*/\1 \2/p' | tr '\n' '|')"
expect_equal "vertical wheel position (screen)" "pos=300,150" \
  "$(since_mark | sed -n -E 's/^WM_MOUSEWHEEL .* (pos=[-0-9]+,[-0-9]+) .*/\1/p' | head -n 1)"

# Release-all: the most recent key first, then the buttons.
mark_log
drive bind key 0x10 down key 0x41 down button left down 0 0 release-all
wait_since_mark '^WM_LBUTTONUP' || fail "release-all released no button"
expect_equal "release-all order" "WM_KEYUP 0x41|WM_KEYUP 0x10|WM_LBUTTONUP|" \
  "$(since_mark | grep -E '^WM_(KEYUP|LBUTTONUP)' | sed -E 's/^(WM_[A-Z]+)( vk=(0x..))?.*/\1 \3/; s/ $//' | tr '\n' '|')"

# A client that goes away with Shift and the left button held: the connection-end release
# lifts both.
mark_log
drive bind key 0x10 down button left down 500 250 end
expect_equal "connection-end outcome" "end: success Default" "$(grep '^end:' "$E2E_TMP/driver.txt")"
wait_since_mark '^WM_LBUTTONUP' || fail "the held left button was not released"
expect_equal "connection-end releases" "WM_KEYUP 0x10|WM_LBUTTONUP|" \
  "$(since_mark | grep -E '^WM_(KEYUP|LBUTTONUP)' | sed -E 's/^(WM_[A-Z]+)( vk=(0x..))?.*/\1 \3/; s/ $//' | tr '\n' '|')"

# A thousand connection cycles leave the process's handle count where it was. The first
# bind of a thread allocates its input state for good, so one cycle warms up first.
# GetProcessHandleCount reports 0 under Wine: the driver counts the system handle table.
drive cycles 1 cycles 1000
CYCLES=$(grep '^cycles: 1000 ' "$E2E_TMP/driver.txt" || true)
BEFORE=$(sed -n 's/.*before=\([-0-9]*\).*/\1/p' <<<"$CYCLES")
AFTER=$(sed -n 's/.*after=\([-0-9]*\).*/\1/p' <<<"$CYCLES")
if [[ -n "$BEFORE" && "$BEFORE" -gt 0 ]]; then
  expect_equal "handles after 1000 connection cycles" "$BEFORE" "$AFTER"
else
  fail "could not count handles: [$CYCLES]"
fi
echo "handle count: $CYCLES"

# The helper itself declares per-monitor DPI awareness in its embedded manifest, so that the
# metrics and coordinates above are physical pixels on scaled displays.
expect_equal "per-monitor DPI awareness in the helper's manifest" 1 \
  "$(strings -a "$HELPER_EXE" | grep -c '<dpiAwareness .*>PerMonitorV2</dpiAwareness>' || true)"

stop_test_window
finish
