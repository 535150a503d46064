#!/usr/bin/env bash
# The real Win32 injector (through tarnu-inject-driver.exe, which calls it as the worker
# does) against a real window on the test bed's display: what arrives, with which flags,
# where (check_injection in lib.sh), and the handles a connection's binding leaves.
source "$(dirname "$0")/lib.sh"

LOG="$E2E_TMP/window.log"

# drive ARGS...: one driver run; its standard output, without CRs, lands in
# $E2E_TMP/driver.txt.
drive() {
  run_program driver "$DRIVER" "$@"
  output driver >"$E2E_TMP/driver.txt"
  ((RC == 0)) || fail "driver $* exited with $RC: $(cat "$E2E_TMP/driver.err")"
}

# inject LINE...: input-send's lines as one driver run between a bind and a connection-end
# release, as the worker serves a connection; both must succeed on Wine's input desktop,
# "Default".
inject() {
  local args=(bind) line words
  for line in "$@"; do
    read -ra words <<<"$line"
    if [[ ${words[0]} == tap ]]; then
      args+=(key "${words[1]}" down key "${words[1]}" up)
    else
      args+=("${words[@]}")
    fi
  done
  drive "${args[@]}" end
  expect_equal "bind and end around [$1 ...]" "bind: success Default|end: success Default|" \
    "$(grep -E '^(bind|end):' "$E2E_TMP/driver.txt" | tr '\n' '|')"
}

start_focused_window "$LOG"
check_injection

# A thousand connection cycles leave the process's handle count where it was. The first
# bind of a thread allocates its input state for good, so one cycle warms up first.
# GetProcessHandleCount reports 0 under Wine: the driver counts the system handle table.
drive cycles 1 cycles 1000
CYCLES=$(grep '^cycles: 1000 ' "$E2E_TMP/driver.txt" || true)
BEFORE=$(sed -n 's/.*before=\([-0-9]*\).*/\1/p' <<<"$CYCLES")
AFTER=$(sed -n 's/.*after=\([-0-9]*\).*/\1/p' <<<"$CYCLES")
expect_handles_kept "handles after 1000 connection cycles" "$BEFORE" "$AFTER"
echo "handle count: $CYCLES"

# The helper itself declares per-monitor DPI awareness in its embedded manifest, so that the
# metrics and coordinates above are physical pixels on scaled displays.
expect_equal "per-monitor DPI awareness in the helper's manifest" 1 \
  "$(strings -a "$HELPER_EXE" | grep -c '<dpiAwareness .*>PerMonitorV2</dpiAwareness>' || true)"

stop_test_window
finish
