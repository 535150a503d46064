#!/usr/bin/env bash
# Regenerates src/protocol/escaped_code_points_table.cc from the Unicode character database
# of the given version (default: the one the table was made from), fetched from the npm
# registry as the package @unicode/unicode-<version>. Needs node and npm; the build itself
# needs neither, and no Unicode data of the machine's.
#   regenerate.sh [VERSION]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
table="$here/../escaped_code_points_table.cc"
version=${1:-$(sed -n 's|^// Unicode version: ||p' "$table")}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
(cd "$scratch" && npm pack --silent "@unicode/unicode-$version" >/dev/null && tar -xzf ./*.tgz)
node "$here/generate-escaped-code-points.mjs" "$scratch/package" >"$scratch/table.cc"
mv "$scratch/table.cc" "$table"
echo "regenerate: $(grep -c '^    {0x' "$table") ranges from Unicode $version written to $table"
