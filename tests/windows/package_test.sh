#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# The Windows zip as a user gets it: unpacked into a fresh Wine prefix with no
# DLL folder on the search path but its own, varnet-cli.exe shows its version,
# connects to a simulator (the Linux build's varnet-sim on a pseudo-terminal,
# mapped as COM3) and draws a sheet with the Qt it ships.
#   tests/windows/package_test.sh LINUX_BUILD ZIP
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
linux=$(cd "$1" && pwd)
zip=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
work=$(dirname "$zip")/package-test
rm -rf "$work"
mkdir -p "$work/unpacked"
sim=""
cleanup() {
  [[ -n $sim ]] && kill "$sim" 2>/dev/null
  wine_stop
}
# shellcheck source=tests/windows/wine-env.sh
. "$here/wine-env.sh" "$work"
# Only what the zip holds: not MinGW's runtime, not the build's Qt.
export WINEPATH=""
trap cleanup EXIT

unzip -q "$zip" -d "$work/unpacked"
exe=$(find "$work/unpacked" -name varnet-cli.exe)
fail() { echo "FAIL  $*" >&2; exit 1; }

"$linux/varnet-sim" --profile usb >"$work/sim.out" &
sim=$!
for _ in $(seq 100); do [[ -s $work/sim.out ]] && break; sleep 0.05; done
wine_start
wine_ports "$(head -1 "$work/sim.out")" >/dev/null

version=$(wine_run "$exe" --version | tr -d '\r')
[[ $version == "varnet-cli "* ]] || fail "--version printed '$version'"
echo "ok    $version from the unpacked zip"
info=$(wine_run "$exe" --port COM3 --json info | tr -d '\r') || fail "info: $info"
[[ $info == *'"device_type":1'* && $info == *'"port":"COM3"'* ]] || fail "info printed $info"
echo "ok    info against the simulator on COM3"
wine_run "$exe" --port COM3 export-sheet 'Z:'"${work//\//\\}"'\sheet.pdf' >/dev/null || fail "export-sheet"
[[ $(head -c 5 "$work/sheet.pdf") == "%PDF-" ]] || fail "export-sheet wrote no PDF"
echo "ok    export-sheet with the Qt the zip ships"
