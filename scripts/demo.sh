#!/usr/bin/env bash
# Installs what is missing, builds, and shows the helper at work under Wine: the worker serves
# its pipe on the test bed's display, the pipe client moves, clicks and types into a text
# window, and the status file and a screenshot show the result.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
build=build/windows
demo_dir=$build/demo
groups=()
cleanup() {
  local group
  for group in "${groups[@]}"; do
    kill -- "-$group" >/dev/null 2>&1 || true
  done
  bash scripts/testbed.sh stop "$build" >/dev/null 2>&1 || true
}
trap cleanup EXIT
bash scripts/testbed.sh start "$build"
# shellcheck disable=SC1091
source "$build/testbed/env"
exe="$build/src/main/tarnu-input-helper.exe"
send_exe="$build/tools/input-send/tarnu-input-send.exe"
rm -rf "$demo_dir"
mkdir -p "$demo_dir"

echo "== role selection"
for args in "" "--service"; do
  set +e
  # shellcheck disable=SC2086
  message=$(wine "$exe" $args </dev/null 2>&1 >/dev/null)
  status=$?
  set -e
  printf '  tarnu-input-helper.exe %-10s -> exit %d: %s\n' "$args" "$status" "$message"
done

echo "== the worker"
status_file=$(winepath -u 'C:\ProgramData\Tarnu\input-helper-status-s1.txt' 2>/dev/null)
rm -f "$status_file"
setsid wine "$exe" --worker </dev/null >"$demo_dir/worker.out" 2>"$demo_dir/worker.err" &
groups+=("$!")
echo "  tarnu-input-helper.exe --worker serves \\\\.\\pipe\\tarnu-input-s1 (Wine runs everything in session 1)"

echo "== a window to type into"
setsid wine notepad </dev/null >/dev/null 2>&1 &
groups+=("$!")
geometry=""
for _ in $(seq 200); do
  window=$(xwininfo -root -tree 2>/dev/null | grep -m1 'Notepad"' | awk '{print $1}') || true
  if [[ -n "$window" ]]; then
    geometry=$(xwininfo -id "$window" | awk '/Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4}
      /Width:/ {w=$2} /Height:/ {h=$2} END {if (w > 0) print x, y, w, h}')
    [[ -n "$geometry" ]] && break
  fi
  sleep 0.1
done
[[ -n "$geometry" ]] || { echo "demo: the Notepad window did not appear" >&2; exit 1; }
read -r win_x win_y win_w win_h <<<"$geometry"
echo "  Notepad at ($win_x, $win_y), ${win_w}x${win_h}"
sleep 1

# Into the middle of the text area (below the menu bar), click, and type.
click_x=$((win_x + win_w / 2))
click_y=$((win_y + win_h / 2))
cat >"$demo_dir/script.txt" <<SCRIPT
# Pointer: a few moves towards the window, then a click into its text area.
move 200 200
move $((click_x - 100)) $((click_y - 50))
move $click_x $click_y
button left down $click_x $click_y
button left up $click_x $click_y
sleep 200
# Text: letters, digits and spaces, capitals with Shift; Enter between the lines.
type Hello from the Tarnu input helper
tap 0x0D
type Typed under Wine 2026 by SendInput
tap 0x0D
# Nothing is left held.
release-all
SCRIPT
echo "== the client's script ($demo_dir/script.txt)"
grep -v '^#' "$demo_dir/script.txt" | sed 's/^/  /'
wine "$send_exe" --wait 10000 --server-user "$WINE_USER_SID" <"$demo_dir/script.txt" 2>&1 | tr -d '\r' | sed 's/^/  /'
sleep 1

echo "== the same through a window that logs what it receives"
window_exe="$build/tools/test-window/tarnu-test-window.exe"
window_log=$(realpath "$demo_dir")/window.log
setsid wine "$window_exe" "Z:${window_log//\//\\}" 1100 100 640 400 </dev/null >/dev/null 2>&1 &
groups+=("$!")
for _ in $(seq 200); do
  grep -q '^ready ' "$window_log" 2>/dev/null && break
  sleep 0.1
done
wine "$send_exe" --wait 10000 --server-user "$WINE_USER_SID" "move 1420 300" "button left down" \
  "button left up" "type Tarnu 42" "scroll 0 -2" "release-all" </dev/null 2>&1 | tr -d '\r' | sed 's/^/  /'
sleep 1
typed=$(sed -n 's/^WM_CHAR .* text=\([^ ]*\) .*/\1/p' "$window_log" | tr -d '\n')
printf '  typed text received: "%b"\n' "$typed"
for message in WM_LBUTTONDOWN WM_LBUTTONUP WM_KEYDOWN WM_KEYUP WM_MOUSEWHEEL; do
  printf '  %-15s %d\n' "$message" "$(grep -c "^$message " "$window_log" || true)"
done

echo "== the status file ($status_file)"
tr -d '\r' <"$status_file" | sed 's/^/  | /'
time_ms=$(head -n 1 "$status_file")
echo "  line 1 is $(date -u -d "@$((time_ms / 1000))" '+%Y-%m-%d %H:%M:%S UTC') in Unix milliseconds"

echo "== screenshot"
shot=$(realpath "$demo_dir")/shot.png
xwd -root -silent | convert xwd:- "$shot"
echo "  $shot ($(identify -format '%wx%h' "$shot"))"
