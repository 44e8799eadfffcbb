#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# The Windows installer as a user runs it, in a fresh Wine prefix with no DLL
# folder on the search path: a silent install into Program Files (files,
# uninstall entry, Start Menu shortcuts, PATH untouched), the installed
# varnet-cli.exe and the windowed programs (under Xvfb) started from there,
# a silent uninstall that leaves nothing; then an install with /ADDTOPATH into
# a folder of its own, and one on a PATH too long to edit, each undone.
#   tests/windows/installer_test.sh LINUX_BUILD SETUP_EXE
# (LINUX_BUILD: the Linux build's varnet-sim, which the installed varnet-cli.exe reaches.)
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
linux=$(cd "$1" && pwd)
setup=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
version=$(basename "$setup" | sed -n 's/^varnet-\(.*\)-setup\.exe$/\1/p')
work=$(dirname "$setup")/installer-test
rm -rf "$work"
mkdir -p "$work"
sim="" xvfb="" prog=""
cleanup() {
  [[ -n $prog ]] && kill "$prog" 2>/dev/null
  [[ -n $sim ]] && kill "$sim" 2>/dev/null
  wine_stop
  [[ -n $xvfb ]] && kill "$xvfb" 2>/dev/null
  return 0
}
# shellcheck source=tests/windows/wine-env.sh
. "$here/wine-env.sh" "$work"
# Only what the installer put in place: not MinGW's runtime, not the build's Qt.
export WINEPATH=""
trap cleanup EXIT
fail() { echo "FAIL  $*" >&2; exit 1; }
ok() { echo "ok    $*"; }

uninst_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Varnet'
env_key='HKLM\System\CurrentControlSet\Control\Session Manager\Environment'
# A registry value as text ("" when missing).
reg_value() {
  wine_run reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' |
    sed -n "s/^ *$2 *REG_[A-Z_]* *//p"
}
pf=$WINEPREFIX/drive_c/Program\ Files/Varnet
menu=$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start\ Menu/Programs/Varnet
seconds() { date +%s%N; }
took() {
  local ms=$((($(date +%s%N) - $1) / 1000000))
  printf '%d.%d s' $((ms / 1000)) $((ms % 1000 / 100))
}

wine_start
path_before=$(reg_value "$env_key" Path)
[[ -n $path_before ]] || fail "no PATH in a fresh prefix"

# --- Silent install, default options ----------------------------------------
t=$(seconds)
wine_run "$setup" /S || fail "setup /S exited with $?"
ok "silent install in $(took "$t")"
for f in Uninstall.exe varnet-cli.exe LICENSE.txt licenses/README.txt licenses/qt6/LGPL-3.txt \
  Qt6Core.dll platforms/qoffscreen.dll imageformats/qjpeg.dll; do
  [[ -f $pf/$f ]] || fail "no $f in Program Files\\Varnet"
done
windowed=()
for exe in varnet.exe varnet-demo.exe; do [[ -f $pf/$exe ]] && windowed+=("$exe"); done
if ((${#windowed[@]})); then
  for f in platforms/qwindows.dll styles/qwindowsvistastyle.dll Qt6Widgets.dll; do
    [[ -f $pf/$f ]] || fail "no $f beside ${windowed[*]}"
  done
fi
ok "$(find "$pf" -type f | wc -l) files in Program Files\\Varnet ($(du -sk "$pf" | cut -f1) KiB)"
declare -A want=([DisplayName]=Varnet [DisplayVersion]=$version [Publisher]="The Varnet developers"
  [InstallLocation]='C:\Program Files\Varnet' [UninstallString]='"C:\Program Files\Varnet\Uninstall.exe"'
  [QuietUninstallString]='"C:\Program Files\Varnet\Uninstall.exe" /S' [NoModify]=0x1 [NoRepair]=0x1)
icon=Uninstall.exe
[[ -f $pf/varnet.exe ]] && icon=varnet.exe
want[DisplayIcon]="\"C:\\Program Files\\Varnet\\$icon\",0"
declare -A got=()
while read -r name value; do got[$name]=$value; done < <(wine_run reg query "$uninst_key" | tr -d '\r' |
  sed -n 's/^ *\([A-Za-z]*\) *REG_[A-Z_]* *\(.*\)$/\1 \2/p')
for v in "${!want[@]}"; do
  [[ ${got[$v]:-} == "${want[$v]}" ]] || fail "uninstall entry $v is '${got[$v]:-}', not '${want[$v]}'"
done
size=${got[EstimatedSize]:-0}
((size > 1000)) || fail "EstimatedSize $size"
ok "uninstall entry (EstimatedSize $((size)) KiB)"
[[ $(reg_value "$env_key" Path) == "$path_before" ]] || fail "PATH changed without /ADDTOPATH"
for exe in "${windowed[@]}"; do
  case $exe in varnet.exe) lnk=Varnet.lnk ;; varnet-demo.exe) lnk="Varnet Demo.lnk" ;; esac
  [[ -f $menu/$lnk ]] || fail "no Start Menu shortcut $lnk"
  grep -qa "$exe" "$menu/$lnk" || fail "$lnk does not lead to $exe"
done
ok "Start Menu: ${#windowed[@]} shortcut(s), PATH as it was"

# The installed varnet-cli.exe, on a simulated scanner mapped as COM3.
"$linux/varnet-sim" --profile usb >"$work/sim.out" &
sim=$!
for _ in $(seq 100); do [[ -s $work/sim.out ]] && break; sleep 0.05; done
wine_ports "$(head -1 "$work/sim.out")" >/dev/null
cli='C:\Program Files\Varnet\varnet-cli.exe'
[[ $(wine_run "$cli" --version | tr -d '\r') == "varnet-cli $version" ]] || fail "varnet-cli.exe --version"
info=$(wine_run "$cli" --port COM3 --json info | tr -d '\r') || fail "info: $info"
[[ $info == *'"port":"COM3"'* ]] || fail "info printed $info"
ok "installed varnet-cli.exe: --version, info on COM3"
kill "$sim"
sim=""

# The windowed programs, each until its window shows (a server started
# without a display would hang them: a new one with DISPLAY set).
if ((${#windowed[@]})); then
  n=90
  while [[ -e /tmp/.X$n-lock || -e /tmp/.X11-unix/X$n ]]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  for _ in $(seq 100); do [[ -e /tmp/.X11-unix/X$n ]] && break; sleep 0.05; done
  wine_stop
  for exe in "${windowed[@]}"; do
    t=$(seconds)
    DISPLAY=:$n wine_run "C:\\Program Files\\Varnet\\$exe" >/dev/null 2>&1 &
    prog=$!
    DISPLAY=:$n timeout 60 xdotool search --sync --name "^Varnet V${version//./\\.}\$" >/dev/null ||
      fail "$exe: no window 'Varnet V$version' within 60 s"
    ok "$exe shows 'Varnet V$version' ($(took "$t"))"
    kill "$prog"
    wait "$prog" 2>/dev/null || true
    prog=""
    wine_stop
  done
  kill "$xvfb"
  xvfb=""
  wine_start
fi

# --- Silent uninstall, as Apps & Features runs it ----------------------------
# The uninstaller copies itself to TEMP, starts the copy and returns at once:
# done when the folder and then the uninstall entry are gone.
quiet=$(reg_value "$uninst_key" QuietUninstallString)
[[ $quiet =~ ^\"([^\"]+)\"\ (.*)$ ]] || fail "QuietUninstallString $quiet"
t=$(seconds)
# shellcheck disable=SC2086 # the options, split as a command line is
wine_run "${BASH_REMATCH[1]}" ${BASH_REMATCH[2]} || fail "$quiet exited with $?"
for _ in $(seq 300); do [[ -e $pf ]] || break; sleep 0.1; done
for _ in $(seq 20); do [[ -z $(reg_value "$uninst_key" DisplayName) ]] && break; sleep 0.2; done
ok "silent uninstall in $(took "$t")"
[[ ! -e $pf ]] || fail "left in Program Files\\Varnet: $(cd "$pf" && find . | head -5)"
[[ ! -e $menu ]] || fail "Start Menu folder Varnet left"
[[ -z $(reg_value "$uninst_key" DisplayName) ]] || fail "uninstall entry left"
ok "nothing left: folder, Start Menu, uninstall entry"

# --- /ADDTOPATH into a folder of one's own, updated, undone by Uninstall.exe /S _?= ---
dir='C:\Tools\Varnet Test'
udir=$WINEPREFIX/drive_c/Tools/Varnet\ Test
# /D= takes the rest of the command line unquoted, as a batch file passes it.
printf '@"%s" /S /ADDTOPATH /D=%s\r\n' "$(_wine_winpath "$setup")" "$dir" >"$work/install.bat"
wine_run cmd /c "$(_wine_winpath "$work/install.bat")" || fail "setup /ADDTOPATH /D= exited with $?"
[[ -f $udir/varnet-cli.exe && $(reg_value "$uninst_key" InstallLocation) == "$dir" ]] || fail "/D= ignored"
[[ $(reg_value "$env_key" Path) == "$path_before;$dir" ]] || fail "PATH is '$(reg_value "$env_key" Path)'"
# (WINEPATH unset: set empty, it leaves an empty first entry that ends cmd's search.)
[[ $(unset WINEPATH && wine_run cmd /c varnet-cli.exe --version | tr -d '\r') == "varnet-cli $version" ]] ||
  fail "varnet-cli.exe not found on PATH"
ok "/ADDTOPATH /D=: PATH ends with $dir, varnet-cli.exe runs from any folder"
# An update with no options: same folder, the folder still on PATH, once.
files=$(cd "$udir" && find . | sort)
wine_run "$setup" /S || fail "update exited with $?"
[[ $(cd "$udir" && find . | sort) == "$files" ]] || fail "the update changed the files in $dir"
[[ $(reg_value "$env_key" Path) == "$path_before;$dir" ]] || fail "PATH after update '$(reg_value "$env_key" Path)'"
ok "update over it: same folder and files, PATH kept"
uninstall_wait() { # FOLDER: the uninstaller in place, waited for (it cannot delete itself then)
  printf '@"%s\\Uninstall.exe" /S _?=%s\r\n' "$1" "$1" >"$work/uninstall.bat"
  wine_run cmd /c "$(_wine_winpath "$work/uninstall.bat")" || fail "Uninstall.exe /S _?=$1 exited with $?"
}
t=$(seconds)
uninstall_wait "$dir"
ok "Uninstall.exe /S _?= in $(took "$t")"
[[ $(reg_value "$env_key" Path) == "$path_before" ]] || fail "PATH after uninstall: '$(reg_value "$env_key" Path)'"
left=$(cd "$udir" && find . -mindepth 1)
[[ $left == ./Uninstall.exe || -z $left ]] || fail "left in $dir: $left"
ok "uninstalled: PATH as before"

# --- A PATH the installer cannot grow, or cannot read whole, is left alone ---
for n in 1010 1100; do
  long="$path_before;C:\\$(printf 'x%.0s' $(seq $((n - ${#path_before} - 4))))"
  wine_run reg add "$env_key" /v Path /t REG_EXPAND_SZ /d "$long" /f >/dev/null
  wine_run "$setup" /S /ADDTOPATH || fail "setup /ADDTOPATH on a long PATH exited with $?"
  [[ $(reg_value "$env_key" Path) == "$long" ]] || fail "a ${#long}-character PATH was changed"
  [[ -z $(reg_value "$uninst_key" PathEntry) ]] || fail "PathEntry recorded though PATH was left"
  uninstall_wait 'C:\Program Files\Varnet'
  [[ $(reg_value "$env_key" Path) == "$long" ]] || fail "uninstall changed the ${#long}-character PATH"
  ok "a ${#long}-character PATH: left as it is by install and uninstall"
done
