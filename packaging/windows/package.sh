#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# varnet-cli-VERSION-windows-x64.zip from a Windows build:
#   packaging/windows/package.sh WIN_BUILD
# The zip (in WIN_BUILD) holds varnet-cli.exe, every DLL it loads that Windows
# itself lacks (found from the import tables with objdump, through the DLLs'
# own imports), the Qt plug-ins it loads at run time, LICENSE.txt, the licence
# texts of what ships beside it, README.txt and the manual as HTML.
set -euo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "$1" && pwd)
cache_value() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }
version=$(cache_value CMAKE_PROJECT_VERSION)
name=varnet-cli-$version-windows-x64
stage=$build/package/$name
tp=x86_64-w64-mingw32
rm -rf "$build/package" "$build/$name.zip"
mkdir -p "$stage/platforms" "$stage/imageformats" "$stage/licenses"

# Where the DLLs come from: MinGW's runtime and the prefixes' bin/ (Qt).
dirs=("/usr/lib/gcc/$tp/12-posix" "/usr/$tp/lib")
IFS=';' read -ra prefixes <<<"$(cache_value CMAKE_PREFIX_PATH)"
for p in "${prefixes[@]}"; do dirs+=("$p/bin"); done

cp "$build/varnet-cli.exe" "$stage/"
cp "$build/platforms/qoffscreen.dll" "$stage/platforms/"
cp "$build/imageformats/qjpeg.dll" "$stage/imageformats/"

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
queue=("$stage/varnet-cli.exe" "$stage/platforms/qoffscreen.dll" "$stage/imageformats/qjpeg.dll")
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
# Debug information stays in the build.
find "$stage" \( -iname '*.exe' -o -iname '*.dll' \) -exec "$tp-strip" --strip-unneeded {} +

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

# Windows line ends for what people open in Notepad.
sed "s/@VERSION@/$version/; s/\$/\r/" "$root/packaging/windows/README.txt" >"$stage/README.txt"
# The manual from the same source as the Linux man page, without groff's time stamp.
groff -Thtml -man "$build/doc/man/varnet-cli.1" | sed '/^<!-- CreationDate:/d' >"$stage/varnet-cli.html"

# The last commit's time on every file, so that two builds give the same bytes.
when=${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct 2>/dev/null || echo 315532800)}
(cd "$build/package" && find "$name" -exec touch -d "@$when" {} + &&
  find "$name" -type f | LC_ALL=C sort | zip -q -X -9 "$build/$name.zip" -@)
echo "$build/$name.zip: $(du -k "$build/$name.zip" | cut -f1) KiB, $(find "$stage" -type f | wc -l) files"
