#!/usr/bin/env bash
# Runs every test: installs what is missing, builds both trees, then the native tests
# (sanitizers) and the Windows tests (under Wine, in a test bed started and stopped here).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
trap 'bash scripts/testbed.sh stop build/windows >/dev/null 2>&1 || true' EXIT

status=0
echo "== native tests"
ctest --preset native || status=1
echo "== Windows tests under Wine"
ctest --preset windows || status=1
exit $status
