#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# The example Ansible playbook (ansible/examples/fleet.yml) over three tills
# and over one, two simulated scanners each, local connection: the first run
# (every scanner changed and saved) and the second (nothing to change).
#   bench/ansible_fleet.sh [RUNS]     after make build; RUNS defaults to 5
set -euo pipefail
cd "$(dirname "$0")/.."
exec tests/ansible/fleet_test.py "${BUILD:-build}" --time "${1:-5}"
