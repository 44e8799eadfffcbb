#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Wine for the Windows tests: a private prefix inside a build folder (never ~/.wine), quiet and
# without dialogs, pseudo-terminals mapped as COM ports, and one wineserver kept up for a suite.
#
#   tests/windows/wine-env.sh BUILD init            make BUILD/wine-prefix (once, about 10 s)
#   tests/windows/wine-env.sh BUILD ports PTY...    map the PTYs to COM3, COM4, ... and restart the
#                                                   server so that SERIALCOMM lists them
#   tests/windows/wine-env.sh BUILD start           keep one wineserver up (later runs start in ~0.2 s)
#   tests/windows/wine-env.sh BUILD stop            wineserver -k for this prefix only
#   tests/windows/wine-env.sh BUILD run PROG ARGS   run a Windows program there
#   tests/windows/wine-env.sh BUILD ctest-run PROG ARGS   the same, its output shown when it ends
#                                                   (ctest's emulator)
#
# Sourced (". tests/windows/wine-env.sh BUILD"), it exports the environment and defines
# wine_init, wine_ports, wine_start, wine_stop and wine_run for a suite's own script.
# MinGW's runtime DLLs are found through WINEPATH; add folders (Qt's bin/) with VARNET_WINE_PATH
# (Unix paths, ':'-separated).
#
# Start the suite's wineserver the way its programs will run: a server started without DISPLAY
# is reused by a later windowed run, which then hangs. wine_stop between headless and windowed runs.

if [[ -z ${1:-} ]]; then
  echo "usage: wine-env.sh BUILD init|ports PTY...|start|stop|run PROG [ARGS]" >&2
  # shellcheck disable=SC2317 # exit when called, return when sourced
  return 2 2>/dev/null || exit 2
fi

export WINEPREFIX
WINEPREFIX=$(mkdir -p "$1" && cd "$1" && pwd)/wine-prefix
export WINEARCH=win64
export WINEDEBUG=-all
# No Mono or Gecko install prompts, no menu entries or file associations in the user's home.
export WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe=d"
if [[ -x /usr/lib/wine/wine64 ]]; then
  VARNET_WINE=/usr/lib/wine/wine64 # Debian's 64-bit loader; the 'wine' wrapper asks for wine32
  export WINELOADER=$VARNET_WINE
else
  VARNET_WINE=$(command -v wine64 || command -v wine)
fi
VARNET_WINESERVER=$(command -v wineserver || echo /usr/lib/wine/wineserver)

_wine_winpath() { # Unix folders (':'-separated) -> Z:\... (';'-separated)
  local out="" d
  local IFS=:
  for d in $1; do [[ -n $d ]] && out+="${out:+;}Z:${d//\//\\}"; done
  echo "$out"
}
WINEPATH=$(_wine_winpath "/usr/lib/gcc/x86_64-w64-mingw32/12-posix:/usr/x86_64-w64-mingw32/lib:${VARNET_WINE_PATH:-}")
export WINEPATH

# The lock keeps ctest -j2 from setting up or warming the prefix twice at once. Wine's own
# processes must not inherit it (9>&-): the services would hold it as long as the server lives.
wine_init() {
  (
    flock 9
    [[ -e $WINEPREFIX/.varnet-ready ]] && exit 0
    "$VARNET_WINE" wineboot --init </dev/null >/dev/null 2>&1 9>&-
    # A crashing test ends with its exit status, not a debugger dialog.
    "$VARNET_WINE" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
      </dev/null >/dev/null 2>&1 9>&-
    touch "$WINEPREFIX/.varnet-ready"
  ) 9>"$WINEPREFIX.lock"
}

# Is this prefix's wineserver up? (Found by the WINEPREFIX it was started with.)
_wine_server_up() {
  local pid
  for pid in $(pgrep -u "$(id -u)" '^wineserver'); do
    { tr '\0' '\n' <"/proc/$pid/environ"; } 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" && return 0
  done
  return 1
}

# Brings up the server and Wine's services (mountmgr lists the ports) with nothing of the
# caller's open: services inherit the first program's output, and a pipe they hold keeps
# ctest, or anything else that reads a program's output, waiting until the server ends.
_wine_warm() {
  "$VARNET_WINE" cmd.exe /c exit 0 </dev/null >/dev/null 2>&1 9>&- || true
}

wine_start() {
  wine_init
  # A server some earlier run left (it would end a few seconds after its last program) is
  # replaced by the suite's persistent one.
  if _wine_server_up; then
    [[ -e $WINEPREFIX/.varnet-persistent ]] && return 0
    wine_stop
  fi
  "$VARNET_WINESERVER" -p </dev/null >/dev/null 2>&1 9>&-
  touch "$WINEPREFIX/.varnet-persistent"
  _wine_warm
}

wine_stop() {
  [[ -d $WINEPREFIX ]] || return 0
  rm -f "$WINEPREFIX/.varnet-persistent"
  "$VARNET_WINESERVER" -k 2>/dev/null || true
  "$VARNET_WINESERVER" -w
}

# wine_ports PTY...: COM3 = the first, COM4 = the next, ...; earlier mappings are dropped.
# mountmgr reads the Ports key when Wine starts, so the server is restarted (and kept up again
# if it was). Prints "COMn PTY" a line.
wine_ports() {
  local reg=$WINEPREFIX/varnet-ports.reg n=3 pty persistent=""
  wine_init
  {
    printf 'REGEDIT4\n\n[-HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]\n\n'
    printf '[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]\n'
    for pty in "$@"; do printf '"COM%d"="%s"\n' $n "$pty"; n=$((n + 1)); done
  } >"$reg"
  [[ -e $WINEPREFIX/.varnet-persistent ]] && persistent=1
  "$VARNET_WINE" regedit /S "$(_wine_winpath "$reg")" >/dev/null 2>&1
  wine_stop
  # mountmgr links the ports anew; a link left from an earlier mapping would still open.
  rm -f "$WINEPREFIX"/dosdevices/com[0-9]*
  [[ -n $persistent ]] && wine_start
  n=3
  for pty in "$@"; do echo "COM$n $pty"; n=$((n + 1)); done
}

wine_run() {
  [[ -e $WINEPREFIX/.varnet-ready ]] || wine_init
  # One warm-up when ctest -j2 starts two programs on a cold server.
  _wine_server_up || (
    flock 9
    _wine_server_up || _wine_warm
  ) 9>"$WINEPREFIX.lock"
  "$VARNET_WINE" "$@"
}

if [[ ${BASH_SOURCE[0]} == "$0" ]]; then
  set -euo pipefail
  cmd=${2:-}
  shift 2 || shift $#
  case $cmd in
    init) wine_init ;;
    ports) wine_ports "$@" ;;
    start) wine_start ;;
    stop) wine_stop ;;
    run) wine_run "$@" ;;
    ctest-run)
      # As ctest's emulator: the first program that makes a window starts Wine's desktop
      # process, which inherits that program's output and keeps it open while it lives, so
      # ctest would wait for it. The output goes through files, shown when the program ends.
      out=$(mktemp) err=$(mktemp)
      status=0
      wine_run "$@" >"$out" 2>"$err" || status=$?
      cat "$out"
      cat "$err" >&2
      rm -f "$out" "$err"
      exit "$status"
      ;;
    *)
      echo "usage: wine-env.sh BUILD init|ports PTY...|start|stop|run|ctest-run PROG [ARGS]" >&2
      exit 2
      ;;
  esac
fi
