#!/usr/bin/python3
# SPDX-License-Identifier: Apache-2.0
"""The example Ansible playbook (ansible/examples/fleet.yml) over three tills and over one, two simulated
scanners each, local connection: the first run (every scanner changed and saved) and the second (nothing to
change), each the median of RUNS.

  bench/ansible_fleet.py [BUILD_DIR [RUNS]]     after make build; defaults: build, 5
"""

import os
import statistics
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), 'tests', 'ansible'))
from fleet_test import EXAMPLE, HOSTS, Fleet, environment, run_playbook  # noqa: E402


def main():
    build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else 'build')
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 5
    cli = os.path.join(build, 'varnet-cli')
    with tempfile.TemporaryDirectory(prefix='varnet-fleet-') as work:
        env = environment(build, work)
        for hosts in (HOSTS[:1], HOSTS):
            first, second = [], []
            for _ in range(runs):
                fleet = Fleet(build, work, hosts)
                try:
                    inventory = fleet.inventory(cli)
                    for times in (first, second):
                        start = time.monotonic()
                        rc, _ = run_playbook(env, inventory, EXAMPLE)
                        times.append(time.monotonic() - start)
                        if rc != 0:
                            sys.exit('the example playbook failed')
                finally:
                    fleet.stop()
            print('%d host(s), %d scanners: first run %.2f s, second run %.2f s (median of %d)'
                  % (len(hosts), 2 * len(hosts), statistics.median(first), statistics.median(second), runs))


if __name__ == '__main__':
    main()
