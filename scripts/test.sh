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
echo "== fuzzing the payload decoder for 60 s"
fuzz_log=build/fuzz/decode_input_command_fuzzer.log
if bash fuzz/run_fuzzer.sh decode_input_command_fuzzer -max_total_time=60 >"$fuzz_log" 2>&1; then
  grep -E '^stat::number_of_executed_units' "$fuzz_log" || true
else
  tail -n 60 "$fuzz_log"
  echo "fuzzing failed; the input is in build/fuzz/artifacts/, the log in $fuzz_log"
  status=1
fi
echo "== fuzzing the worker's frame loop for 45 s"
fuzz_log=build/fuzz/frame_loop_fuzzer.log
if bash fuzz/run_fuzzer.sh frame_loop_fuzzer -max_total_time=45 >"$fuzz_log" 2>&1; then
  grep -E '^stat::number_of_executed_units' "$fuzz_log" || true
else
  tail -n 60 "$fuzz_log"
  echo "fuzzing failed; the input is in build/fuzz/artifacts/, the log in $fuzz_log"
  status=1
fi
echo "== Windows tests under Wine"
ctest --preset windows || status=1
exit $status
