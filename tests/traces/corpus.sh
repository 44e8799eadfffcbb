#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Wire traces that became tests. An entry NAME is three files:
#   NAME.trace  the wire trace varnet-cli wrote (VARNET_TRACE)
#   NAME.args   the arguments it ran with, one a line
#   NAME.out    what it printed: standard output, then "--- standard error"
#               and its lines when there were any, then "--- exit status N"
# with placeholders for what changes from run to run: {PORT1}, {PORT2}... the
# ports in the order the trace opens them, {DIR} a scratch folder, {HERE} this
# folder (for input files), {TIME} a date and time, {STAMP} the YYYYmmdd-HHMMSS
# of a file name.
#
#   corpus.sh BUILD NAME   replays NAME.trace (varnet-sim --replay), runs the
#                          command against it, compares what it prints
# scripts/record-traces records the corpus anew (and sources this file);
# demo-setting-mode.trace, the desktop program's, is replayed by
# tests/gui/app_demo_replay_test.cpp.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
work=$(mktemp -d)
sims=()
cleanup() {
  for pid in "${sims[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

# The ports a trace opens, in the order it first opens them.
traced_ports() { sed -nE 's/^ *[0-9]+\.[0-9]{3} ([^ ]+) open at .*/\1/p' "$1" | awk '!seen[$0]++'; }

# Starts varnet-sim with the given arguments and waits for the N paths it prints.
start_sim() {
  local out=$1 n=$2
  shift 2
  "$build/varnet-sim" "$@" >"$out" 2>"$out.err" &
  sims+=($!)
  for _ in $(seq 100); do
    [ "$(wc -l <"$out")" -ge "$n" ] && return 0
    sleep 0.05
  done
  echo "varnet-sim $* printed no port" >&2
  cat "$out.err" >&2
  return 1
}

# Placeholders to values: {PORTn} from the array `ports`.
fill() {
  local s=$1 i
  for i in "${!ports[@]}"; do s=${s//"{PORT$((i + 1))}"/${ports[$i]}}; done
  s=${s//"{DIR}"/$work/dir}
  printf '%s' "${s//"{HERE}"/$here}"
}

# Values to placeholders, in what varnet-cli printed.
normalize() {
  local i args=() p
  for i in "${!ports[@]}"; do
    p=${ports[$i]}
    # As given, as the port's tag in file names (pts-4), and bare (pts/4).
    args+=(-e "s#${p}\\b#{PORT$((i + 1))}#g" -e "s#${p#/dev/}\\b#{PORT$((i + 1))}#g")
    p=${p#/dev/}
    args+=(-e "s#${p//\//-}\\b#{PORT$((i + 1))}#g")
  done
  sed -E "${args[@]}" -e "s#$work/dir#{DIR}#g" -e "s#$here#{HERE}#g" \
    -e 's#[0-9]{4}-[0-9]{2}-[0-9]{2}[ T][0-9]{2}:[0-9]{2}:[0-9]{2}(\.[0-9]+)?([+-][0-9]{2}:?[0-9]{2})?#{TIME}#g' \
    -e 's#[0-9]{8}-[0-9]{6}#{STAMP}#g'
}

# Runs varnet-cli with the entry's arguments (placeholders filled) and writes
# what it printed to $work/printed, normalized. Extra environment first.
run_cli() {
  local name=$1 line args=() status=0
  shift
  while IFS= read -r line; do args+=("$(fill "$line")"); done <"$here/$name.args"
  mkdir -p "$work/dir"
  env "$@" "$build/varnet-cli" "${args[@]}" >"$work/stdout" 2>"$work/stderr" </dev/null || status=$?
  {
    cat "$work/stdout"
    if [ -s "$work/stderr" ]; then
      echo "--- standard error"
      cat "$work/stderr"
    fi
    echo "--- exit status $status"
  } | normalize >"$work/printed"
}

# Stops the last simulator started, after giving it up to $1 s to end by
# itself (a replay ends once played out); its exit status.
stop_sim() {
  local pid=${sims[-1]} status=0
  for _ in $(seq $((${1:-0} * 20))); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.05
  done
  kill "$pid" 2>/dev/null || true
  wait "$pid" || status=$?
  unset 'sims[-1]'
  return "$status"
}

check() {
  local name=$1 status=0
  mapfile -t traced < <(traced_ports "$here/$name.trace")
  start_sim "$work/ptys" "${#traced[@]}" --replay "$here/$name.trace"
  mapfile -t ports <"$work/ptys"
  run_cli "$name"
  stop_sim 10 || status=$?
  if [ "$status" != 0 ]; then
    echo "$name: the replay ended with status $status:" >&2
    cat "$work/ptys.err" >&2
  fi
  diff -u --label "$name.out" --label "printed" "$here/$name.out" "$work/printed" || status=1
  return "$status"
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  build=$(cd "${1:?the build folder}" && pwd)
  check "${2:?the entry}"
fi
