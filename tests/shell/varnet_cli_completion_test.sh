#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Drives varnet-cli's bash completion as bash does on a TAB (COMP_WORDS,
# COMP_CWORD, then COMPREPLY) and checks what it offers in a few places.
# Usage: varnet_cli_completion_test.sh BUILD/varnet-cli.bash
# shellcheck source=/dev/null # written at build time
source "$1" || exit 1
failures=0

# offers WORD...: COMPREPLY, one per line, for a line whose last word is
# being completed (words as typed, quotes included).
offers() {
  COMP_WORDS=("$@")
  COMP_CWORD=$(($# - 1))
  COMPREPLY=()
  _varnet_cli varnet-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
  printf '%s\n' "${COMPREPLY[@]}"
}

# expect WANTED WORD...: the completion offers exactly WANTED (lines).
expect() {
  local wanted=$1 got
  shift
  got=$(offers "$@")
  if [[ $got != "$wanted" ]]; then
    printf 'FAIL: completing [%s]\n  wanted: %s\n  got:    %s\n' "$*" "${wanted//$'\n'/ | }" "${got//$'\n'/ | }"
    failures=$((failures + 1))
  fi
}

expect 'set' varnet-cli --json se
expect '--dry-run' varnet-cli --port ttyACM0 set --dr
expect '--version' varnet-cli --vers
# A command's own options, and --trace after any command.
expect '--overlay' varnet-cli --port ttyACM0 capture --ov
expect '--trace' varnet-cli info --tr
# A group title with a blank: escaped when typed bare, whole inside a quote.
expect 'Readable\ Symbologies' varnet-cli set Readable
expect 'Readable Symbologies' varnet-cli set '"Readable Sy'
# The option labels of that group, also after a pair and an "off".
expect 'EAN-13' varnet-cli set '"Readable Symbologies"' EAN-1
expect 'Code 128' varnet-cli set '"Scan Mode"' "'Sense Mode'" 'Readable\ Symbologies' QR off 'Readable\ Symbologies' '"Code 12'
expect $'on\noff' varnet-cli set '"Readable Symbologies"' QR o
# Files by the command's extension.
dir=$(mktemp -d)
touch "$dir/golden.vt" "$dir/golden.bmp" "$dir/golden.pdf" "$dir/notes.txt" "$dir/till.yaml"
expect "$dir/golden.vt" varnet-cli --port ttyACM0 import "$dir/g"
expect "$dir/golden.bmp" varnet-cli export-qr "$dir/g"
expect "$dir/golden.pdf" varnet-cli export-sheet --page-size a4 "$dir/g"
expect $'a4\nletter' varnet-cli export-sheet --page-size ''
expect '--page-size' varnet-cli export-sheet --pa
# apply takes profiles and configuration files.
expect "$dir/till.yaml"$'\n'"$dir/golden.vt" varnet-cli apply "$dir/"
mkdir "$dir/shots"
expect "$dir/shots" varnet-cli capture --dir "$dir/sh"
rm -r "$dir"

if ((failures)); then
  echo "$failures completion check(s) failed"
  exit 1
fi
echo "all completion checks passed"
