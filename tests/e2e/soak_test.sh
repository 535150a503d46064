#!/usr/bin/env bash
# The soak: the real worker serves CYCLES connections carrying FRAMES frames (a tenth of
# them invalid in every way the frame layer and the decoder know), while its handles and
# private memory are sampled from outside every EVERY cycles.
#
#   soak_test.sh [CYCLES FRAMES EVERY]     (default 300 20000 10; scripts/soak.sh runs the
#                                          full 10000 1000000 100)
#
# Pass: the worker never exits; its handle count in the last tenth of the cycles is no
# higher than in the first tenth (after the first cycles); its private memory, net of what
# the same SendInput calls cost a floor program, grows by less than 1 % between the first
# and the last tenth; and afterwards the test window has received a release for every key
# and button that was pressed.
#
# SendInput under Wine keeps about 150 bytes of the calling process's private memory per
# event and never gives them back, so the worker's raw figure grows with the input it
# injects. The floor (`tarnu-soak-client floor`) makes the same injector calls (bind and
# inject per command, the end-of-connection release per cycle) for the same plan, in a
# process of its own, and its growth at each sample is taken off the worker's.
source "$(dirname "$0")/lib.sh"

CYCLES=${1:-300}
FRAMES=${2:-20000}
EVERY=${3:-10}
SOAK_EXE="$TARNU_BUILD_DIR/tests/soak/tarnu-soak-client.exe"
LOG="$E2E_TMP/window.log"
PROGRAM_DATA="$E2E_TMP/programdata"
PIPE="\\\\.\\pipe\\tarnu-input-s$WINE_SESSION"

mkdir -p "$PROGRAM_DATA"
start_test_window "$LOG" 100 100 640 480
wait_for_log "$LOG" '^WM_SETFOCUS' 1 5 || fail "the test window never got the focus"
start_worker worker "ProgramData=$(winepath -w "$PROGRAM_DATA")"
worker_group=$WORKER_GROUP
# The worker is up once it offers its pipe; the soak client waits for that itself, but it
# must find the process first.
for _ in $(seq 100); do
  wine "$SOAK_EXE" idle "$PIPE" 0 </dev/null >/dev/null 2>&1 && break
  sleep 0.1
done

echo "soak: $CYCLES cycles, $FRAMES frames, a sample every $EVERY cycles"
set +e
wine "$SOAK_EXE" soak "$PIPE" tarnu-input-helper.exe "$CYCLES" "$FRAMES" "$EVERY" \
  </dev/null >"$E2E_TMP/soak.out" 2>"$E2E_TMP/soak.err"
soak_rc=$?
set -e
tr -d '\r' <"$E2E_TMP/soak.out" >"$E2E_TMP/soak.txt"
summary=$(grep '^soak:' "$E2E_TMP/soak.txt" || true)
echo "$summary"
expect_equal "soak client exit status ($(tr -d '\r' <"$E2E_TMP/soak.err"))" 0 "$soak_rc"
[[ "$summary" == *" worker=running" ]] && pass "the worker never exited" ||
  fail "the worker exited during the soak"
kill -0 "$worker_group" 2>/dev/null && pass "the worker process is still there" ||
  fail "the worker process is gone"
expect_equal "worker's standard error" "" "$(cat "$E2E_TMP/worker.err")"

# Every key and button pressed has been released: for each, the last message the window
# received is an up.
wait_log_quiet "$LOG" || true
held=$(window_still_down "$LOG")
echo "keys and buttons seen by the window: ${held#*|}; still down: [${held%|*}]"
expect_equal "nothing left held after the last connection" "" "${held%|*}"
((${held#*|} > 5)) || fail "too few keys and buttons reached the window: ${held#*|}"

# The floor, for the memory that SendInput keeps.
set +e
wine "$SOAK_EXE" floor "$CYCLES" "$FRAMES" "$EVERY" </dev/null >"$E2E_TMP/floor.out" 2>&1
floor_rc=$?
set -e
expect_equal "floor exit status" 0 "$floor_rc"
tr -d '\r' <"$E2E_TMP/floor.out" >"$E2E_TMP/floor.txt"

# Samples from the first tenth of the cycles (after the first twentieth, where the worker
# and the window settle) and from the last tenth.
report=$(awk -v cycles="$CYCLES" -v every="$EVERY" '
  function field(name,   i) { for (i = 2; i <= NF; i++) if (index($i, name "=") == 1) return substr($i, length(name) + 2) }
  FNR == NR && /^floor-sample / { floor[field("cycle")] = field("private"); next }
  /^soak-sample / { c = field("cycle"); handles[c] = field("handles"); mem[c] = field("private"); order[n++] = c }
  END {
    tenth = int(cycles / 10); warm = int(cycles / 20); if (warm < every) warm = every
    for (i = 0; i < n; i++) {
      c = order[i] + 0; net = mem[c] - floor[c]
      printf "sample cycle=%d handles=%d worker_private=%d floor_private=%d net=%d\n", c, handles[c], mem[c], floor[c], net
      if (c >= warm && c <= tenth) { fh = (handles[c] > fh) ? handles[c] : fh; fm += mem[c]; ff += floor[c]; fn++ }
      if (c > cycles - tenth) { lh = (handles[c] > lh) ? handles[c] : lh; lm += mem[c]; lf += floor[c]; ln++ }
    }
    if (!fn || !ln) { print "result no-samples"; exit }
    fm /= fn; ff /= fn; lm /= ln; lf /= ln
    printf "first handles_max=%d worker_private=%.0f floor_private=%.0f\n", fh, fm, ff
    printf "last handles_max=%d worker_private=%.0f floor_private=%.0f\n", lh, lm, lf
    printf "growth handles=%+.2f%% worker_raw=%+.2f%% floor=%+.0f bytes net=%+.2f%%\n", (lh - fh) * 100 / fh, (lm - fm) * 100 / fm, lf - ff, ((lm - fm) - (lf - ff)) * 100 / fm
    printf "result handles=%s memory=%s\n", (lh <= fh && fh > 0) ? "flat" : "grew", (((lm - fm) - (lf - ff)) * 100 / fm < 1) ? "flat" : "grew"
  }' "$E2E_TMP/floor.txt" "$E2E_TMP/soak.txt")
echo "$report"
expect_equal "handles and memory over the cycles" "result handles=flat memory=flat" \
  "$(grep '^result' <<<"$report")"
if [[ -n "${SOAK_REPORT:-}" ]]; then
  { echo "$summary"; echo "$report"; } >"$SOAK_REPORT"
fi

stop_group "$worker_group"
finish
