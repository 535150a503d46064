#!/usr/bin/env bash
# Installs every Debian package the project needs (only what is missing) and builds the
# trees: the native one (portable core, tests under sanitizers), the Windows one (the real
# executable, cross-built with MinGW-w64), the fuzzers and the benchmarks. Run as root on
# Debian 12.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  cmake ninja-build g++ clang clang-format libclang-rt-14-dev
  googletest libbenchmark-dev libmsgpuck-dev
  g++-mingw-w64-x86-64-posix wine wine64
  xvfb x11-apps x11-utils imagemagick
  wixl msitools osslsigncode openssl softhsm2 libengine-pkcs11-openssl
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed"; then
    missing+=("$package")
  fi
done
if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

jobs=$(nproc)
# native: portable core under sanitizers; windows: the real executable; fuzz: libFuzzer
# targets (clang); bench: optimised benchmarks without sanitizers.
for preset in native windows fuzz bench; do
  echo "setup: building the $preset tree"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
done
