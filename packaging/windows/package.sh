#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# varnet-cli-VERSION-windows-x64.zip from a Windows build:
#   packaging/windows/package.sh WIN_BUILD
# The zip (in WIN_BUILD) holds varnet-cli.exe with what it needs to run
# (packaging/windows/deploy.sh: DLLs, Qt plug-ins, licence texts), README.txt
# and the manual as HTML.
set -euo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "$1" && pwd)
cache_value() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }
version=$(cache_value CMAKE_PROJECT_VERSION)
name=varnet-cli-$version-windows-x64
stage=$build/package/$name
rm -rf "$build/package" "$build/$name.zip"
"$root/packaging/windows/deploy.sh" "$build" "$stage" varnet-cli.exe

# Windows line ends for what people open in Notepad.
sed "s/@VERSION@/$version/; s/\$/\r/" "$root/packaging/windows/README.txt" >"$stage/README.txt"
# The manual from the same source as the Linux man page, without groff's time stamp.
groff -Thtml -man "$build/doc/man/varnet-cli.1" | sed '/^<!-- CreationDate:/d' >"$stage/varnet-cli.html"

# The last commit's time on every file, so that two builds give the same bytes.
when=${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct 2>/dev/null || echo 315532800)}
(cd "$build/package" && find "$name" -exec touch -d "@$when" {} + &&
  find "$name" -type f | LC_ALL=C sort | zip -q -X -9 "$build/$name.zip" -@)
echo "$build/$name.zip: $(du -k "$build/$name.zip" | cut -f1) KiB, $(find "$stage" -type f | wc -l) files"
