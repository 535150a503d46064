#!/usr/bin/env bash
# Runs every test: installs what is missing, builds the trees, then the native tests
# (sanitizers), bounded fuzzing runs of the payload decoder and of the worker's frame loop,
# and the Windows tests (under Wine, in a test bed started and stopped here).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
trap 'bash scripts/testbed.sh stop build/windows >/dev/null 2>&1 || true' EXIT

status=0
echo "== native tests"
ctest --preset native || status=1
# fuzz TARGET SECONDS: a bounded libFuzzer run; a finding fails the test command.
fuzz() {
  local log=build/fuzz/$1.log
  if bash fuzz/run_fuzzer.sh "$1" -max_total_time="$2" >"$log" 2>&1; then
    grep -E '^stat::number_of_executed_units' "$log" || true
  else
    tail -n 60 "$log"
    echo "fuzzing failed; the input is in build/fuzz/artifacts/, the log in $log"
    status=1
  fi
}
echo "== fuzzing the payload decoder for 60 s"
fuzz decode_input_command_fuzzer 60
echo "== fuzzing the worker's frame loop for 45 s"
fuzz frame_loop_fuzzer 45
echo "== Windows tests under Wine"
ctest --preset windows || status=1
exit $status
