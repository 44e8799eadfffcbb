#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Soak run (not part of make test): 10,000 Image Mode captures through the
# main window's timer tick and 1,000 connect/disconnect cycles against the
# simulated scanner. Fails when resident memory grows by more than 2 MiB
# after the warm-up or a descriptor or thread is left behind.
#   bench/soak.sh [--captures N] [--cycles N]
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD:-build}
make --no-print-directory build >/dev/null
cmake --build "$BUILD" --target varnet-soak -j"${JOBS:-2}" >/dev/null
echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//'), $(uname -sr)"
# Capture files go to a runtime directory of this run's own.
runtime=$(mktemp -d)
trap 'rm -rf "$runtime"' EXIT
QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$runtime" "$BUILD/bench/varnet-soak" "$@"
