#!/usr/bin/env bash
# The status file of the real worker under Wine: where it goes for a set, unset and empty
# ProgramData, the folder chain, whole replacement of the content, and a worker that keeps
# serving when the file cannot be written or is a hard link to someone else's file.
source "$(dirname "$0")/lib.sh"

file_name="input-helper-status-s$WINE_SESSION.txt"
unknown_mouse='81 a4 74 79 70 65 a5 6d 6f 75 73 65'

# check_written WHAT FILE: one client, then FILE holds the time, Default and an empty line,
# exactly, although the decode failure written before it was longer.
check_written() {
  local what=$1 file=$2
  send "$what" "raw $unknown_mouse" "move 20 20"
  expect_equal "$what: client" 0 "$RC"
  if ! wait_for_status_lines "$file" Default ""; then
    fail "$what: no status at $file: $(ls -R "$(dirname "$(dirname "$file")")" 2>&1 | head -5)"
    return
  fi
  sleep 0.3
  local time now
  time=$(head -n 1 "$file")
  now=$(date +%s%3N)
  expect_equal "$what: three lines and nothing else" "$((${#time} + 10))" "$(wc -c <"$file")"
  if [[ "$time" =~ ^[1-9][0-9]*$ ]] && ((time > now - 60000 && time <= now + 1000)); then
    pass "$what: time $time is Unix milliseconds"
  else
    fail "$what: time line [$time], now $now"
  fi
}

# Where the file goes: ProgramData set (with folders of the chain missing, and ending in a
# backslash, which gets no second one); not set (the temporary-files directory: Wine has no
# GetTempPath2W, GetTempPathW is used); empty (a path relative to the worker's current
# directory, the one this script runs in meanwhile).
base_dir=$(unix_path 'C:\e2e\status')
rm -rf "$base_dir"
temp_dir=$(unix_path "$(wine cmd /c echo %TEMP% </dev/null 2>/dev/null | tr -d '\r')")
rm -rf "$temp_dir/Tarnu"
mkdir -p "$E2E_TMP/cwd"
cd "$E2E_TMP/cwd"
while IFS='|' read -r what change file; do
  start_worker status "$change"
  check_written "$what" "$file/Tarnu/$file_name"
  stop_group "$WORKER_GROUP"
done <<TABLE
ProgramData set|ProgramData=C:\e2e\status\set\deep|$base_dir/set/deep
ProgramData ending in a backslash|ProgramData=C:\e2e\status\bs\|$base_dir/bs
ProgramData not set|-ProgramData|$temp_dir
ProgramData empty|ProgramData=|$E2E_TMP/cwd
TABLE
cd - >/dev/null
rm -rf "$temp_dir/Tarnu"

# A directory where the file should be: nothing is written, and the worker goes on serving.
mkdir -p "$base_dir/blocked/Tarnu/$file_name"
start_worker blocked 'ProgramData=C:\e2e\status\blocked'
for i in 1 2 3; do
  send "blocked$i" "move $i $i" "raw $unknown_mouse"
  expect_equal "blocked status file: client $i" 0 "$RC"
done
kill -0 "$WORKER_GROUP" 2>/dev/null && pass "blocked status file: worker still runs" ||
  fail "blocked status file: worker ended: $(cat "$E2E_TMP/blocked.err")"
[[ -d "$base_dir/blocked/Tarnu/$file_name" ]] && pass "blocked status file: still a directory" ||
  fail "blocked status file: directory replaced"
stop_group "$WORKER_GROUP"

# A file of someone else's hard-linked in place of the status file (under Wine a hard link
# stands in for the junction and object link of a Windows attack): it keeps its bytes, and
# the worker goes on serving; once the link is gone the status file is written again.
victim="$E2E_TMP/victim.cmd"
printf '@echo off\r\necho victim\r\n' >"$victim"
cp "$victim" "$E2E_TMP/victim.orig"
mkdir -p "$base_dir/linked/Tarnu"
ln "$victim" "$base_dir/linked/Tarnu/$file_name"
start_worker linked 'ProgramData=C:\e2e\status\linked'
for i in 1 2; do
  send "linked$i" "raw $unknown_mouse" "move $i $i"
  expect_equal "hard-linked status file: client $i" 0 "$RC"
done
sleep 0.3
cmp -s "$victim" "$E2E_TMP/victim.orig" && pass "hard-linked status file: the victim kept its bytes" ||
  fail "hard-linked status file: the victim now holds [$(cat "$victim")]"
rm "$base_dir/linked/Tarnu/$file_name"
check_written "after the link is gone" "$base_dir/linked/Tarnu/$file_name"
kill -0 "$WORKER_GROUP" 2>/dev/null && pass "hard-linked status file: worker still runs" ||
  fail "hard-linked status file: worker ended: $(cat "$E2E_TMP/linked.err")"
stop_group "$WORKER_GROUP"

finish
