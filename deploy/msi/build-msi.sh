#!/usr/bin/env bash
# Builds the Windows Installer package of the input helper:
#   build-msi.sh --exe tarnu-input-helper.exe --actions tarnu-installer-actions.dll \
#                --version X.Y.Z --out tarnu-input-helper-X.Y.Z.msi
#
# 1. stages copies of the executable and of the custom actions' DLL (both signed when a
#    certificate is supplied, see below);
# 2. wixl compiles tarnu-input-helper.wxs (x64) around them;
# 3. msibuild adds what wixl cannot write (see the .wxs's header);
# 4. the package code and the summary's time stamps are made to depend on the input only,
#    so that the same executable and sources give the same unsigned package;
# 5. the package is signed when a certificate is supplied.
#
# Signing: TARNU_SIGN_PFX names a PKCS#12 file (certificate with the code-signing usage and
# its key), TARNU_SIGN_PASSWORD is its password (it reaches osslsigncode in a private file,
# never on a command line); TARNU_SIGN_TIMESTAMP_URL optionally adds an RFC 3161 time stamp.
# The signatures are SHA-256 Authenticode. Time stamps of the package: SOURCE_DATE_EPOCH,
# else the last commit's time.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
exe="" actions="" version="" out=""
while (($#)); do
  case "$1" in
    --exe) exe=$2; shift 2 ;;
    --actions) actions=$2; shift 2 ;;
    --version) version=$2; shift 2 ;;
    --out) out=$2; shift 2 ;;
    *) echo "usage: build-msi.sh --exe EXE --actions DLL --version X.Y.Z --out FILE.msi" >&2; exit 2 ;;
  esac
done
[[ -f "$exe" && -f "$actions" && "$version" =~ ^[0-9]+\.[0-9]+\.[0-9]+$ && -n "$out" ]] || {
  echo "usage: build-msi.sh --exe EXE --actions DLL --version X.Y.Z --out FILE.msi" >&2
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

signing=""
if [[ -n "${TARNU_SIGN_PFX:-}" ]]; then
  [[ -f "$TARNU_SIGN_PFX" ]] || { echo "build-msi: TARNU_SIGN_PFX: no such file: $TARNU_SIGN_PFX" >&2; exit 1; }
  signing=yes
  (umask 077 && printf '%s' "${TARNU_SIGN_PASSWORD:-}" >"$work/password")
fi
# sign IN OUT [EXTRA...]: Authenticode, SHA-256.
sign() {
  local in=$1 signed=$2
  shift 2
  local timestamp=()
  [[ -z "${TARNU_SIGN_TIMESTAMP_URL:-}" ]] || timestamp=(-ts "$TARNU_SIGN_TIMESTAMP_URL")
  osslsigncode sign -pkcs12 "$TARNU_SIGN_PFX" -readpass "$work/password" -h sha256 \
    -n "Tarnu input helper" "${timestamp[@]}" "$@" -in "$in" -out "$signed" >"$work/sign.log" 2>&1 ||
    { cat "$work/sign.log" >&2; echo "build-msi: signing $in failed" >&2; exit 1; }
}

epoch=${SOURCE_DATE_EPOCH:-$(git -C "$here" log -1 --format=%ct 2>/dev/null || echo 946684800)}

# 1. The executable as it will be installed (the cabinet records its modification time), and
# the DLL that the installer runs as LocalSystem.
for staged in "$exe:tarnu-input-helper.exe" "$actions:tarnu-installer-actions.dll"; do
  if [[ -n "$signing" ]]; then
    sign "${staged%:*}" "$work/${staged##*:}"
  else
    cp "${staged%:*}" "$work/${staged##*:}"
  fi
  touch -d "@$epoch" "$work/${staged##*:}"
done

# 2. wixl takes the file's path relative to its working folder.
product_code=$(guid "tarnu-input-helper product $version")
(cd "$work" && TZ=UTC wixl -a x64 -D "Version=$version" -D "ProductCode=$product_code" \
  -D Source=tarnu-input-helper.exe -D Actions=tarnu-installer-actions.dll \
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
package_code=$(cat "$work/tarnu-input-helper.exe" "$work/tarnu-installer-actions.dll" \
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
if [[ -n "$signing" ]]; then
  sign "$msi" "$work/signed.msi" -add-msi-dse
  mv "$work/signed.msi" "$msi"
  echo "build-msi: $(basename "$out"): executable, installer actions and package signed with $(basename "$TARNU_SIGN_PFX")"
else
  echo "build-msi: $(basename "$out"): unsigned (TARNU_SIGN_PFX is not set)"
fi
mv "$msi" "$out"
