#!/usr/bin/env bash
# The real executable run by Wine's service control manager: installed with sc create,
# started, its worker killed from outside, stopped, deleted.
source "$(dirname "$0")/lib.sh"
service_remove_on_exit
service_remove  # whatever an interrupted run left in the prefix

HELPER_WIN=$(winepath -w "$HELPER_EXE" 2>/dev/null)
one_worker() { [[ $(helper_pids --worker | wc -l) -eq 1 ]]; }
no_helper_left() { [[ -z "$(helper_pids --worker)$(helper_pids --service)" ]]; }

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
first=$(helper_pids --worker)

# A running worker is left alone: after more than one supervisor pass it is the same process.
sleep 4.5
expect_equal "the same worker after two passes" "$first" "$(helper_pids --worker)"

# Killed from outside (not by the service), it is replaced at the supervisor's next pass:
# at most 2 s plus the launch. Three kills land at different points of the 2 s cycle. The
# bound leaves room for a slow launch on a busy machine; the figures are what to look at.
for round in 1 2 3; do
  old=$(helper_pids --worker)
  kill -KILL "$old"
  killed=$(now_ms)
  replaced() { local now; now=$(helper_pids --worker); [[ -n "$now" && "$now" != "$old" ]]; }
  if wait_until 8 replaced; then
    elapsed=$(($(now_ms) - killed))
    echo "figure: worker replaced ${elapsed} ms after it was killed (round $round)"
    if ((elapsed <= 4000)); then pass "replaced within one pass ($round)"; else fail "replaced after ${elapsed} ms"; fi
  else
    fail "the killed worker was not replaced ($round)"
  fi
  sleep 0.$((RANDOM % 9 + 1))
done
if wait_until 2 one_worker; then pass "exactly one worker"; else fail "workers: $(helper_pids --worker | xargs)"; fi

# Stop: SERVICE_STOPPED, the worker terminated, the service process gone.
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

run_program delete sc delete "$TARNU_SERVICE"
expect_equal "sc delete" 0 "$RC"
expect_equal "service gone" "" "$(service_state)"

finish
