#!/usr/bin/env bash
# The real executable run by Wine's service control manager: installed with sc create,
# started, its worker checked through its pipe and a test window and left alone while it
# runs, the service itself killed from outside (its worker must die with it) and started
# again, stopped while a client holds Shift and the left button and while the worker's
# threads are suspended, then stopped and deleted. Wine has one session (1), so the worker always
# lands in the session the client and the window are in. A worker killed from outside is
# replaced: supervisor_kills_test.sh.
source "$(dirname "$0")/lib.sh"
service_remove_on_exit

WINDOW_LOG="$E2E_TMP/window.log"
LOG=$WINDOW_LOG

# type_through_pipe NAME VK CHAR: taps the key through the session's pipe (the client waits
# up to 8 s for a pipe to open) and waits until the window has received CHAR. True if it did.
type_through_pipe() {
  run_program "$1" "$SEND_EXE" --session 1 --wait 8000 --server-user "$WINE_USER_SID" "tap $2"
  [[ $RC -eq 0 ]] || { echo "client: $(errors "$1")" >&2; return 1; }
  wait_for_log "$WINDOW_LOG" "^WM_CHAR .* text=$3 " 1 5
}

start_test_window "$WINDOW_LOG"
service_create_and_start
if wait_until 10 service_is_running; then pass "service reports RUNNING"; else fail "service state $(service_state)"; fi
if wait_until 10 one_worker; then
  pass "a worker runs ($(($(now_ms) - STARTED_MS)) ms after sc start)"
else
  fail "no worker after sc start"
fi
if type_through_pipe first 0x41 a; then
  pass "the worker's pipe took a key that reached the window ($(($(now_ms) - STARTED_MS)) ms after sc start)"
else
  fail "no key through the worker's pipe"
fi
first=$(workers)

# The worker's token is the service's without the privileges it has no use for: of the 21 a
# Wine process holds, these three stay (LocalSystem holds more on Windows; the removal list
# is checked against every privilege name natively, tests/service/launch_worker_test.cc).
worker_winpid=$(worker_windows_pid | xargs)
run_program privileges "$SOAK_EXE" privileges "$worker_winpid"
expect_equal "the worker's privileges (process $worker_winpid)" \
  "SeChangeNotifyPrivilege SeCreateGlobalPrivilege SeTcbPrivilege" \
  "$(output privileges | sed 's/^privileges: //' | tr ' ' '\n' | sort | xargs)"
run_program privileges-service "$SOAK_EXE" privileges "$(service_windows_pid | xargs)"
echo "figure: the service holds $(($(output privileges-service | wc -w) - 1)) privileges"

# A running worker is left alone: after more than two supervisor passes it is the same one.
sleep 4.5
expect_equal "the same worker after two passes" "$first" "$(workers)"

# The service killed from outside, as a crash would end it: the system closes the handles it
# held, among them the only handle of the job its worker runs in, whose kill-on-close ends
# the worker within a second of taskkill's return (the kill lands while taskkill runs, which
# itself takes 100 to 500 ms under Wine here, so both times are printed). Wine's service
# manager still reports the dead service RUNNING, yet sc start starts a new service process,
# whose new worker serves the pipe.
no_worker() { [[ -z "$(workers)" ]]; }
no_service_process() { [[ -z "$(services)" ]]; }
service_winpid=$(service_windows_pid | xargs)
old=$(workers)
if [[ "$service_winpid" =~ ^[0-9]+$ && -n "$old" ]]; then
  killing=$(now_ms)
  run_program taskkill taskkill /f /pid "$service_winpid"
  killed=$(now_ms)
  expect_equal "taskkill /f of the service (pid $service_winpid)" 0 "$RC"
  ((RC == 0)) || echo "taskkill: $(output taskkill) $(errors taskkill)" >&2
  if wait_until 5 no_worker; then
    ended=$(now_ms)
    echo "figure: the worker ended $((ended - killing)) ms after taskkill started," \
      "$((ended - killed)) ms after it returned"
    if ((ended - killed <= 1000)); then
      pass "the worker died with its service"
    else
      fail "the worker outlived its service by $((ended - killed)) ms"
    fi
  else
    fail "the worker outlived its killed service: $(workers | xargs)"
  fi
  wait_until 5 no_service_process || fail "the killed service still runs"
  echo "figure: service state reported after the kill: $(service_state)"

  restarting=$(now_ms)
  run_program restart sc start "$TARNU_SERVICE"
  echo "figure: sc start after the kill: exit status $RC"
  if wait_until 10 one_worker; then
    pass "a new worker runs ($(($(now_ms) - restarting)) ms after sc start)"
  else
    fail "no worker after the service was started again"
  fi
  now=$(workers)
  [[ -n "$now" && "$now" != "$old" ]] && pass "the worker is a new process" || fail "worker: [$now]"
  if type_through_pipe restarted 0x42 b; then
    pass "the new worker's pipe took a key ($(($(now_ms) - restarting)) ms after sc start)"
  else
    fail "no key through the restarted service's worker"
  fi
  expect_equal "typed text after the restart" "ab" "$(typed_text "$WINDOW_LOG")"
else
  fail "not one service pid [$service_winpid] or no worker [$old] to kill"
  iconv -f UTF-16 -t UTF-8 "$E2E_TMP/wmic-processes.txt" >&2
fi

# A stop while a client holds Shift and the left button: the worker runs its release at once
# (refused under Wine's service manager, see expect_release_run_at_stop; the release reaching
# the window: worker_injection_test.sh) and ends; the next worker's client lets them go.
hold_input
before=$(status_time)
service_stop_timed "with Shift and the left button held"
expect_stop_answered "held input"
expect_release_run_at_stop "held input" "$before"
run_program restart-held sc start "$TARNU_SERVICE"
send let-go "key 0x10 up" "button left up"

# A worker that cannot answer (every thread of it suspended) is ended once the bound is over.
service_stop_timed "with the worker suspended" suspend
((RELEASE_TO_GONE_MS < 0 && PENDING_TO_GONE_MS <= WORKER_STOP_BOUND_MS + 500)) &&
  pass "the suspended worker ended within the bound" || fail "the suspended worker"
run_program restart-last sc start "$TARNU_SERVICE"
wait_until 10 one_worker || fail "no worker after the last start"
service_stop_and_delete
finish
