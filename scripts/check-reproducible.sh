#!/usr/bin/env bash
# Builds tarnu-input-helper.exe, tarnu-input-check.exe, the installer's custom-action DLL and
# the unsigned package twice, from two copies of this source tree in two different temporary
# folders, and checks that the two builds of each are byte for byte the same and that no
# binary names either folder. Prints the SHA-256 sums; exits 1 when they differ.
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
    env -u TARNU_SIGN_PFX cmake --build --preset windows --target msi -j "$jobs" >build.log 2>&1) ||
    { tail -n 30 "$tree/build.log"; exit 1; }
  exe="$tree/build/windows/src/main/tarnu-input-helper.exe"
  check="$tree/build/windows/tools/check/tarnu-input-check.exe"
  dll="$tree/build/windows/src/installer_actions/tarnu-installer-actions.dll"
  msi=$(echo "$tree"/build/windows/deploy/tarnu-input-helper-*.msi)
  sums+=("$(sha256sum "$exe" "$check" "$dll" "$msi" | cut -d' ' -f1 | xargs)")
  echo "check-reproducible: $copy: exes, dll and msi ${sums[-1]} ($((SECONDS - start)) s)"
  for binary in "$exe" "$check" "$dll"; do
    if strings -a "$binary" | grep -F -e "$scratch" -e "$tree"; then
      echo "check-reproducible: $(basename "$binary") names its build folder" >&2
      exit 1
    fi
  done
done
if [[ "${sums[0]}" != "${sums[1]}" ]]; then
  echo "check-reproducible: the two builds differ" >&2
  exit 1
fi
echo "check-reproducible: identical"
