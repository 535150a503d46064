# Shared helpers for the end-to-end scripts run by CTest in the Windows tree.
# They expect TARNU_BUILD_DIR (the Windows build tree) and a running test bed.
set -euo pipefail

: "${TARNU_BUILD_DIR:?set by CTest}"
# shellcheck disable=SC1091
source "$TARNU_BUILD_DIR/testbed/env"

HELPER_EXE="$TARNU_BUILD_DIR/src/main/tarnu-input-helper.exe"
E2E_TMP=$(mktemp -d "$TARNU_BUILD_DIR/e2e.XXXXXX")
trap 'rm -rf "$E2E_TMP"' EXIT

FAILURES=0

fail() {
  echo "FAIL: $*" >&2
  FAILURES=$((FAILURES + 1))
}

pass() { echo "ok: $*"; }

# run_program NAME PROGRAM [ARGS...]: runs a Windows program with no input, keeps its
# exit status in RC and its output in $E2E_TMP/NAME.out and .err.
run_program() {
  local name=$1
  shift
  set +e
  wine "$@" </dev/null >"$E2E_TMP/$name.out" 2>"$E2E_TMP/$name.err"
  RC=$?
  set -e
}

# expect_equal WHAT EXPECTED ACTUAL
expect_equal() {
  if [[ "$2" == "$3" ]]; then
    pass "$1"
  else
    fail "$1: expected [$2], got [$3]"
  fi
}

finish() {
  if ((FAILURES)); then
    echo "$FAILURES check(s) failed" >&2
    exit 1
  fi
  echo "all checks passed"
}
