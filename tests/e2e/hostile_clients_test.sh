#!/usr/bin/env bash
# Hostile clients of the real worker under Wine: one that connects and never writes, one
# that presses Shift, writes half a length and stalls, one that presses Shift and writes a
# 65536-byte frame one byte at a time, and one that connects, presses Shift and leaves in a
# tight loop while a squatter tries to take the pipe's name.
# After each, the worker serves the next well-behaved client (its key reaches the test
# window) and nothing stays held. First of all, a hostile server: a process that takes the
# pipe's name before any worker runs gets nothing from the client.
source "$(dirname "$0")/lib.sh"

LOG="$E2E_TMP/window.log"

# hostile NAME PROGRAM ARGS...: runs a hostile client in the background; HOSTILE_PID is its
# pid.
hostile() {
  local name=$1
  shift
  wine "$@" </dev/null >"$E2E_TMP/$name.out" 2>"$E2E_TMP/$name.err" &
  HOSTILE_PID=$!
}

# well_behaved NAME VK: a client that taps the key VK (0x42 and so on); checks that the
# press and the release reach the window and that nothing is left down.
well_behaved() {
  local name=$1 vk=$2 start
  start=$(now_ms)
  send "$name" "tap $vk"
  expect_equal "$name: client exit status ($(errors "$name"))" 0 "$RC"
  if wait_for_log "$LOG" "^WM_KEYUP vk=$vk" 1 10; then
    pass "$name: the key reached the window $(($(now_ms) - start)) ms after the client started"
  else
    fail "$name: key $vk never reached the window"
  fi
  wait_log_quiet "$LOG" 5 || true
  local held
  held=$(window_still_down "$LOG")
  expect_equal "$name: nothing held afterwards" "" "${held%|*}"
}

# refused NAME ARGS...: runs the client with the default expected server user (LocalSystem,
# which no process under Wine runs as); it must exit with 1, having sent nothing, naming the
# server it found: a process running as the Wine user.
refused() {
  local name=$1
  shift
  run_program "$name" "$SEND_EXE" --wait 10000 "$@"
  expect_equal "$name: exit status" 1 "$RC"
  expect_equal "$name: nothing reported sent" "" "$(output "$name")"
  # Under Wine the worker's pipe is owned by the Wine user, and a pipe made without a
  # descriptor has no owner at all.
  local expected="^tarnu-input-send: pipe server is not the input helper: process [0-9]+ "
  expected+="((runs as|serves a pipe owned by) $WINE_USER_SID, not|serves a pipe that has no owner, not one owned by) S-1-5-18\$"
  [[ "$(errors "$name")" =~ $expected ]] && pass "$name: $(errors "$name")" ||
    fail "$name: refusal [$(errors "$name")]"
}

start_focused_window "$LOG"

# 0. Before any worker runs, another process creates the pipe's name and reads whatever its
# first client writes. The client sees that it does not run as LocalSystem and leaves
# without writing a byte.
hostile impostor "$SOAK_EXE" impostor "$WORKER_PIPE"
impostor_pid=$HOSTILE_PID
wait_for_log "$E2E_TMP/impostor.out" '^impostor: listening' 1 10 || fail "the impostor never listened"
refused impostor-client "type Pw1"
if wait_until 10 process_gone "$impostor_pid"; then
  expect_equal "what the impostor received" "impostor: listening|impostor: received 0 bytes|" \
    "$(output impostor | tr '\n' '|')"
else
  fail "the client never reached the impostor"
  kill "$impostor_pid" 2>/dev/null || true
fi
wait "$impostor_pid" 2>/dev/null || true

start_own_worker
worker_group=$WORKER_GROUP

# Under Wine the real worker fails the default check too; told to expect the Wine user, the
# same client types through it.
refused worker-by-default "type Pw1"
mark_log
send wine-user "type Pw1"
expect_equal "client expecting the Wine user ($(errors wine-user))" 0 "$RC"
wait_since_mark '^WM_CHAR .*text=1 ' || fail "the typed text never arrived"
expect_equal "typed through the real worker" "Pw1" "$(typed_text "$LOG" "$MARK")"

# 1. Connects, never writes, and leaves after 2 s; the next client waits for it.
mark_log
hostile idle "$SEND_EXE" --wait 10000 --server-user "$WINE_USER_SID" "sleep 2000"
sleep 0.5
well_behaved after-idle 0x42
wait "$HOSTILE_PID" && pass "the idle client held the pipe and left" ||
  fail "idle client: $(cat "$E2E_TMP/idle.err")"

# 2. Presses Shift, writes 2 bytes of a length and stalls for 2 s. Shift is released when
# it leaves, before the next client's key arrives.
mark_log
hostile stall "$SEND_EXE" --wait 10000 --server-user "$WINE_USER_SID" "key 0x10 down" \
  "bytes 1a 00" "sleep 2000"
# Since the mark: the Shift of the capital typed before is in the log already.
wait_since_mark '^WM_KEYDOWN vk=0x10' || fail "the stalling client's Shift never arrived"
well_behaved after-stall 0x43
wait "$HOSTILE_PID" || fail "stalling client: $(cat "$E2E_TMP/stall.err")"
expect_equal "Shift released before the next client's key" "WM_KEYUP vk=0x10|WM_KEYDOWN vk=0x43|" \
  "$(since_mark | grep -oE '^(WM_KEYUP vk=0x10|WM_KEYDOWN vk=0x43)' | tr '\n' '|')"

# 3. Presses Shift, then writes a 65536-byte frame (a press of A, padded: the decoder
# ignores what follows the command) one byte per write: the frame is reassembled and
# injected, and both keys are released at the end.
{
  echo "key 0x10 down"
  printf 'bytes %s\n' 00 00 01 00 83 a4 74 79 70 65 a3 6b 65 79 a8 6b 65 79 5f 63 6f 64 65 41 \
    a4 64 6f 77 6e c3
  for ((i = 26; i < 65536; i++)); do echo "bytes c1"; done
} >"$E2E_TMP/slow.txt"
mark_log
start=$(now_ms)
send_input slow "$E2E_TMP/slow.txt"
expect_equal "slow client ($(errors slow))" 0 "$RC"
echo "the 65540-byte frame, one byte per write, in $(($(now_ms) - start)) ms"
wait_for_log "$LOG" '^WM_KEYUP vk=0x41' 1 10 || fail "the slowly written press of A never arrived"
expect_equal "slow frame: presses and releases" \
  "WM_KEYDOWN vk=0x10|WM_KEYDOWN vk=0x41|WM_KEYUP vk=0x41|WM_KEYUP vk=0x10|" \
  "$(since_mark | grep -oE '^WM_KEY(DOWN|UP) vk=0x(10|41)' | tr '\n' '|')"
well_behaved after-slow 0x44

# 4. Connects, presses Shift and leaves 300 times in a tight loop, while another process
# tries all along to create a pipe of the worker's name: the worker's one instance never lets
# the name go, so the squatter never gets it. (Clients that leave inside a length or a
# payload: worker_frames_test.sh and the soak.)
stop_squat="$E2E_TMP/stop-squat"
hostile squat "$SOAK_EXE" squat "$WORKER_PIPE" "$(windows_path "$stop_squat")"
squat_pid=$HOSTILE_PID
start=$(now_ms)
run_program loop "$DRIVER" --server-user "$WINE_USER_SID" pipe-cycles "$WINE_SESSION" 300
expect_equal "reconnect loop ($(errors loop))" "pipe-cycles: 300" "$(output loop)"
echo "300 connections in $(($(now_ms) - start)) ms"
touch "$stop_squat"
wait "$squat_pid" && pass "the squatter never got the name" ||
  fail "the squatter created the worker's pipe: $(output squat)"
output squat
[[ "$(output squat)" =~ tries=[1-9] ]] || fail "the squatter never tried"
well_behaved after-loop 0x45

stop_clean_worker "$worker_group"
finish
