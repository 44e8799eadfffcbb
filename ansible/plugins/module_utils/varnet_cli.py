# -*- coding: utf-8 -*-
# SPDX-License-Identifier: Apache-2.0
"""Runs varnet-cli with --json and reads its output.

The modules know no scanner protocol: everything they report comes from the
lines varnet-cli prints, one JSON object per port (or skipped row) each.
"""

from __future__ import absolute_import, division, print_function

__metaclass__ = type

import json
import os

# varnet-cli's exit statuses.
EXIT_OK = 0
EXIT_FAILED = 1
EXIT_USAGE = 2

# What varnet-cli says when discovery finds no scanner it can reach.
NO_SCANNER = 'no scanner found'


class CliRun(object):
    """One run of varnet-cli: its exit status, its JSON lines and standard error."""

    def __init__(self, command, rc, objects, stderr):
        self.command = command
        self.rc = rc
        self.objects = objects
        self.stderr = stderr

    @property
    def ports(self):
        """The per-port objects, in port order."""
        return [o for o in self.objects if 'port' in o]

    @property
    def skipped(self):
        """Rows discovery found but cannot reach (scanners in USB keyboard mode)."""
        return [{'row': o['row'], 'message': o.get('message', '')}
                for o in self.objects if 'row' in o and 'port' not in o]

    def found_nothing(self):
        """True when discovery found no scanner to run on (not an error for a host without scanners)."""
        return self.rc == EXIT_FAILED and not self.ports and NO_SCANNER in self.stderr

    def error_text(self):
        """Standard error without the program's name in front, for a task's message."""
        lines = [line[len('varnet-cli: '):] if line.startswith('varnet-cli: ') else line
                 for line in self.stderr.splitlines() if line.strip()]
        return '\n'.join(lines) or 'varnet-cli exited with status %d' % self.rc


def cli_path(module, cli):
    """The varnet-cli to run: a path as given, or a name looked up in PATH. Fails the module otherwise."""
    if os.sep in cli:
        if os.path.isfile(cli) and os.access(cli, os.X_OK):
            return cli
        module.fail_json(msg='%s: no such executable (cli)' % cli)
    path = module.get_bin_path(cli)
    if path is None:
        module.fail_json(msg='%s not found in PATH: install the varnet package on the host, or set cli' % cli)
    return path


def target_args(ports):
    """--port for each port named; every scanner discovery finds when none are."""
    if ports is None:
        return ['--all']
    args = []
    for port in ports:
        args += ['--port', port]
    return args


def run_cli(module, cli, args):
    """Runs varnet-cli --json ARGS and parses every line it prints. Fails the module on a line that is not JSON."""
    command = [cli, '--json'] + list(args)
    rc, out, err = module.run_command(command)
    objects = []
    for line in out.splitlines():
        line = line.strip()
        if not line:
            continue
        try:
            obj = json.loads(line)
        except ValueError:
            obj = None
        if not isinstance(obj, dict):
            module.fail_json(msg='varnet-cli printed a line that is not a JSON object: %s' % line[:200],
                             cmd=command, rc=rc, stdout=out, stderr=err)
        objects.append(obj)
    return CliRun(command, rc, objects, err)


def failure_text(results):
    """One line per failed port; a message all of them share (a file both read) is said once."""
    failed = [r for r in results if not r.get('ok', True)]
    messages = [r.get('message') or 'failed' for r in failed]
    if len(failed) > 1 and len(set(messages)) == 1:
        return '%s: %s' % (', '.join(r['port'] for r in failed), messages[0])
    return '\n'.join('%s: %s' % (r['port'], m) for r, m in zip(failed, messages))
