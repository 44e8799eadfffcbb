#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Stages Windows programs from a build with everything they need to run on a
# Windows that has none of it:
#   packaging/windows/deploy.sh WIN_BUILD STAGE PROGRAM.exe...
# Into STAGE: the programs, the Qt plug-ins each loads at run time, every DLL
# they import that Windows itself lacks (found from the import tables with
# objdump, through the DLLs' own imports), LICENSE.txt and the licence
# texts of what ships beside them (licenses/). Stripped; debug information
# stays in the build. STAGE is emptied first.
set -euo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "$1" && pwd)
stage=$2
shift 2
tp=x86_64-w64-mingw32
cache_value() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }

# Where the DLLs come from: MinGW's runtime and the prefixes' bin/ (Qt); the
# plug-ins from the prefix that has them.
dirs=("/usr/lib/gcc/$tp/12-posix" "/usr/$tp/lib")
plugins=""
IFS=';' read -ra prefixes <<<"$(cache_value CMAKE_PREFIX_PATH)"
for p in "${prefixes[@]}"; do
  dirs+=("$p/bin")
  [[ -z $plugins && -d $p/plugins/platforms ]] && plugins=$p/plugins
done
[[ -n $plugins ]] || { echo "deploy.sh: no Qt plug-ins under the prefixes" >&2; exit 1; }

# The plug-ins a program loads: the command line draws off screen; the windowed
# programs need the Windows platform, its native style and Qt's own Chinese texts.
plugins_of() {
  case $1 in
    varnet-cli.exe) echo platforms/qoffscreen.dll imageformats/qjpeg.dll ;;
    *) echo platforms/qwindows.dll styles/qwindowsvistastyle.dll imageformats/qjpeg.dll ;;
  esac
}

rm -rf "$stage"
mkdir -p "$stage/licenses"
queue=()
windowed=""
for exe in "$@"; do
  cp "$build/$exe" "$stage/"
  queue+=("$stage/$exe")
  [[ $exe == varnet-cli.exe ]] || windowed=1
  for plugin in $(plugins_of "$exe"); do
    [[ -e $stage/$plugin ]] && continue
    mkdir -p "$stage/$(dirname "$plugin")"
    cp "$plugins/$plugin" "$stage/$plugin"
    queue+=("$stage/$plugin")
  done
done
if [[ -n $windowed ]]; then
  mkdir -p "$stage/translations"
  cp /usr/share/qt6/translations/qtbase_zh_CN.qm "$stage/translations/"
fi

# A DLL named in an import table, from the folders above; nothing for the
# system's own (KERNEL32.dll, msvcrt.dll, ...), which every Windows has.
find_dll() {
  local d f
  for d in "${dirs[@]}"; do
    f=$(find "$d" -maxdepth 1 -iname "$1" -print -quit 2>/dev/null)
    [[ -n $f ]] && { echo "$f"; return; }
  done
  return 0
}
while ((${#queue[@]})); do
  file=${queue[0]}
  queue=("${queue[@]:1}")
  while read -r dll; do
    [[ -e $stage/$dll ]] && continue
    src=$(find_dll "$dll")
    [[ -z $src ]] && continue
    cp "$src" "$stage/$dll"
    queue+=("$stage/$dll")
  done < <($tp-objdump -p "$file" | sed -n 's/^\s*DLL Name: //p')
done
# strip writes the time into each PE header: the last commit's, as the
# packages give their files, so that two builds give the same bytes.
when=${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct 2>/dev/null || echo 315532800)}
find "$stage" \( -iname '*.exe' -o -iname '*.dll' \) -exec env SOURCE_DATE_EPOCH="$when" "$tp-strip" --strip-unneeded {} +

# No qt.conf: with Qt6Core.dll beside the programs Qt takes their folder as
# its prefix, so it finds the plug-ins there and translations\ below it.

# Licences: the program's, and Debian's copyright record of each library with
# the licence texts it refers to.
cp "$root/LICENSE" "$stage/LICENSE.txt"
licence() { # NAME DEBIAN-PACKAGE COMMON-LICENCE...
  local out=$stage/licenses/$1
  mkdir -p "$out"
  cp "/usr/share/doc/$2/copyright" "$out/copyright.txt"
  shift 2
  for l in "$@"; do cp "/usr/share/common-licenses/$l" "$out/$l.txt"; done
}
licence qt6 libqt6core6 LGPL-3 GPL-3
licence zxing-cpp libzxing2 Apache-2.0
licence yaml-cpp libyaml-cpp0.7
licence libqrencode libqrencode4 LGPL-2.1
licence gcc-runtime gcc-mingw-w64-base GPL-3
licence mingw-w64-winpthreads mingw-w64-common
sed 's/$/\r/' "$root/packaging/windows/LICENSES.txt" >"$stage/licenses/README.txt"
