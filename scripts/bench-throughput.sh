#!/usr/bin/env bash
# Throughput of the worker under Wine, against the two references of bench/wine:
#   bash scripts/bench-throughput.sh [FRAMES] [RUNS]      (defaults: 100000 frames, 3 runs)
# Each run serves FRAMES frames of the command mix (bench/mix) from tarnu-bench-client to, in
# turn, the real worker (`tarnu-input-helper.exe --worker`), the floor program (only the
# platform calls each command needs) and the bare pipe reader, and records the client's
# frames per second for each. Prints every run and the medians; not a pass/fail test.
# With TARNU_BENCH_BASELINE set to another build of tarnu-input-helper.exe (say, of an
# earlier commit), that worker is measured too, in the same runs.
# Uses the Windows tree's test bed (do not run it alongside `ctest --preset windows`).
set -euo pipefail
cd "$(dirname "$0")/.."

frames=${1:-100000}
runs=${2:-3}
build=$(realpath build/windows)
work="$build/bench-throughput"

cmake --build --preset windows -j 2 --target tarnu-input-helper tarnu-e2e-launch \
  tarnu-bench-client tarnu-bench-reference >/dev/null

bash scripts/testbed.sh start "$build" >/dev/null
server_group=""
cleanup() {
  if [[ -n "$server_group" ]]; then
    kill -- "-$server_group" 2>/dev/null || true
  fi
  bash scripts/testbed.sh stop "$build" >/dev/null 2>&1 || true
}
trap cleanup EXIT
# shellcheck disable=SC1091
source "$build/testbed/env"

rm -rf "$work"
mkdir -p "$work/data"
# The worker's status file goes to bench-throughput/data/Tarnu; input goes to whatever the
# test bed's display has in front, which is nothing.
data_dir=$(winepath -w "$work/data")
launch=$(winepath -w "$build/tests/e2e/tarnu-e2e-launch.exe")
helper=$(winepath -w "$build/src/main/tarnu-input-helper.exe")
reference=$(winepath -w "$build/bench/wine/tarnu-bench-reference.exe")
client="$build/bench/wine/tarnu-bench-client.exe"
baseline=""
if [[ -n "${TARNU_BENCH_BASELINE:-}" ]]; then
  baseline=$(winepath -w "$(realpath "$TARNU_BENCH_BASELINE")")
fi

# start_server NAME PROGRAM [ARGS...]: the server in a process group of its own, with the
# benchmark's ProgramData (Wine sets its own for programs started from Unix).
start_server() {
  local name=$1
  shift
  setsid wine "$launch" "ProgramData=$data_dir" -- "$@" </dev/null >"$work/$name.out" \
    2>"$work/$name.err" &
  server_group=$!
}

# stop_server: ends the server's process group and waits until it is gone, so that the
# pipe name is free for the next server.
stop_server() {
  local i
  kill -- "-$server_group" 2>/dev/null || true
  wait "$server_group" 2>/dev/null || true
  for ((i = 0; i < 200; i++)); do
    kill -0 -- "-$server_group" 2>/dev/null || break
    sleep 0.05
  done
  kill -KILL -- "-$server_group" 2>/dev/null || true
  server_group=""
}

# measure NAME PROGRAM [ARGS...]: one server against one client, on a test bed of its own;
# prints the client's rate. Input injected under Wine leaves state behind in the prefix's
# server and display that slows every later program down (a second server in the same test
# bed ran up to twice as slow as the first), so each measurement starts afresh.
measure() {
  local name=$1 rate
  shift
  bash scripts/testbed.sh start "$build" >/dev/null
  # shellcheck disable=SC1091
  source "$build/testbed/env"
  start_server "$name" "$@"
  if ! wine "$client" --wait 30000 --server-user "$WINE_USER_SID" "$frames" </dev/null \
    >"$work/$name.client" 2>"$work/$name.client.err"; then
    echo "bench-throughput: the client failed against the $name:" >&2
    cat "$work/$name.client.err" "$work/$name.err" >&2
    exit 1
  fi
  if [[ "$name" == worker* || "$name" == baseline* ]]; then
    stop_server
  else
    # The references end on their own once the client is gone.
    wait "$server_group" 2>/dev/null || true
    server_group=""
  fi
  rate=$(sed -n 's/.* rate=\([0-9.]*\).*/\1/p' "$work/$name.client")
  [[ -n "$rate" ]] || { echo "bench-throughput: no rate from the $name run" >&2; exit 1; }
  echo "$rate"
}

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

servers=(worker floor bare)
if [[ -n "$baseline" ]]; then
  servers+=(baseline)
fi
echo "bench-throughput: $frames frames per server, $runs runs (${servers[*]}; the order turns each run)"
: >"$work/rates"
for ((run = 1; run <= runs; run++)); do
  # Each run starts with another server, so that none always meets the machine's other
  # work at the same point.
  declare -A rate=([baseline]=0)
  for ((i = 0; i < ${#servers[@]}; i++)); do
    server=${servers[(i + run - 1) % ${#servers[@]}]}
    case "$server" in
      worker) rate[worker]=$(measure "worker-$run" "$helper" --worker) ;;
      floor) rate[floor]=$(measure "floor-$run" "$reference" --floor "$frames") ;;
      bare) rate[bare]=$(measure "bare-$run" "$reference" --bare "$frames") ;;
      baseline) rate[baseline]=$(measure "baseline-$run" "$baseline" --worker) ;;
    esac
  done
  ratio=$(awk -v w="${rate[worker]}" -v f="${rate[floor]}" 'BEGIN { printf "%.3f", w / f }')
  base_ratio=$(awk -v w="${rate[baseline]}" -v f="${rate[floor]}" 'BEGIN { printf "%.3f", w / f }')
  printf 'run %d: worker %s/s, floor %s/s, bare pipe %s/s, worker/floor %s' \
    "$run" "${rate[worker]}" "${rate[floor]}" "${rate[bare]}" "$ratio"
  if [[ -n "$baseline" ]]; then
    printf ', baseline %s/s, baseline/floor %s' "${rate[baseline]}" "$base_ratio"
  fi
  echo
  echo "${rate[worker]} ${rate[floor]} ${rate[bare]} $ratio ${rate[baseline]} $base_ratio" \
    >>"$work/rates"
done

column_median() { awk -v c="$1" '{ print $c }' "$work/rates" | median; }
echo
echo "| server | commands/s (median of $runs runs) |"
echo "|---|---|"
printf '| worker | %.0f |\n' "$(column_median 1)"
printf '| floor (required platform calls only) | %.0f |\n' "$(column_median 2)"
printf '| bare pipe reader | %.0f |\n' "$(column_median 3)"
printf '| worker / floor (median of the per-run ratios) | %.3f |\n' "$(column_median 4)"
if [[ -n "$baseline" ]]; then
  printf '| baseline worker | %.0f |\n' "$(column_median 5)"
  printf '| baseline / floor (median of the per-run ratios) | %.3f |\n' "$(column_median 6)"
fi
