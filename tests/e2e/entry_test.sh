#!/usr/bin/env bash
# The real executable started from a shell: role selection and its error lines, and where
# its libraries come from.
source "$(dirname "$0")/lib.sh"

# The bytes written to standard error, exactly: one line, LF only.
for args in "" "--Worker" "--worker=1" "-worker" "--service " "--SERVICE"; do
  run_program usage "$HELPER_EXE" ${args:+"$args"}
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

# --- Libraries only from System32 ------------------------------------------------------------

# Every DLL in the import table is a KnownDLL (Windows 10 and 11), which the loader maps from
# System32 whatever folder the executable is in; any other would be looked for beside the
# executable first. ntdll is mapped into every process before the executable's imports.
KNOWN_DLLS=" advapi32 clbcatq combase comdlg32 coml2 difxapi gdi32 gdiplus imagehlp imm32
  kernel32 msctf msvcrt normaliz nsi ntdll ole32 oleaut32 psapi rpcrt4 sechost setupapi shcore
  shell32 shlwapi user32 wldap32 ws2_32 "
imports=$(x86_64-w64-mingw32-objdump -p "$HELPER_EXE" | tr -d '\r' |
  sed -n 's/^[[:space:]]*DLL Name: //p' | tr '[:upper:]' '[:lower:]' | sort -u | xargs)
echo "figure: imported DLLs: $imports"
[[ " $imports " == *" kernel32.dll "* ]] && pass "the import table was read" ||
  fail "no kernel32.dll among the imports [$imports]"
for dll in $imports; do
  [[ "$KNOWN_DLLS" == *" ${dll%.dll}"[[:space:]]* ]] || fail "imports $dll, which is no KnownDLL"
done

# A DLL planted as sas.dll and as wtsapi32.dll beside a copy of the executable is never
# loaded, neither at start nor when the worker creates its pipe (the pipe's descriptor needs
# WTSQueryUserToken) nor for the secure attention sequence. Wine's own SendSAS is a stub that
# ends the calling process with 0x80000100: a worker that ends that way used the System32 one.
PLANTED_DLL="$TARNU_BUILD_DIR/tests/e2e/planted.dll"
planted_dir="$E2E_TMP/planted"
mkdir -p "$planted_dir/control"
cp "$HELPER_EXE" "$planted_dir/"
cp "$PLANTED_DLL" "$planted_dir/sas.dll"
cp "$PLANTED_DLL" "$planted_dir/wtsapi32.dll"
cp "$PLANTED_DLL" "$planted_dir/control/sas.dll"
# The marker works: loaded by its full path, the DLL leaves one.
run_program control rundll32 "$(windows_path "$planted_dir/control/sas.dll"),SendSAS"
[[ -f "$planted_dir/control/sas.dll.loaded" ]] && pass "a loaded planted DLL leaves its marker" ||
  fail "no marker from a planted DLL loaded by path"

WORKER_EXE="$planted_dir/tarnu-input-helper.exe" start_worker planted --print-exit-code \
  'ProgramData=C:\e2e\planted'
send planted_key "tap 0x10"
expect_equal "the copy's worker serves its pipe" 0 "$RC"
send planted_sas "sas"
expect_equal "sas sent to the copy's worker" 0 "$RC"
# The launcher reports the exit code once the worker has ended.
if wait_for_log "$E2E_TMP/planted.out" '^exit code' 1 10; then
  expect_equal "the copy's worker ended in the system's SendSAS" "exit code 0x80000100" \
    "$(output planted)"
else
  fail "the copy's worker still runs after sas"
  stop_group "$WORKER_GROUP"
fi
markers=$(find "$planted_dir" -maxdepth 1 -name '*.loaded' -printf '%f ')
expect_equal "planted DLLs loaded by the copy" "" "$markers"
# Wine names the stub it ran: the one of its own sas.dll.
grep -q 'unimplemented function sas.dll.SendSAS' "$E2E_TMP/planted.err" &&
  pass "Wine's own sas.dll was called" || fail "worker's stderr: $(cat "$E2E_TMP/planted.err")"

finish
