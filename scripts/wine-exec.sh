#!/usr/bin/env bash
# Runs a Windows program under Wine in a build tree's test bed (see testbed.sh):
#   wine-exec.sh --build-dir BUILD_DIR PROGRAM.exe [ARGS...]
set -euo pipefail
[[ "${1:-}" == --build-dir ]] || { echo "usage: wine-exec.sh --build-dir DIR PROGRAM [ARGS...]" >&2; exit 2; }
build=$2
shift 2
env_file="$build/testbed/env"
if [[ ! -f "$env_file" ]]; then
  echo "wine-exec: no test bed running for $build (scripts/testbed.sh start $build)" >&2
  exit 2
fi
# shellcheck disable=SC1090
source "$env_file"
exec wine "$@"
