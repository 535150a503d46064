#!/usr/bin/env bash
# Checks what a shipped Windows program must carry and must not carry:
#   check-executable.sh PROGRAM.exe|.dll ...
# - the loader's mitigations (ASLR with high entropy, DEP) and the terminal-server flag;
# - no debug sections and no symbol table, only a link to PROGRAM.debug beside it;
# - that file with the debug information, and the stack canary and checked-call failure
#   paths linked in (libssp pulls them in only where the compiled code uses them).
# Exits 1 with one line per finding.
set -euo pipefail
objdump=x86_64-w64-mingw32-objdump
nm=x86_64-w64-mingw32-nm
status=0
finding() { echo "check-executable: $1: $2" >&2; status=1; }

for program in "$@"; do
  name=$(basename "$program")
  headers=$("$objdump" -p "$program")
  for flag in HIGH_ENTROPY_VA DYNAMIC_BASE NX_COMPAT TERMINAL_SERVICE_AWARE; do
    grep -qw "$flag" <<<"$headers" || finding "$name" "no $flag"
  done
  # Not a debug section: a program whose symbol table is gone has no section named .debug*.
  sections=$("$objdump" -h "$program")
  grep -qE '^ +[0-9]+ \.debug' <<<"$sections" && finding "$name" "carries debug sections"
  grep -q '\.gnu_debuglink' <<<"$sections" || finding "$name" "no link to its debug file"
  [[ "$("$nm" "$program" 2>&1)" == *"no symbols"* ]] || finding "$name" "carries a symbol table"
  [[ -f "$program.debug" ]] || { finding "$name" "no $name.debug beside it"; continue; }
  "$objdump" -h "$program.debug" | grep -q '\.debug_info' || finding "$name" "$name.debug holds no debug information"
  symbols=$("$nm" "$program.debug")
  grep -qw __stack_chk_fail <<<"$symbols" || finding "$name" "no stack canary checks"
  grep -qw __chk_fail <<<"$symbols" || finding "$name" "no checked string and memory calls"
done
exit $status
