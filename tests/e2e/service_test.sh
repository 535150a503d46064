#!/usr/bin/env bash
# The real executable run by Wine's service control manager: installed with sc create,
# started, its worker checked through its pipe and a test window, the worker killed from
# outside, the service itself killed from outside (its worker must die with it) and started
# again, the service stopped and deleted. Wine has one session (1), so the worker always
# lands in the session the client and the window are in.
source "$(dirname "$0")/lib.sh"
service_remove_on_exit
service_remove  # whatever an interrupted run left in the prefix

HELPER_WIN=$(winepath -w "$HELPER_EXE" 2>/dev/null)
WINDOW_LOG="$E2E_TMP/window.log"
one_worker() { [[ $(helper_pids --worker | wc -l) -eq 1 ]]; }
no_helper_left() { [[ -z "$(helper_pids --worker)$(helper_pids --service)" ]]; }

# type_through_pipe NAME VK CHAR: taps the key through the session's pipe (the client waits
# up to 8 s for a pipe to open) and waits until the window has received CHAR. True if it did.
type_through_pipe() {
  run_program "$1" "$SEND_EXE" --session 1 --wait 8000 "tap $2"
  [[ $RC -eq 0 ]] || { echo "client: $(tr -d '\r' <"$E2E_TMP/$1.err")" >&2; return 1; }
  wait_for_log "$WINDOW_LOG" "^WM_CHAR .* text=$3 " 1 5
}

start_test_window "$WINDOW_LOG"

run_program create sc create "$TARNU_SERVICE" binpath= "\"$HELPER_WIN\" --service"
expect_equal "sc create" 0 "$RC"

started=$(now_ms)
run_program start sc start "$TARNU_SERVICE"
expect_equal "sc start" 0 "$RC"
if wait_until 10 service_is_running; then pass "service reports RUNNING"; else fail "service state $(service_state)"; fi
if wait_until 10 one_worker; then
  pass "a worker runs ($(($(now_ms) - started)) ms after sc start)"
else
  fail "no worker after sc start"
fi
if type_through_pipe first 0x41 a; then
  pass "the worker's pipe took a key that reached the window ($(($(now_ms) - started)) ms after sc start)"
else
  fail "no key through the worker's pipe"
fi
first=$(helper_pids --worker)

# A running worker is left alone: after more than two supervisor passes it is the same one.
sleep 4.5
expect_equal "the same worker after two passes" "$first" "$(helper_pids --worker)"

# Killed from outside (not by the service), it is replaced at the supervisor's next pass: at
# most 2 s plus the launch. Three kills, after pauses of different lengths, land at different
# points of the 2 s cycle; each time a key typed through the pipe must reach the window. The
# bound leaves room for a slow launch on a busy machine; the printed figures are what to
# look at.
keys=(0x42 0x43 0x44)
chars=(b c d)
for round in 0 1 2; do
  old=$(helper_pids --worker)
  if [[ -z "$old" ]]; then
    fail "no worker to kill ($round)"
    break
  fi
  kill -KILL "$old"
  killed=$(now_ms)
  if type_through_pipe "round$round" "${keys[$round]}" "${chars[$round]}"; then
    elapsed=$(($(now_ms) - killed))
    echo "figure: a new worker served the pipe ${elapsed} ms after the old one was killed"
    if ((elapsed <= 4000)); then pass "replaced within one pass ($round)"; else fail "replaced after ${elapsed} ms"; fi
  else
    fail "no worker served the pipe after the kill ($round)"
  fi
  now=$(helper_pids --worker)
  [[ -n "$now" && "$now" != "$old" ]] && pass "a new worker process ($round)" || fail "worker after kill: [$now]"
  sleep "0.$((round * 3 + 2))"
done
if wait_until 2 one_worker; then pass "exactly one worker"; else fail "workers: $(helper_pids --worker | xargs)"; fi
expect_equal "typed text" "abcd" "$(typed_text "$WINDOW_LOG")"

# The service killed from outside, as a crash would end it: the system closes the handles it
# held, among them the only handle of the job its worker runs in, whose kill-on-close ends
# the worker within a second of taskkill's return (the kill lands while taskkill runs, which
# itself takes 100 to 500 ms under Wine here, so both times are printed). Wine's service
# manager still reports the dead service RUNNING, yet sc start starts a new service process,
# whose new worker serves the pipe.
no_worker() { [[ -z "$(helper_pids --worker)" ]]; }
no_service_process() { [[ -z "$(helper_pids --service)" ]]; }
service_winpid=$(service_windows_pid | xargs)
old=$(helper_pids --worker)
if [[ "$service_winpid" =~ ^[0-9]+$ && -n "$old" ]]; then
  killing=$(now_ms)
  run_program taskkill taskkill /f /pid "$service_winpid"
  killed=$(now_ms)
  expect_equal "taskkill /f of the service (pid $service_winpid)" 0 "$RC"
  ((RC == 0)) || echo "taskkill: $(cat "$E2E_TMP/taskkill.out" "$E2E_TMP/taskkill.err" | tr -d '\r')" >&2
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
    fail "the worker outlived its killed service: $(helper_pids --worker | xargs)"
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
  now=$(helper_pids --worker)
  [[ -n "$now" && "$now" != "$old" ]] && pass "the worker is a new process" || fail "worker: [$now]"
  if type_through_pipe restarted 0x45 e; then
    pass "the new worker's pipe took a key ($(($(now_ms) - restarting)) ms after sc start)"
  else
    fail "no key through the restarted service's worker"
  fi
  expect_equal "typed text after the restart" "abcde" "$(typed_text "$WINDOW_LOG")"
else
  fail "not one service pid [$service_winpid] or no worker [$old] to kill"
  iconv -f UTF-16 -t UTF-8 "$E2E_TMP/wmic-processes.txt" >&2
fi

# Stop: SERVICE_STOPPED, the worker terminated, the service process gone, the pipe gone.
stopping=$(now_ms)
run_program stop sc stop "$TARNU_SERVICE"
expect_equal "sc stop" 0 "$RC"
if wait_until 10 service_is_stopped; then
  pass "service reports STOPPED ($(($(now_ms) - stopping)) ms after sc stop)"
else
  fail "service state after stop: $(service_state)"
fi
if wait_until 5 no_helper_left; then
  pass "no worker and no service process remain"
else
  fail "left running: $(helper_pids --worker | xargs) $(helper_pids --service | xargs)"
fi
run_program gone "$SEND_EXE" --session 1 "tap 0x45"
expect_equal "no pipe after stop" 1 "$RC"

run_program delete sc delete "$TARNU_SERVICE"
expect_equal "sc delete" 0 "$RC"
expect_equal "service gone" "" "$(service_state)"

finish
