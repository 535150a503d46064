#!/usr/bin/env bash
# The frame layer of the real worker under Wine, observed through the status file: every
# write the worker makes to it is recorded in order (the file is a FIFO here).
source "$(dirname "$0")/lib.sh"

base_dir=$(unix_path 'C:\e2e\frames')
rm -rf "$base_dir"
status_file="$base_dir/Tarnu/input-helper-status-s$WINE_SESSION.txt"
record_status_writes "$status_file"
start_worker worker 'ProgramData=C:\e2e\frames'

seen=0
# expect_writes WHAT WRITE...: the next writes recorded since the last call.
expect_writes() {
  local what=$1
  shift
  local expected
  expected=$(printf '%s\n' "$@")
  wait_for_status_writes "$status_file" $((seen + $#)) || true
  # Give a stray extra write the chance to show up before comparing.
  sleep 0.3
  expect_equal "$what" "$expected" "$(status_writes "$status_file" | tail -n +$((seen + 1)))"
  seen=$((seen + $#))
}

move='84 a4 74 79 70 65 a9 6d 6f 75 73 65 4d 6f 76 65 a1 78 64 a1 79 cc c8 ab 64 72 61 67 5f 62 75 74 74 6f 6e c0'
unknown_mouse='81 a4 74 79 70 65 a5 6d 6f 75 73 65'
unknown_text='decode input command: unknown variant `mouse`, expected one of `mouseMove`, `mouseButton`, `scroll`, `key`, `releaseAll`, `secureAttention`'

# A frame split over several writes: the length in two pieces, the payload in three.
send split "bytes 24" "sleep 150" "bytes 00 00 00" "sleep 150" "bytes ${move:0:29}" \
  "sleep 150" "bytes ${move:30:60}" "sleep 150" "bytes ${move:90}"
expect_equal "split frame: client" 0 "$RC"
expect_writes "split frame: decoded, bound, then released at the end" \
  "T|Default|" "T|Default|"

# The three length cases, each on a connection of its own.
send zero "frame-len 0" "move 1 1"
expect_writes "length 0: the failure, then the release's outcome" \
  "T||invalid input command length: 0" "T|Default|"
send too_long "frame-len 65537"
expect_writes "length 65537: the failure, then the release's outcome" \
  "T||invalid input command length: 65537" "T|Default|"
# 65536: a command padded up to the limit (bytes after it are ignored), then one more frame
# on the same connection.
{
  printf 'raw %s' "$move"
  for ((i = 36; i < 65536; i++)); do printf ' c1'; done
  printf '\nmove 300 300\n'
} >"$E2E_TMP/largest.txt"
send_input largest "$E2E_TMP/largest.txt"
expect_equal "length 65536: client" 0 "$RC"
expect_writes "length 65536: accepted, and the connection goes on" \
  "T|Default|" "T|Default|" "T|Default|"

# A payload that does not decode is recorded, and the next frame is carried out.
send bad_then_good "raw c0" "raw $unknown_mouse" "move 400 400"
expect_writes "bad payloads, then a good one on the same connection" \
  "T||decode input command: invalid type: unit value, expected internally tagged enum InputCommand" \
  "T||$unknown_text" "T|Default|" "T|Default|"

# A client gone in the middle of a frame: no decode, only the release's outcome.
send partial "frame-len 36" "bytes 84 a4 74"
expect_writes "client gone mid-frame" "T|Default|"
send partial_length "bytes 24 00"
expect_writes "client gone inside the length" "T|Default|"

# Reconnecting after all of that reaches a new instance.
send reconnect "move 500 500"
expect_equal "reconnect: client" 0 "$RC"
expect_writes "reconnect" "T|Default|" "T|Default|"

# Carried out, as seen by a window: keys after an undecodable frame arrive, in order.
window_log="$E2E_TMP/window.log"
if start_focused_window "$window_log"; then
  mark=$(($(wc -l <"$window_log") + 1))
  send typed "raw c0" "type Ok 1" "raw $unknown_mouse" "type 2"
  expect_writes "typing after bad frames: each bad frame recorded, each key bound" \
    "T||decode input command: invalid type: unit value, expected internally tagged enum InputCommand" \
    $(for _ in $(seq 10); do echo "T|Default|"; done) "T||$unknown_text" \
    "T|Default|" "T|Default|" "T|Default|"
  wait_for_log "$window_log" '^WM_CHAR .*text=2' 1 5 || true
  expect_equal "typing after bad frames: the window got" "Ok 12" "$(typed_text "$window_log" "$mark")"
  stop_test_window
fi

stop_clean_worker "$WORKER_GROUP"
finish
