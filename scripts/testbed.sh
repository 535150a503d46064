#!/usr/bin/env bash
# The Wine test bed of one build tree: its own Wine prefix (created on first use, then
# reused) and its own Xvfb display, started for a test run and stopped after it.
#   testbed.sh start BUILD_DIR   boots what is missing and writes BUILD_DIR/testbed/env
#   testbed.sh stop BUILD_DIR    stops the prefix's wineserver and the display
# Nothing started here outlives `stop`; nothing a person left running is relied on.
set -euo pipefail

action=${1:?usage: testbed.sh start|stop BUILD_DIR}
build=$(realpath -m "${2:?usage: testbed.sh start|stop BUILD_DIR}")
state="$build/testbed"
prefix="$build/wineprefix"

stop_testbed() {
  if [[ -f "$state/env" ]]; then
    # shellcheck disable=SC1091
    source "$state/env"
  fi
  export WINEPREFIX="$prefix"
  if [[ -d "$prefix" ]]; then
    wineserver -k >/dev/null 2>&1 || true
    timeout 30 wineserver -w >/dev/null 2>&1 || true
  fi
  if [[ -f "$state/xvfb.pid" ]]; then
    kill "$(cat "$state/xvfb.pid")" >/dev/null 2>&1 || true
  fi
  rm -rf "$state"
}

start_testbed() {
  stop_testbed
  mkdir -p "$state"

  # A display of our own; Xvfb writes its number once it accepts connections.
  setsid Xvfb -displayfd 5 -screen 0 1920x1080x24 -nolisten tcp \
    5>"$state/display" </dev/null >"$state/xvfb.log" 2>&1 &
  echo $! >"$state/xvfb.pid"
  for _ in $(seq 100); do
    [[ -s "$state/display" ]] && break
    sleep 0.1
  done
  [[ -s "$state/display" ]] || { echo "testbed: Xvfb did not start" >&2; exit 1; }

  cat >"$state/env" <<ENV
export WINEPREFIX="$prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree=;mshtml="
export DISPLAY=:$(tr -d '\n' <"$state/display")
export TARNU_TESTBED_STATE="$state"
# Every program of the prefix, services included, runs as this user; none as LocalSystem. The
# pipe's clients are told to expect it (--server-user); not exported, nothing reads it there.
WINE_USER_SID=S-1-5-21-0-0-0-1000
ENV
  # shellcheck disable=SC1091
  source "$state/env"

  # A persistent server keeps every later wine call fast. Every wine process started here
  # has its output redirected: Wine's background processes inherit the first command's
  # stderr, and a reader of that stream (ctest) would wait on them for ever.
  if [[ ! -f "$prefix/system.reg" ]]; then
    wineboot -u </dev/null >"$state/wineboot.log" 2>&1
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
  fi
  wineserver -p </dev/null >/dev/null 2>&1
  wine cmd /c exit </dev/null >/dev/null 2>&1
  # A crash must be an exit code, not a dialog that waits for a click.
  wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' \
    /v Debugger /t REG_SZ /d false /f </dev/null >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
    </dev/null >/dev/null 2>&1
  echo "testbed: prefix $prefix, display $DISPLAY"
}

case "$action" in
  start) start_testbed ;;
  stop) stop_testbed ;;
  *) echo "usage: testbed.sh start|stop BUILD_DIR" >&2; exit 2 ;;
esac
