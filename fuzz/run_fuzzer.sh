#!/usr/bin/env bash
# Runs one libFuzzer target of the `fuzz` preset over its corpus, seeded from
# fuzz/seeds/<target>.hex. Extra arguments go to libFuzzer. Exits non-zero on any crash, leak
# or sanitizer report; the offending input is kept in build/fuzz/artifacts/<target>/.
#
#   bash fuzz/run_fuzzer.sh decode_input_command_fuzzer -max_total_time=60   # bounded run
#   bash fuzz/run_fuzzer.sh decode_input_command_fuzzer -runs=10000000       # long campaign
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
target=${1:?usage: run_fuzzer.sh TARGET [libFuzzer options...]}
shift
binary=$root/build/fuzz/fuzz/$target
if [[ ! -x $binary ]]; then
  echo "run_fuzzer: $binary is missing; build it with: cmake --build --preset fuzz" >&2
  exit 2
fi

# The corpus lives in the build tree and grows from run to run; the seeds are written
# into it afresh each time.
corpus=$root/build/fuzz/corpus/$target
artifacts=$root/build/fuzz/artifacts/$target
mkdir -p "$corpus" "$artifacts"
count=0
while IFS= read -r line || [[ -n $line ]]; do
  line=${line%$'\r'}
  [[ -z $line || $line == \#* ]] && continue
  escaped=$(sed 's/../\\x&/g' <<<"$line")
  printf "$escaped" >"$corpus/seeds-$count"
  count=$((count + 1))
done <"$root/fuzz/seeds/$target.hex"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
exec "$binary" -max_len=4096 -print_final_stats=1 -artifact_prefix="$artifacts/" "$@" "$corpus"
