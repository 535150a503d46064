#!/usr/bin/env bash
# The real worker and the real client under Wine: the session's pipe name, one instance that
# serves client after client, and a second worker of the session refused. What a connection
# leaves open is counted over 1000 of them in worker_injection_test.sh.
source "$(dirname "$0")/lib.sh"

base_dir=$(unix_path 'C:\e2e\pipe')
rm -rf "$base_dir"
status_file="$base_dir/Tarnu/input-helper-status-s$WINE_SESSION.txt"

start_worker worker 'ProgramData=C:\e2e\pipe'
first_worker=$WORKER_GROUP

# The client finds the worker's pipe from its own session and from the session given.
send own "move 10 20"
expect_equal "client in its own session: exit status" 0 "$RC"
expect_equal "client in its own session: output" "sent 39 bytes in 1 write(s) to $WORKER_PIPE" \
  "$(output own)"
wait_for_status_lines "$status_file" Default "" && pass "status after the first client" ||
  fail "status after the first client: $(cat "$status_file" 2>/dev/null)"

# The same instance serves these too, one after another.
for i in 1 2 3; do
  send "again$i" --session "$WINE_SESSION" "move $((i * 10)) 30"
  expect_equal "client $i on the same instance: exit status" 0 "$RC"
done

# No worker serves another session.
run_program other "$SEND_EXE" --session 2 --server-user "$WINE_USER_SID" "move 1 1"
expect_equal "other session: exit status" 1 "$RC"
expect_equal "other session: error" \
  "tarnu-input-send: cannot open \\\\.\\pipe\\tarnu-input-s2 (no worker serves this session): CreateFileW failed with Windows error 2" \
  "$(errors other)"

# A second worker of the session fails at pipe creation while the first one lives (a client
# keeps it connected meanwhile; between clients the instance is there all the same). Windows reports access denied (5) because of
# FILE_FLAG_FIRST_PIPE_INSTANCE; Wine reports ERROR_PIPE_BUSY (231).
wine "$SEND_EXE" --wait 10000 --server-user "$WINE_USER_SID" "sleep 3000" "move 5 5" \
  </dev/null >"$E2E_TMP/hold.out" 2>&1 &
holder=$!
sleep 1
run_program second "$HELPER_EXE" --worker
expect_equal "second worker: exit status" 1 "$RC"
second_error=$(errors second)
if [[ "$second_error" =~ ^CreateNamedPipeW\ failed\ with\ Windows\ error\ (5|231)$ ]]; then
  pass "second worker: [$second_error] (code ${BASH_REMATCH[1]})"
else
  fail "second worker: unexpected error [$second_error]"
fi
wait "$holder" && pass "holding client finished" || fail "holding client: $(cat "$E2E_TMP/hold.out")"

# The first worker is still there and serving.
send after "move 50 50"
expect_equal "first worker still serves" 0 "$RC"

stop_clean_worker "$first_worker"
finish
