#!/usr/bin/env bash
# The real executable started from a shell: role selection and its error lines.
source "$(dirname "$0")/lib.sh"

# The bytes written to standard error, exactly: one line, LF only.
for args in "" "--Worker" "--worker=1" "-worker" "--service " "--SERVICE"; do
  if [[ -z "$args" ]]; then
    run_program usage "$HELPER_EXE"
  else
    run_program usage "$HELPER_EXE" "$args"
  fi
  expect_equal "exit status for [$args]" 1 "$RC"
  expect_equal "stderr for [$args]" "expected --service or --worker" "$(cat "$E2E_TMP/usage.err")"
  expect_equal "stderr bytes for [$args]" 31 "$(wc -c <"$E2E_TMP/usage.err")"
  expect_equal "stdout for [$args]" "" "$(cat "$E2E_TMP/usage.out")"
done

# Started from a shell rather than by the service control manager, the dispatcher fails.
run_program service "$HELPER_EXE" --service
expect_equal "--service exit status" 1 "$RC"
expect_equal "--service stderr" "start service dispatcher: IO error in winapi call" \
  "$(cat "$E2E_TMP/service.err")"

# Wine's dispatcher takes about 10 s to give up (1063), so the service role is started
# once here; later arguments being ignored is covered natively.

finish
