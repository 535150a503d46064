#!/usr/bin/env bash
# Builds the Windows Installer package of the input helper:
#   build-msi.sh --exe tarnu-input-helper.exe --check tarnu-input-check.exe \
#                --actions tarnu-installer-actions.dll --version X.Y.Z --out tarnu-input-helper-X.Y.Z.msi
#
# 1. stages copies of the executable, of the install check and of the custom actions' DLL
#    (all signed when a certificate is supplied, see below);
# 2. wixl compiles tarnu-input-helper.wxs (x64) around them;
# 3. msibuild adds what wixl cannot write (see the .wxs's header);
# 4. the package code and the summary's time stamps are made to depend on the input only,
#    so that the same executable and sources give the same unsigned package;
# 5. the package is signed when a certificate is supplied.
#
# Signing (SHA-256 Authenticode), with a key from one of:
# - a PKCS#12 file: TARNU_SIGN_PFX (certificate with the code-signing usage and its key),
#   TARNU_SIGN_PASSWORD its password;
# - a PKCS#11 token (hardware token, HSM): TARNU_SIGN_PKCS11_MODULE the token's PKCS#11
#   library, TARNU_SIGN_PKCS11_KEY the key's pkcs11: URI (without a PIN in it),
#   TARNU_SIGN_CERT the certificate chain (PEM or DER file), the PIN in TARNU_SIGN_PIN_FILE
#   (a file) or TARNU_SIGN_PIN; TARNU_SIGN_PKCS11_ENGINE optionally names the OpenSSL engine.
# Passwords and PINs reach osslsigncode in a private file, never on a command line.
# TARNU_SIGN_TIMESTAMP_URL adds an RFC 3161 time stamp. TARNU_RELEASE=1 makes a release
# build: it fails unless the executables, the DLL and the package come out signed and
# time-stamped. Time stamps of the package: SOURCE_DATE_EPOCH, else the last commit's time.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
exe="" check="" actions="" version="" out=""
while (($#)); do
  case "$1" in
    --exe) exe=$2; shift 2 ;;
    --check) check=$2; shift 2 ;;
    --actions) actions=$2; shift 2 ;;
    --version) version=$2; shift 2 ;;
    --out) out=$2; shift 2 ;;
    *) echo "usage: build-msi.sh --exe EXE --check EXE --actions DLL --version X.Y.Z --out FILE.msi" >&2; exit 2 ;;
  esac
done
[[ -f "$exe" && -f "$check" && -f "$actions" && "$version" =~ ^[0-9]+\.[0-9]+\.[0-9]+$ && -n "$out" ]] || {
  echo "usage: build-msi.sh --exe EXE --check EXE --actions DLL --version X.Y.Z --out FILE.msi" >&2
  exit 2
}

out=$(realpath -m "$out")
work="$out.work"
rm -rf "$work"
mkdir -p "$work"
trap 'rm -rf "$work"' EXIT

# guid TEXT: a GUID computed from TEXT (name-based, so a rebuild gives the same one).
guid() {
  local h
  h=$(printf '%s' "$1" | sha256sum | tr 'a-f' 'A-F')
  echo "${h:0:8}-${h:8:4}-5${h:13:3}-A${h:17:3}-${h:20:12}"
}

die() { echo "build-msi: $*" >&2; exit 1; }
need_file() { [[ -f "${!1:-}" ]] || die "$1: no such file: ${!1:-(not set)}"; }

# key: osslsigncode's options naming the key and certificate; signed_with: for the last line.
key=() signed_with=""
if [[ -n "${TARNU_SIGN_PFX:-}" ]]; then
  need_file TARNU_SIGN_PFX
  (umask 077 && printf '%s' "${TARNU_SIGN_PASSWORD:-}" >"$work/password")
  key=(-pkcs12 "$TARNU_SIGN_PFX" -readpass "$work/password")
  signed_with=$(basename "$TARNU_SIGN_PFX")
elif [[ -n "${TARNU_SIGN_PKCS11_MODULE:-}" ]]; then
  need_file TARNU_SIGN_PKCS11_MODULE
  need_file TARNU_SIGN_CERT
  [[ "${TARNU_SIGN_PKCS11_KEY:-}" == pkcs11:* ]] || die "TARNU_SIGN_PKCS11_KEY: not a pkcs11: URI"
  # A PIN in the URI would be on osslsigncode's command line, visible to every local user.
  [[ "$TARNU_SIGN_PKCS11_KEY" != *pin-value* ]] ||
    die "TARNU_SIGN_PKCS11_KEY: give the PIN in TARNU_SIGN_PIN_FILE or TARNU_SIGN_PIN"
  if [[ -n "${TARNU_SIGN_PIN_FILE:-}" ]]; then
    need_file TARNU_SIGN_PIN_FILE
    pin_file=$TARNU_SIGN_PIN_FILE
  else
    pin_file="$work/pin"
    (umask 077 && printf '%s' "${TARNU_SIGN_PIN:-}" >"$pin_file")
  fi
  key=(-pkcs11module "$TARNU_SIGN_PKCS11_MODULE" -certs "$TARNU_SIGN_CERT"
    -key "$TARNU_SIGN_PKCS11_KEY" -readpass "$pin_file")
  [[ -z "${TARNU_SIGN_PKCS11_ENGINE:-}" ]] || key=(-pkcs11engine "$TARNU_SIGN_PKCS11_ENGINE" "${key[@]}")
  signed_with="the PKCS#11 key $TARNU_SIGN_PKCS11_KEY"
fi
release=${TARNU_RELEASE:-0}
if [[ "$release" == 1 ]]; then
  ((${#key[@]})) || die "TARNU_RELEASE=1: no signing key (TARNU_SIGN_PFX or TARNU_SIGN_PKCS11_MODULE)"
  [[ -n "${TARNU_SIGN_TIMESTAMP_URL:-}" ]] || die "TARNU_RELEASE=1: no TARNU_SIGN_TIMESTAMP_URL"
fi
# sign IN OUT [EXTRA...]: Authenticode, SHA-256; a release build checks the outcome.
sign() {
  local in=$1 signed=$2
  shift 2
  local timestamp=()
  [[ -z "${TARNU_SIGN_TIMESTAMP_URL:-}" ]] || timestamp=(-ts "$TARNU_SIGN_TIMESTAMP_URL")
  osslsigncode sign "${key[@]}" -h sha256 -n "Tarnu input helper" "${timestamp[@]}" "$@" \
    -in "$in" -out "$signed" >"$work/sign.log" 2>&1 ||
    { cat "$work/sign.log" >&2; die "signing $in failed"; }
  [[ "$release" != 1 ]] || expect_timestamp "$signed"
}
# expect_timestamp FILE: the signature carries a time stamp (the chain is not checked here:
# the signing certificate's issuer need not be among this machine's CAs).
expect_timestamp() {
  osslsigncode verify -in "$1" >"$work/verify.log" 2>&1 || true
  grep -q "^[[:space:]]*Timestamp time:" "$work/verify.log" ||
    die "TARNU_RELEASE=1: $(basename "$1") has no time stamp"
}

epoch=${SOURCE_DATE_EPOCH:-$(git -C "$here" log -1 --format=%ct 2>/dev/null || echo 946684800)}

# 1. The executables as they will be installed (the cabinet records their modification
# times), and the DLL that the installer runs as LocalSystem.
for staged in "$exe:tarnu-input-helper.exe" "$check:tarnu-input-check.exe" \
  "$actions:tarnu-installer-actions.dll"; do
  if ((${#key[@]})); then
    sign "${staged%:*}" "$work/${staged##*:}"
  else
    cp "${staged%:*}" "$work/${staged##*:}"
  fi
  touch -d "@$epoch" "$work/${staged##*:}"
done

# 2. wixl takes the file's path relative to its working folder.
product_code=$(guid "tarnu-input-helper product $version")
(cd "$work" && TZ=UTC wixl -a x64 -D "Version=$version" -D "ProductCode=$product_code" \
  -D Source=tarnu-input-helper.exe -D Check=tarnu-input-check.exe \
  -D Actions=tarnu-installer-actions.dll \
  -o package.msi "$here/tarnu-input-helper.wxs") >"$work/wixl.log" 2>&1 ||
  { cat "$work/wixl.log" >&2; exit 1; }
# wixl only warns about what it ignores: none of that is expected.
if grep -qi "warning\|critical" "$work/wixl.log"; then
  cat "$work/wixl.log" >&2
  echo "build-msi: wixl ignored part of tarnu-input-helper.wxs" >&2
  exit 1
fi

# 3. What wixl cannot write.
msi="$work/package.msi"
# The rollback actions: those of the DLL (type 1) named so; the actions that hand them their
# data set properties (type 51).
rollback_actions=$(msiinfo export "$msi" CustomAction | tr -d '\r' |
  awk -F'\t' 'NR > 3 && $2 % 8 == 1 && $1 ~ /Rollback/ { print $1 }')
queries=(
  # Inside the transaction: a failed upgrade brings the earlier version back.
  "UPDATE InstallExecuteSequence SET Sequence = 1501 WHERE Action = 'RemoveExistingProducts'"
  # The worker's status files go with the product, so that the status folder goes too.
  "INSERT INTO RemoveFile (FileKey, Component_, FileName, DirProperty, InstallMode) VALUES ('StatusFiles', 'StatusFolder', 'INPUT*.TXT|input-helper-status-s*.txt', 'STATUSFOLDER', 2)"
  # The executables' version and language, as in their version resources, so that Windows
  # Installer compares versions rather than hashes and modification times (which is why an
  # unversioned file gets the hash that a versioned one must not have).
  "UPDATE File SET Version = '$version.0', Language = '1033' WHERE File = 'HelperExe'"
  "UPDATE File SET Version = '$version.0', Language = '1033' WHERE File = 'CheckExe'"
  "DELETE FROM MsiFileHash WHERE File_ = 'HelperExe'"
  "DELETE FROM MsiFileHash WHERE File_ = 'CheckExe'"
  # A service that cannot be installed fails the installation (the vital bit, 0x8000, which
  # wixl drops from ServiceInstall's Vital="yes"); the system sees only "normal" (1).
  "UPDATE ServiceInstall SET ErrorControl = 32769 WHERE ServiceInstall = 'TarnuInputService'"
  # SAS_POLICY reaches the installation's server side whoever started it.
  "UPDATE Property SET Value = 'WIX_DOWNGRADE_DETECTED;WIX_UPGRADE_DETECTED;SAS_POLICY' WHERE Property = 'SecureCustomProperties'"
)
# Rollback actions: in-script (1024) + rollback (256) + no impersonation (2048) + return
# ignored (64) + a DLL in the Binary table (1).
for action in $rollback_actions; do
  queries+=("UPDATE CustomAction SET Type = 3393 WHERE Action = '$action'")
done
for query in "${queries[@]}"; do
  msibuild "$msi" -q "$query"
done
# The status folder's DACL (the worker creates the folder with the same one).
cp "$here/MsiLockPermissionsEx.idt" "$work/"
msibuild "$msi" -i "$work/MsiLockPermissionsEx.idt"

# 4. The package code from everything that went into the package, the summary's times from
# the epoch. wixl writes the times as "now" (VT_FILETIME, tag 0x40); exactly two are expected.
package_code=$(cat "$work/tarnu-input-helper.exe" "$work/tarnu-input-check.exe" \
  "$work/tarnu-installer-actions.dll" \
  "$here/tarnu-input-helper.wxs" "$0" \
  "$here/MsiLockPermissionsEx.idt" | sha256sum | cut -c1-64)
msibuild "$msi" -s "Tarnu input helper" Tarnu "x64;1033" "{$(guid "package $version $package_code")}"
perl -e '
  use strict; use warnings;
  my ($file, $epoch) = @ARGV;
  open(my $fh, "+<:raw", $file) or die "$file: $!";
  local $/; my $data = <$fh>;
  my $to_filetime = sub { ($_[0] + 11644473600) * 10000000 };
  my ($low, $high) = ($to_filetime->(time - 86400), $to_filetime->(time + 86400));
  my $fixed = pack("Q<", $to_filetime->($epoch));
  my @at;
  while ($data =~ /\x40\x00\x00\x00(.{8})/sg) {
    my $value = unpack("Q<", $1);
    push @at, pos($data) - 8 if $value >= $low && $value <= $high;
    pos($data) = pos($data) - 8;
  }
  die "build-msi: expected the summary'"'"'s two time stamps, found " . scalar(@at) . "\n" unless @at == 2;
  substr($data, $_, 8) = $fixed for @at;
  seek($fh, 0, 0); print $fh $data; close($fh) or die;
' "$msi" "$epoch"

# 5. The package's own signature.
if ((${#key[@]})); then
  sign "$msi" "$work/signed.msi" -add-msi-dse
  mv "$work/signed.msi" "$msi"
  echo "build-msi: $(basename "$out"): executables, installer actions and package signed with $signed_with"
else
  echo "build-msi: $(basename "$out"): unsigned (neither TARNU_SIGN_PFX nor TARNU_SIGN_PKCS11_MODULE is set)"
fi
mv "$msi" "$out"
