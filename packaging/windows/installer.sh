#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# varnet-VERSION-setup.exe from a Windows build:
#   packaging/windows/installer.sh WIN_BUILD
# Stages the programs the build has (varnet.exe, varnet-demo.exe, varnet-cli.exe)
# with packaging/windows/deploy.sh, adds the manual, and runs makensis on
# packaging/windows/varnet.nsi. The installer lands in WIN_BUILD.
set -euo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "$1" && pwd)
cache_value() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }
version=$(cache_value CMAKE_PROJECT_VERSION)
out=$build/varnet-$version-setup.exe
work=$build/installer
stage=$work/Varnet

programs=()
for exe in varnet.exe varnet-demo.exe varnet-cli.exe; do
  [[ -f $build/$exe ]] && programs+=("$exe")
done
((${#programs[@]})) || { echo "installer.sh: no program in $build" >&2; exit 1; }
# (An earlier version's installer too: make finds the installer by pattern.)
rm -rf "$work" "$build"/varnet-*-setup.exe
"$root/packaging/windows/deploy.sh" "$build" "$stage" "${programs[@]}"
groff -Thtml -man "$build/doc/man/varnet-cli.1" | sed '/^<!-- CreationDate:/d' >"$stage/varnet-cli.html"

# What to install and, in reverse, what the uninstaller removes: the staged
# files by name, so that it never deletes what it did not put there.
(
  cd "$stage"
  find . -type f | LC_ALL=C sort | while read -r f; do
    f=${f#./}
    dir=$(dirname "$f")
    [[ $dir == . ]] && dir="" || dir="\\${dir//\//\\}"
    echo "SetOutPath \"\$INSTDIR$dir\""
    echo "File \"$stage/$f\""
  done
) >"$work/files.nsh"
(
  cd "$stage"
  find . -type f | LC_ALL=C sort | while read -r f; do
    f=${f#./}
    echo "Delete \"\$INSTDIR\\${f//\//\\}\""
  done
  find . -mindepth 1 -type d | LC_ALL=C sort -r | while read -r d; do
    d=${d#./}
    echo "RMDir \"\$INSTDIR\\${d//\//\\}\""
  done
) >"$work/unfiles.nsh"

# The last commit's time on every file, so that two builds give the same bytes.
when=${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct 2>/dev/null || echo 315532800)}
find "$stage" -exec touch -d "@$when" {} +
SOURCE_DATE_EPOCH=$when makensis -V2 -NOCD -INPUTCHARSET UTF8 \
  -DVERSION="$version" -DSTAGE="$stage" -DFILES="$work/files.nsh" -DUNFILES="$work/unfiles.nsh" \
  -DOUTFILE="$out" "$root/packaging/windows/varnet.nsi"
echo "$out: $(du -k "$out" | cut -f1) KiB, ${programs[*]}, $(find "$stage" -type f | wc -l) files," \
  "$(du -sk "$stage" | cut -f1) KiB installed"
