#!/usr/bin/env bash
# The soak under Wine: the real worker serves CYCLES connections carrying FRAMES frames, a
# tenth of them invalid, while its handles and private memory are sampled from outside.
#
#   bash scripts/soak.sh [CYCLES] [FRAMES] [EVERY] [SEGMENT]
#
# Defaults: 10000 cycles, 1000000 frames, a sample every 100 cycles, a fresh test window every
# 500 cycles. The test command runs a short version (300 cycles, 20000 frames). The samples
# and the verdict are printed and kept in build/windows/soak-report.txt. Uses the Windows
# tree and its own Wine test bed, started here and stopped at the end.
set -euo pipefail
cd "$(dirname "$0")/.."

cycles=${1:-10000}
frames=${2:-1000000}
every=${3:-100}
segment=${4:-500}
build=$PWD/build/windows

cmake --preset windows >/dev/null
cmake --build --preset windows -j 2 >/dev/null
trap 'bash scripts/testbed.sh stop "$build" >/dev/null 2>&1 || true' EXIT
bash scripts/testbed.sh start "$build"
TARNU_BUILD_DIR=$build TARNU_SOURCE_DIR=$PWD SOAK_REPORT=$build/soak-report.txt \
  bash tests/e2e/soak_test.sh "$cycles" "$frames" "$every" "$segment"
