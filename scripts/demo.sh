#!/usr/bin/env bash
# Installs what is missing, builds, and shows the helper at work under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
build=build/windows
trap 'bash scripts/testbed.sh stop "$build" >/dev/null 2>&1 || true' EXIT
bash scripts/testbed.sh start "$build"
# shellcheck disable=SC1091
source "$build/testbed/env"
exe="$build/src/main/tarnu-input-helper.exe"

echo "== role selection"
for args in "" "--service" "--worker"; do
  set +e
  # shellcheck disable=SC2086
  message=$(wine "$exe" $args </dev/null 2>&1 >/dev/null)
  status=$?
  set -e
  printf '  tarnu-input-helper.exe %-10s -> exit %d: %s\n' "$args" "$status" "$message"
done
