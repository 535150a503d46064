#!/usr/bin/env bash
# The soak: the real worker serves CYCLES connections carrying FRAMES frames (a tenth of
# them invalid in every way the frame layer and the decoder know), while its handles and
# private memory are sampled from outside every EVERY cycles.
#
#   soak_test.sh [CYCLES FRAMES EVERY [SEGMENT]]   (default 300 20000 10; scripts/soak.sh
#                                                  runs the full 10000 1000000 100 500)
#
# The cycles are played in segments of SEGMENT (default: all at once), each against a test
# window of its own (a window closes by itself after ten minutes); the worker is the same
# process throughout. Pass: the worker never exits; its handle count in the last tenth of
# the cycles is no higher than in the first tenth (after the first twentieth, where it
# settles); its private memory, net of what the same SendInput calls cost a floor program,
# grows by less than 1 % between the first and the last tenth; and at the end of every
# segment the window has received a release for every key and button that was pressed.
#
# SendInput under Wine keeps about 150 bytes of the calling process's private memory per
# event and never gives them back, so the worker's raw figure grows with the input it
# injects. The floor (`tarnu-soak-client floor`) makes the same injector calls (bind and
# inject per command, the end-of-connection release per cycle) for the same cycles, in a
# process of its own, and its growth up to each sample is taken off the worker's.
source "$(dirname "$0")/lib.sh"

CYCLES=${1:-300}
FRAMES=${2:-20000}
EVERY=${3:-10}
SEGMENT=${4:-$CYCLES}
PLAN_KEY=${SOAK_PLAN_KEY:-20261208}

start_own_worker
worker_group=$WORKER_GROUP
# The soak client finds the worker by its executable's name: wait until it serves.
send ready "sleep 0"

# The floor: one process for the whole soak, fed the cycles of each segment through a file
# it follows (a FIFO would be held open by every Wine process started meanwhile).
: >"$E2E_TMP/soak.txt"
: >"$E2E_TMP/floor.in"
setsid wine "$SOAK_EXE" floor "$(windows_path "$E2E_TMP/floor.in")" "$CYCLES" "$FRAMES" \
  "$EVERY" "$PLAN_KEY" </dev/null >"$E2E_TMP/floor.out" 2>"$E2E_TMP/floor.err" &
floor_group=$!
STARTED_GROUPS+=("$floor_group")

echo "soak: $CYCLES cycles, $FRAMES frames, a sample every $EVERY cycles, segments of $SEGMENT"
for ((first = 0; first < CYCLES; first += SEGMENT)); do
  last=$((first + SEGMENT < CYCLES ? first + SEGMENT : CYCLES))
  log="$E2E_TMP/window-$first.log"
  start_focused_window "$log"

  run_program soak "$SOAK_EXE" --server-user "$WINE_USER_SID" soak "$WINE_SESSION" \
    tarnu-input-helper.exe "$CYCLES" "$FRAMES" "$EVERY" "$PLAN_KEY" "$first" "$last"
  output soak >>"$E2E_TMP/soak.txt"
  summary=$(output soak | grep '^soak:' || true)
  echo "cycles $first-$((last - 1)): $summary"
  expect_equal "soak client, cycles $first-$((last - 1)) ($(errors soak))" 0 "$RC"
  if [[ "$summary" != *" worker=running" ]]; then
    fail "the worker exited during cycles $first-$((last - 1))"
    break
  fi

  # Every key and button pressed has been released: for each, the last message the window
  # received is an up.
  wait_log_quiet "$log" || true
  held=$(window_still_down "$log")
  echo "keys and buttons seen by the window: ${held#*|}; still down: [${held%|*}]"
  expect_equal "nothing left held after cycle $((last - 1))" "" "${held%|*}"
  ((${held#*|} > 5)) || fail "too few keys and buttons reached the window: ${held#*|}"

  # The floor, for the memory that SendInput keeps: the same cycles, against the same window.
  echo "$first $last" >>"$E2E_TMP/floor.in"
  wait_for_log "$E2E_TMP/floor.out" "^floor-done $last" 1 600 ||
    fail "the floor did not finish cycles $first-$((last - 1)): $(cat "$E2E_TMP/floor.err")"
  stop_test_window
done
echo end >>"$E2E_TMP/floor.in"
wait "$floor_group" || fail "the floor failed: $(cat "$E2E_TMP/floor.err")"
output floor >"$E2E_TMP/floor.txt"
summary=$(awk '/^soak:/ {
    for (i = 2; i <= NF; i++) { split($i, kv, "="); if (kv[1] ~ /^(cycles|frames|invalid|injected|seconds)$/) total[kv[1]] += kv[2] }
  } END { printf "soak: cycles=%d frames=%d invalid=%d injected=%d seconds=%.1f", total["cycles"], total["frames"], total["invalid"], total["injected"], total["seconds"] }' "$E2E_TMP/soak.txt")
echo "$summary"

# Samples from the first tenth of the cycles (after the first twentieth, where the worker
# and the window settle) and from the last tenth.
report=$(awk -v cycles="$CYCLES" -v every="$EVERY" '
  function field(name,   i) { for (i = 2; i <= NF; i++) if (index($i, name "=") == 1) return substr($i, length(name) + 2) }
  FNR == NR && /^floor-sample / { floor[field("cycle") + 0] = field("grown"); next }
  FNR == NR { next }
  /^soak-sample / { c = field("cycle") + 0; if (!(c in mem)) order[n++] = c; handles[c] = field("handles"); mem[c] = field("private") }
  END {
    tenth = int(cycles / 10); warm = int(cycles / 20); if (warm < every) warm = every
    for (i = 0; i < n; i++) {
      c = order[i] + 0; net = mem[c] - floor[c]
      printf "sample cycle=%d handles=%d worker_private=%d floor_grown=%d net=%d\n", c, handles[c], mem[c], floor[c], net
      if (c >= warm && c <= tenth) { fh = (handles[c] > fh) ? handles[c] : fh; fm += mem[c]; ff += floor[c]; fn++ }
      if (c > cycles - tenth) { lh = (handles[c] > lh) ? handles[c] : lh; lm += mem[c]; lf += floor[c]; ln++ }
    }
    if (!fn || !ln) { print "result no-samples"; exit }
    fm /= fn; ff /= fn; lm /= ln; lf /= ln
    printf "first handles_max=%d worker_private=%.0f floor_grown=%.0f\n", fh, fm, ff
    printf "last handles_max=%d worker_private=%.0f floor_grown=%.0f\n", lh, lm, lf
    printf "growth handles=%+.2f%% worker_raw=%+.2f%% floor=%+.0f bytes net=%+.2f%%\n", (lh - fh) * 100 / fh, (lm - fm) * 100 / fm, lf - ff, ((lm - fm) - (lf - ff)) * 100 / fm
    printf "result handles=%s memory=%s\n", (lh <= fh && fh > 0) ? "flat" : "grew", (((lm - fm) - (lf - ff)) * 100 / fm < 1) ? "flat" : "grew"
  }' "$E2E_TMP/floor.txt" "$E2E_TMP/soak.txt")
echo "$report"
expect_equal "handles and memory over the cycles" "result handles=flat memory=flat" \
  "$(grep '^result' <<<"$report")"
if [[ -n "${SOAK_REPORT:-}" ]]; then
  { echo "$summary"; echo "$report"; } >"$SOAK_REPORT"
fi

stop_clean_worker "$worker_group"
finish
