#!/usr/bin/env bash
# Builds tarnu-input-helper.exe twice, from two copies of this source tree in two different
# temporary folders, and checks that the two executables are byte for byte the same and name
# neither folder. Prints both SHA-256 sums; exits 1 when they differ.
#   check-reproducible.sh [JOBS]
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=${1:-2}

scratch=$(mktemp -d /tmp/tarnu-repro.XXXXXX)
trap 'rm -rf "$scratch"' EXIT

# The tracked files as they are now (uncommitted changes included), in folders whose names
# differ in length as well as in content.
sums=()
for copy in a "second copy"; do
  tree="$scratch/$copy/tarnu-input-helper"
  mkdir -p "$tree"
  git ls-files -z | tar --null -T - -cf - | tar -xf - -C "$tree"
  start=$SECONDS
  (cd "$tree" && cmake --preset windows >/dev/null &&
    cmake --build --preset windows --target tarnu-input-helper -j "$jobs" >build.log 2>&1) ||
    { tail -n 30 "$tree/build.log"; exit 1; }
  exe="$tree/build/windows/src/main/tarnu-input-helper.exe"
  sums+=("$(sha256sum "$exe" | cut -d' ' -f1)")
  echo "check-reproducible: $copy: ${sums[-1]} ($((SECONDS - start)) s)"
  if strings -a "$exe" | grep -F -e "$scratch" -e "$tree"; then
    echo "check-reproducible: the executable names its build folder" >&2
    exit 1
  fi
done
if [[ "${sums[0]}" != "${sums[1]}" ]]; then
  echo "check-reproducible: the two executables differ" >&2
  exit 1
fi
echo "check-reproducible: identical"
