#!/usr/bin/env bash
# The Windows Installer package under Wine's msiexec, in the test bed's prefix:
#   package_test.sh PACKAGE.msi VERSION
# install (files, service, worker, status folder, Ctrl+Alt+Del policy) with an INSTALLFOLDER
# that must not move it, a repair after the policy was reset, a major upgrade, a refused
# downgrade, uninstall with nothing left in the registry, SAS_POLICY=leave, values on the
# command line that the custom actions must ignore, a failed install that is rolled back, and
# signed builds (PKCS#12, a PKCS#11 token, the release switch); the install check run from
# Program Files on the sound install and with the service stopped, SAS refused and UAC off.
# Wine applies neither ACLs nor service recovery actions, nor wildcards in RemoveFile: those
# are checked in the package's tables instead.
source "$(dirname "$0")/lib.sh"
: "${TARNU_SOURCE_DIR:?set by CTest}"
PACKAGE=${1:?package}
VERSION=${2:?version}
BUILD_MSI="$TARNU_SOURCE_DIR/deploy/msi/build-msi.sh"
ACTIONS_DLL="$TARNU_BUILD_DIR/src/installer_actions/tarnu-installer-actions.dll"
CHECK_EXE="$TARNU_BUILD_DIR/tools/check/tarnu-input-check.exe"

POLICY='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Policies\System'
MEMORY='HKLM\SOFTWARE\Tarnu\Input helper'
UNINSTALL_KEY='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
SERVICE_EXE_WIN='C:\Program Files\Tarnu\tarnu-input-helper.exe'
INSTALLED=$(unix_path "$SERVICE_EXE_WIN")
STATUS_FOLDER=$(unix_path 'C:\ProgramData\Tarnu')
MOVED_WIN='C:\users\Public\Moved\'
MOVED=$(unix_path "$MOVED_WIN")
LOG="$E2E_TMP/window.log"

IFS=. read -r major minor patch <<<"$VERSION"
NEWER="$major.$minor.$((patch + 1))"
BROKEN="$major.$minor.$((patch + 2))"

# msi NAME ARGS...: msiexec through cmd's start /wait, which gives the whole exit code (Wine
# hands only its low 8 bits to Unix); the code in RC, the time taken in MS.
# Rarely, Wine's cmd ends at once without starting msiexec or printing a code: what it said is
# shown and the command given once more, so that what is tested is the package's outcome.
msi() {
  local name=$1 start
  shift
  start=$(now_ms)
  run_program "$name" cmd /c "start /wait msiexec $* & call echo %^ERRORLEVEL%"
  local wine_status=$RC
  RC=$(output "$name" | tail -n 1)
  if [[ ! $RC =~ ^[0-9]+$ ]]; then
    echo "msiexec not started ($name, wine exit $wine_status): $(errors "$name" | head -n 3 | xargs)"
    run_program "$name" cmd /c "start /wait msiexec $* & call echo %^ERRORLEVEL%"
    RC=$(output "$name" | tail -n 1)
  fi
  MS=$(($(now_ms) - start))
}
sas() { registry_data "$POLICY" SoftwareSASGeneration; }
set_sas() {
  if [[ $1 == absent ]]; then
    wine reg delete "$POLICY" /v SoftwareSASGeneration /f </dev/null >/dev/null 2>&1 || true
  else
    wine reg add "$POLICY" /v SoftwareSASGeneration /t REG_DWORD /d "$1" /f </dev/null >/dev/null 2>&1
  fi
}
remembered() { registry_data "$MEMORY" SoftwareSASGenerationBefore; }
# product_key: "key" while HKLM\SOFTWARE\Tarnu exists.
product_key() { wine reg query 'HKLM\SOFTWARE\Tarnu' </dev/null >/dev/null 2>&1 && echo key || true; }
# registry_traces: lines of the whole registry that name the product or its upgrade code (as
# Windows Installer stores it, with the GUID's groups reversed).
registry_traces() {
  wine regedit /E "$(windows_path "$E2E_TMP/registry.reg")" </dev/null >/dev/null 2>&1
  iconv -f UTF-16LE -t UTF-8 "$E2E_TMP/registry.reg" 2>/dev/null | tr -d '\r' |
    grep -iE 'tarnu|A1C4E2B6D0F3B8E4A975C2160D4F9B3E' || true
}
# products: "name version" of every Programs and Features entry of the package.
products() {
  local key
  wine reg query "$UNINSTALL_KEY" </dev/null 2>/dev/null | tr -d '\r' | grep -F '{' |
    while read -r key; do
      [[ "$(registry_data "$key" DisplayName)" == "Tarnu input helper" ]] &&
        echo "Tarnu input helper $(registry_data "$key" DisplayVersion)"
    done || true
}

# --- The install's self-check, run from Program Files -------------------------------------
CHECK_INSTALLED_WIN='C:\Program Files\Tarnu\tarnu-input-check.exe'
# The checks in their order, and their verdicts on a sound install under Wine: what Wine
# cannot show (recovery actions, LocalSystem, ACLs, signature trust) is skipped, the path
# that Wine's installer leaves unquoted is a warning. The event source is not compared.
HEALTHY_UNDER_WINE="service.registered ok,service.image-path warn,service.account ok,\
service.start ok,service.recovery skipped,service.running ok,worker.process ok,\
worker.session ok,worker.job ok,worker.privileges ok,worker.user skipped,pipe.present ok,\
pipe.server skipped,status.folder ok,status.folder-dacl skipped,status.file ok,sas.policy ok,\
sas.uac ok,signature skipped,version ok,eventlog.source ok"
# run_check NAME [ARGS...]: the installed check; its exit status in RC.
run_check() {
  local name=$1
  shift
  run_program "check-$name" "$CHECK_INSTALLED_WIN" "$@"
}
# verdict NAME ID: the status of check ID in run NAME's table.
verdict() { output "check-$1" | awk -v id="$2" '$1 == id { print $2 }'; }
lua() { registry_data "$POLICY" EnableLUA; }
set_lua() { wine reg add "$POLICY" /v EnableLUA /t REG_DWORD /d "$1" /f </dev/null >/dev/null 2>&1; }

# check_installed: the check's table, JSON and exit status on the sound install, then with
# the service stopped, services refused Ctrl+Alt+Del and User Account Control off (each put
# back afterwards). Wine's own prefix has EnableLUA 0: 1 for the sound runs.
check_installed() {
  local lua_before
  lua_before=$(lua)
  set_lua 1
  run_check healthy --connect
  expect_equal "check: every verdict of a sound install, exit status 2 (warnings)" \
    "$HEALTHY_UNDER_WINE|2" \
    "$(output check-healthy | awk '$1 ~ /^[a-z]/ &&
      $2 ~ /^(ok|warn|fail|skipped)$/ { print $1, $2 }' | paste -sd,)|$RC"
  expect_equal "check: what Wine cannot show names Wine" 5 \
    "$(output check-healthy | grep -E '^[a-z.-]+ +skipped ' | grep -c 'Wine [0-9]')"
  run_check json --json
  expect_equal "check --json: parses, 21 checks, its exit status" "21 2|2" "$(output check-json |
    python3 -c 'import json, sys; d = json.load(sys.stdin); print(len(d["checks"]), d["exit_status"])')|$RC"

  set_sas 0
  run_check sas-off
  local rc_sas_off=$RC
  set_sas 1
  set_lua 0
  run_check uac-off
  set_lua 1
  expect_equal "check: SoftwareSASGeneration 0, EnableLUA 0 fail Ctrl+Alt+Del, exit status 1" \
    "fail 1|fail 1" "$(verdict sas-off sas.policy) $rc_sas_off|$(verdict uac-off sas.uac) $RC"
  wine sc stop "$TARNU_SERVICE" </dev/null >/dev/null 2>&1
  wait_until 10 service_is_stopped || fail "the service did not stop"
  run_check stopped
  expect_equal "check: a stopped service fails, so does its pipe, exit status 1" "fail fail|1" \
    "$(verdict stopped service.running) $(verdict stopped pipe.present)|$RC"
  wine sc start "$TARNU_SERVICE" </dev/null >/dev/null 2>&1
  wait_until 10 service_is_running && wait_until 10 one_worker ||
    fail "the service did not start again: [$(service_state)], workers [$(workers | xargs)]"
  if [[ -n "$lua_before" ]]; then
    set_lua $((lua_before))
  else
    wine reg delete "$POLICY" /v EnableLUA /f </dev/null >/dev/null 2>&1
  fi
}

# The packages: this build's, a newer one and one whose service cannot start (the pipe client
# in the executable's place ends at once), all around this build's executable.
build_package() {
  bash "$BUILD_MSI" --exe "$2" --check "$CHECK_EXE" --actions "$ACTIONS_DLL" --version "$1" \
    --out "$E2E_TMP/$1.msi" >/dev/null
  windows_path "$E2E_TMP/$1.msi"
}
CURRENT_MSI=$(windows_path "$PACKAGE")
NEWER_MSI=$(build_package "$NEWER" "$HELPER_EXE")
BROKEN_MSI=$(build_package "$BROKEN" "$SEND_EXE")

# Whatever happens, the prefix is left without the product, its service and the policy value.
clean_prefix() {
  local package
  for package in "$BROKEN_MSI" "$NEWER_MSI" "$CURRENT_MSI"; do
    wine msiexec /x "$package" /qn </dev/null >/dev/null 2>&1 || true
  done
  service_remove
  set_sas absent
  wine reg delete 'HKLM\SOFTWARE\Tarnu' /f </dev/null >/dev/null 2>&1 || true
  rm -rf "$(dirname "$INSTALLED")" "$STATUS_FOLDER" "$MOVED"
}
trap 'clean_prefix; e2e_cleanup' EXIT
clean_prefix

# --- What Wine cannot apply, read from the package's tables -------------------------------
table() { msiinfo export "$PACKAGE" "$1" | tr -d '\r' | tail -n +4; }
expect_equal "status folder DACL (MsiLockPermissionsEx)" \
  "StatusFolder	STATUSFOLDER	CreateFolder	O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)	" \
  "$(table MsiLockPermissionsEx)"
# Wine's msiexec hands the wildcard to DeleteFileW as it is, so this one is read, too.
expect_equal "status files removed with the product" \
  "StatusFiles	StatusFolder	INPUT*.TXT|input-helper-status-s*.txt	STATUSFOLDER	2" \
  "$(table RemoveFile)"
# Every action but those setting properties (51) runs the package's DLL in-process, none a
# program: deferred (1024) or rollback (+256), no impersonation (2048), return ignored (64)
# or checked.
expect_equal "custom actions: type, DLL, entry" "$(cat <<'TABLE'
ConfigureServiceFailureActions 3073 InstallerActions SetServiceRecovery
ForgetSas 3137 InstallerActions ForgetSasValue
ForgetSasRollback 3393 InstallerActions RememberSasValue
RaiseSas 3073 InstallerActions SetSasPolicy
RaiseSasRollbackAbsent 3393 InstallerActions DeleteSasPolicy
RaiseSasRollbackValue 3393 InstallerActions SetSasPolicy
RememberSas 3073 InstallerActions RememberSasValue
RememberSasRollback 3393 InstallerActions ForgetSasValue
RestoreSasAbsent 3137 InstallerActions DeleteSasPolicy
RestoreSasRollback 3393 InstallerActions SetSasPolicy
RestoreSasValue 3137 InstallerActions SetSasPolicy
TABLE
)" "$(table CustomAction | awk -F'\t' '$2 % 64 != 51 { print $1, $2, $3, $4 }' | sort)"
expect_equal "recovery actions set between InstallServices and StartServices" \
  "InstallServices ConfigureServiceFailureActions StartServices" \
  "$(table InstallExecuteSequence | sort -t$'\t' -k3n | awk -F'\t' '{ print $1 }' |
    grep -A2 '^InstallServices$' | xargs)"
# Every deferred or rollback action runs without impersonation (2048).
expect_equal "in-script actions without impersonation" "" \
  "$(table CustomAction | awk -F'\t' 'int($2 / 1024) % 2 == 1 && int($2 / 2048) % 2 == 0 { print $1 }')"
expect_equal "the executable's version resource is the package's version" "$VERSION" \
  "$(strings -el "$HELPER_EXE" | grep -A1 -x ProductVersion | tail -n 1)"
# Versioned (so file versioning rules apply, and no hash), a vital service (0x8000 + normal),
# the icon and no "Change" in Programs and Features, a log of every run.
expect_equal "files, versions and language, hashes, service error control" \
  "tarnu-input-check.exe $VERSION.0 1033,tarnu-input-helper.exe $VERSION.0 1033|0|32769" \
  "$(table File | cut -f3,5,6 | tr '\t' ' ' | sort | paste -sd,)|$(table MsiFileHash | wc -l)|$(
    table ServiceInstall | cut -f6)"
expect_equal "product icon, no modify, logging, secure SAS_POLICY" \
  "ARPNOMODIFY 1|ARPPRODUCTICON TarnuIcon.exe|MsiLogging voicewarmupx|SAS_POLICY" \
  "$(table Property | grep -E '^(ARP|MsiLogging)' | sort | tr '\t' ' ' | paste -sd'|')|$(
    table Property | grep -o 'SAS_POLICY$')"

# --- Install, upgrade, downgrade, uninstall, with the policy value absent and then 2 ------
for before in absent 2; do
  set_sas "$before"
  case $before in absent) raised=0x1 found="" ;; 2) raised=0x3 found=0x2 ;; esac

  # The executable runs as LocalSystem: a folder given on the command line does not move it.
  msi "install-$before" /i "$CURRENT_MSI" /qn "INSTALLFOLDER=$MOVED_WIN"
  expect_equal "[$before] install exit code" 0 "$RC"
  echo "install: $MS ms"
  if cmp -s "$INSTALLED" "$HELPER_EXE" && [[ ! -e "$MOVED" ]]; then
    pass "executable under Program Files, INSTALLFOLDER ignored"
  else
    fail "no $INSTALLED, or something in $MOVED: $(ls -R "$MOVED" 2>&1 | xargs)"
  fi
  expect_service_registration "$SERVICE_EXE_WIN" unquoted-too
  if wait_until 10 service_is_running && wait_until 10 one_worker; then
    pass "[$before] service and one worker run"
  else
    fail "[$before] service state [$(service_state)], workers [$(workers | xargs)]"
  fi
  [[ -d "$STATUS_FOLDER" ]] && pass "status folder" || fail "no $STATUS_FOLDER"
  expect_equal "[$before] policy raised, the value found remembered" \
    "$raised $before" "$(sas) $(remembered)"
  expect_equal "[$before] one product entry" "Tarnu input helper $VERSION" "$(products)"
  [[ $before == absent ]] && check_installed

  if [[ $before == absent ]]; then
    # The worker that the service started serves a client (msiexec took the focus: the
    # window comes after it).
    start_test_window "$LOG" 100 100 640 480
    send typing "type Ok"
    wait_for_log "$LOG" '^WM_KEYUP vk=0x4b' || fail "the keys never arrived"
    expect_equal "typed through the installed service's worker" Ok "$(typed_text "$LOG" | tr -d '\r')"
    # The upgrade stops the service while a client holds Shift and the left button.
    hold_input
    before_upgrade=$(status_time)
  fi

  # A major upgrade: one entry, a new worker from the same place, the first memory kept.
  old_worker=$(workers)
  msi "upgrade-$before" /i "$NEWER_MSI" /qn
  expect_equal "[$before] upgrade exit code" 0 "$RC"
  echo "upgrade: $MS ms"
  expect_equal "[$before] one product entry after the upgrade" "Tarnu input helper $NEWER" "$(products)"
  if wait_until 10 one_worker && [[ "$(workers)" != "$old_worker" ]]; then
    pass "[$before] a new worker after the upgrade"
  else
    fail "[$before] workers before [$old_worker], after [$(workers | xargs)]"
  fi
  expect_equal "[$before] after the upgrade: policy, memory" "$raised $before" "$(sas) $(remembered)"
  if [[ $before == absent ]]; then
    expect_release_run_at_stop "upgrade" "$before_upgrade"
    send let-go "key 0x10 up" "button left up"
    stop_test_window

    # A repair, which a standard user may start: the recovery action runs again, in-process;
    # no console program is named; the policy, reset since, is raised again and the value
    # remembered at the first install stays.
    set_sas 0
    msi repair /i "$NEWER_MSI" REINSTALL=ALL REINSTALLMODE=amus /qn /l*v "$(windows_path "$E2E_TMP/repair.log")"
    expect_equal "repair exit code" 0 "$RC"
    expect_equal "repair: recovery action run, no console program named" "run|" \
      "$(grep -aq 'ConfigureServiceFailureActions. Return value 1' "$E2E_TMP/repair.log" && echo run)|$(
        grep -aioE '\b(sc|reg|cmd)\.exe' "$E2E_TMP/repair.log" | sort -u | xargs)"
    wait_until 10 one_worker && service_is_running && pass "service and one worker after the repair" ||
      fail "after the repair: service state [$(service_state)], workers [$(workers | xargs)]"
    expect_equal "after the repair: policy raised again, memory" "$raised $before" "$(sas) $(remembered)"
  fi

  # The older package is refused and changes nothing.
  msi "downgrade-$before" /i "$CURRENT_MSI" /qn
  expect_equal "[$before] downgrade refused" 1603 "$RC"
  expect_equal "[$before] still the newer version" "Tarnu input helper $NEWER" "$(products)"

  msi "uninstall-$before" /x "$NEWER_MSI" /qn
  expect_equal "[$before] uninstall exit code" 0 "$RC"
  echo "uninstall: $MS ms"
  expect_equal "[$before] no service, no product entry" "|" "$(service_state)|$(products)"
  expect_no_helper_left "[$before] nothing runs"
  expect_equal "[$before] files left" "" "$(ls -d "$(dirname "$INSTALLED")" "$STATUS_FOLDER" 2>/dev/null)"
  expect_equal "[$before] policy value back, memory and product key gone" "$found||" \
    "$(sas)|$(remembered)|$(product_key)"
done
expect_equal "nothing of the product left in the registry" "" "$(registry_traces)"

# --- SAS_POLICY=leave: the value stays as it is through install, repair and uninstall -------
set_sas 2
msi leave /i "$CURRENT_MSI" /qn SAS_POLICY=leave
expect_equal "SAS_POLICY=leave: exit code, policy, memory" "0|0x2|leave" "$RC|$(sas)|$(remembered)"
msi leave-repair /i "$CURRENT_MSI" REINSTALL=ALL REINSTALLMODE=amus /qn
expect_equal "a repair keeps leaving it" "0|0x2|leave" "$RC|$(sas)|$(remembered)"
msi leave-uninstall /x "$CURRENT_MSI" /qn
expect_equal "uninstalled: policy still 2, no product key" "0|0x2|" "$RC|$(sas)|$(product_key)"
msi bad-policy /i "$CURRENT_MSI" /qn SAS_POLICY=off
expect_equal "an unknown SAS_POLICY is refused" "1603|" "$RC|$(products)"

# --- Values on the command line that no action takes: the policy value 7 (unknown) stays, -
# nothing is remembered, and each action that received one says so in the log.
set_sas 7
msi ignored /i "$CURRENT_MSI" /qn SAS_BEFORE=13 SAS_RAISE=0x1 /l*v "$(windows_path "$E2E_TMP/ignored.log")"
expect_equal "install with values no action takes" 0 "$RC"
expect_equal "those values ignored: policy, memory, log lines" "0x7||2" \
  "$(sas)|$(remembered)|$(grep -ac 'ignored CustomActionData' "$E2E_TMP/ignored.log")"
msi ignored-uninstall /x "$CURRENT_MSI" /qn
expect_equal "uninstalled: policy still 7, no product key" "0|0x7|" "$RC|$(sas)|$(product_key)"

# --- A failed install is rolled back: nothing stays, the policy value is as it was --------
set_sas 0
msi broken /i "$BROKEN_MSI" /qn
if [[ "$RC" != 0 ]]; then pass "an install whose service cannot start fails ($RC)"; else fail "it succeeded"; fi
expect_equal "rolled back: service, entry, policy, memory, product key" "||0x0||" \
  "$(service_state)|$(products)|$(sas)|$(remembered)|$(product_key)"
expect_equal "rolled back: files left" "" "$(ls -d "$(dirname "$INSTALLED")" "$STATUS_FOLDER" 2>/dev/null)"

# --- Signed with a throw-away certificate: both signatures verify --------------------------
openssl req -x509 -newkey rsa:3072 -sha256 -days 2 -nodes -subj "/CN=Tarnu test signing" \
  -addext "extendedKeyUsage=codeSigning" -keyout "$E2E_TMP/key.pem" -out "$E2E_TMP/cert.pem" 2>/dev/null
openssl pkcs12 -export -inkey "$E2E_TMP/key.pem" -in "$E2E_TMP/cert.pem" \
  -passout pass:test-password -out "$E2E_TMP/sign.pfx"
TARNU_SIGN_PFX="$E2E_TMP/sign.pfx" TARNU_SIGN_PASSWORD=test-password \
  bash "$BUILD_MSI" --exe "$HELPER_EXE" --check "$CHECK_EXE" --actions "$ACTIONS_DLL" --version "$VERSION" \
  --out "$E2E_TMP/signed.msi" \
  >"$E2E_TMP/signed.out" 2>&1 || fail "signed build: $(cat "$E2E_TMP/signed.out")"
verify() { osslsigncode verify -CAfile "$E2E_TMP/cert.pem" -in "$1" >/dev/null 2>&1 && echo ok; }
# expect_signed NAME PACKAGE: the package, its executables and its DLL verify.
expect_signed() {
  rm -rf "$E2E_TMP/extracted"
  msiextract -C "$E2E_TMP/extracted" "$2" >/dev/null
  msiinfo extract "$2" Binary.InstallerActions >"$E2E_TMP/actions.dll"
  expect_equal "$1: package, executables, installer actions verify" "ok ok ok ok" "$(verify "$2") $(
    verify "$(find "$E2E_TMP/extracted" -name tarnu-input-helper.exe)") $(
    verify "$(find "$E2E_TMP/extracted" -name tarnu-input-check.exe)") $(verify "$E2E_TMP/actions.dll")"
}
expect_signed PKCS#12 "$E2E_TMP/signed.msi"

# The same key on a software token (SoftHSM), the PIN in a file.
export SOFTHSM2_CONF="$E2E_TMP/softhsm2.conf"
mkdir -p "$E2E_TMP/tokens"
echo "directories.tokendir = $E2E_TMP/tokens" >"$SOFTHSM2_CONF"
printf 1234 >"$E2E_TMP/pin"
openssl pkcs8 -topk8 -nocrypt -in "$E2E_TMP/key.pem" -out "$E2E_TMP/key8.pem"
softhsm2-util --init-token --free --label sign --pin 1234 --so-pin 5678 >/dev/null &&
  softhsm2-util --import "$E2E_TMP/key8.pem" --token sign --label signkey --id 01 --pin 1234 >/dev/null ||
  fail "software token not made"
token_build() {
  TARNU_SIGN_PKCS11_MODULE=/usr/lib/softhsm/libsofthsm2.so TARNU_SIGN_CERT="$E2E_TMP/cert.pem" \
    TARNU_SIGN_PKCS11_KEY='pkcs11:token=sign;object=signkey;type=private' \
    TARNU_SIGN_PIN_FILE="$E2E_TMP/pin" bash "$BUILD_MSI" --exe "$HELPER_EXE" --check "$CHECK_EXE" \
    --actions "$ACTIONS_DLL" --version "$VERSION" --out "$E2E_TMP/token.msi" >"$E2E_TMP/token.out" 2>&1
}
token_build || fail "PKCS#11 build: $(cat "$E2E_TMP/token.out")"
expect_signed PKCS#11 "$E2E_TMP/token.msi"

# A release build refuses to come out without a time stamp or without a key.
if TARNU_RELEASE=1 token_build; then
  fail "a release build without a time stamp succeeded"
else
  expect_equal "release build without a time stamp" \
    "build-msi: TARNU_RELEASE=1: no TARNU_SIGN_TIMESTAMP_URL" "$(cat "$E2E_TMP/token.out")"
fi
if TARNU_RELEASE=1 TARNU_SIGN_TIMESTAMP_URL=http://127.0.0.1:9/ token_build; then
  fail "a release build with an unreachable time-stamp server succeeded"
else
  pass "release build with an unreachable time-stamp server fails"
fi

finish
