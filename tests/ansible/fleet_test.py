#!/usr/bin/python3
# SPDX-License-Identifier: Apache-2.0
"""The varnet.scanners collection on three hosts (local connection), each with two simulated scanners.

  fleet_test.py BUILD_DIR
"""

import json
import os
import signal
import subprocess
import sys
import tempfile
import time

import yaml

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(os.path.dirname(HERE))
EXAMPLE = os.path.join(SOURCE, 'ansible', 'examples', 'fleet.yml')
GOLDEN = os.path.join(SOURCE, 'ansible', 'examples', 'golden.yaml')
HOSTS = ['till-1', 'till-2', 'till-3']
# What a click on Good Read Beep / Off sends; the second scanner of till-3 refuses it.
REFUSED = 'A1 05 0D'
REFUSING = ('till-3', 2)
SAVE = 'A0 08 01'


class Fleet(object):
    """Two simulated scanners per host, each with its own serial number and a log of the frames it receives."""

    def __init__(self, build, work, hosts):
        self.build, self.work, self.hosts = build, work, hosts
        self.sims = {}
        self.syncs = 0
        for host in hosts:
            for n in (1, 2):
                log = os.path.join(work, '%s-%d.frames' % (host, n))
                args = [os.path.join(build, 'varnet-sim'), '--serial', serial(host, n), '--log', log]
                if (host, n) == REFUSING:
                    args += ['--refuse', REFUSED]
                proc = subprocess.Popen(args, stdout=subprocess.PIPE, text=True)
                port = proc.stdout.readline().strip()
                if not port.startswith('/dev/'):
                    sys.exit('varnet-sim did not start: %r' % port)
                self.sims[(host, n)] = (proc, port, log)

    def port(self, host, n):
        return self.sims[(host, n)][1]

    def ports(self, host):
        return [self.port(host, 1), self.port(host, 2)]

    def frames(self):
        """Every frame each scanner has answered so far, one hex line each.

        Each simulator writes its log on its own time; asked with SIGUSR1 it writes what it has and a line
        "sync", so the log is complete once as many of those have come as were asked for."""
        self.syncs += 1
        for proc, _, _ in self.sims.values():
            proc.send_signal(signal.SIGUSR1)
        out = {}
        deadline = time.monotonic() + 60
        for key, (_, _, log) in self.sims.items():
            while True:
                with open(log) as f:
                    lines = f.read().splitlines()
                if lines.count('sync') >= self.syncs or time.monotonic() > deadline:
                    break
                time.sleep(0.02)
            out[key] = [line for line in lines if line != 'sync']
        return out

    def inventory(self, cli):
        path = os.path.join(self.work, 'inventory-%d.json' % len(self.hosts))
        inventory = {'tills': {
            'hosts': dict((h, {'scanner_ports': self.ports(h)}) for h in self.hosts),
            'vars': {'ansible_connection': 'local', 'ansible_python_interpreter': '{{ ansible_playbook_python }}',
                     'varnet_cli': cli}}}
        with open(path, 'w') as f:
            json.dump(inventory, f)
        return path

    def stop(self):
        for proc, _, _ in self.sims.values():
            proc.terminate()
        for proc, _, _ in self.sims.values():
            proc.wait()


def serial(host, n):
    return 'SN-%s-%d' % (host.upper(), n)


def environment(build, work):
    config = os.path.join(work, 'ansible.cfg')  # none of the user's or the current directory's
    open(config, 'w').close()
    env = dict(os.environ)
    env.update(ANSIBLE_COLLECTIONS_PATH=os.path.join(build, 'collections'),
               ANSIBLE_CALLBACK_PLUGINS=os.path.join(HERE, 'callback_plugins'),
               ANSIBLE_CALLBACKS_ENABLED='record', VARNET_RECORD=os.path.join(work, 'record.json'),
               ANSIBLE_CONFIG=config, ANSIBLE_HOME=os.path.join(work, 'home'),
               ANSIBLE_LOCAL_TEMP=os.path.join(work, 'tmp'), ANSIBLE_REMOTE_TEMP=os.path.join(work, 'remote-tmp'),
               ANSIBLE_NOCOLOR='1', ANSIBLE_RETRY_FILES_ENABLED='0', ANSIBLE_DEPRECATION_WARNINGS='0')
    return env


def run_playbook(env, inventory, playbook, *options):
    """ansible-playbook: (exit status, every task's result per host and the stats)."""
    command = ['ansible-playbook', '-i', inventory, playbook] + list(options)
    if os.path.exists(env['VARNET_RECORD']):
        os.remove(env['VARNET_RECORD'])
    proc = subprocess.run(command, env=env, cwd=os.path.dirname(env['ANSIBLE_CONFIG']), capture_output=True, text=True,
                          timeout=240)
    try:
        with open(env['VARNET_RECORD']) as f:
            return proc.returncode, json.load(f)
    except (IOError, ValueError):
        sys.exit('%s left no record (exit status %d):\n%s\n%s'
                 % (' '.join(command), proc.returncode, proc.stdout, proc.stderr))


def task(report, name):
    """Each host's result of the task of that name."""
    for t in report['tasks']:
        if t['name'] == name:
            return t['hosts']
    return {}


class Checks(object):
    def __init__(self):
        self.problems = []

    def expect(self, condition, text):
        if not condition:
            self.problems.append(text)
        return condition


def golden_groups():
    with open(GOLDEN) as f:
        settings = yaml.safe_load(f)['settings']
    return sorted((category, group) for category, groups in settings.items() for group in groups)


def changed_groups(result):
    return sorted((c['category'], c['group']) for c in result['changes'])


def diff_headers(result):
    return sorted(d['before_header'] for d in result.get('diff', []))


def only_reads(frames_before, frames_after, reads):
    """Whether each scanner received nothing but the requests a connection reads with."""
    return all(set(frames_after[k][len(frames_before[k]):]) <= reads for k in frames_after)


def check_fleet(build, work):
    fleet = Fleet(build, work, HOSTS)
    checks = Checks()
    expect = checks.expect
    env = environment(build, work)
    cli = os.path.join(build, 'varnet-cli')
    try:
        inventory = fleet.inventory(cli)
        golden = golden_groups()
        # The frames a connection reads with: what `info` sends.
        subprocess.run([cli, '--port', fleet.port('till-1', 1), 'info'], check=True, capture_output=True)
        reads = set(fleet.frames()[('till-1', 1)])

        # Check mode with diff: the facts, and what would change; nothing sent.
        before = fleet.frames()
        rc, report = run_playbook(env, inventory, os.path.join(HERE, 'fleet_check.yml'), '--check', '--diff')
        expect(rc == 0, 'check run: exit status %d' % rc)
        facts = task(report, 'Gather the scanners')
        found = [(h, s['port'], s['serial_number']) for h in HOSTS
                 for s in facts.get(h, {}).get('ansible_facts', {}).get('varnet_scanners', [])]
        expect(found == [(h, fleet.port(h, n), serial(h, n)) for h in HOSTS for n in (1, 2)],
               'facts: %s' % found)
        planned = task(report, 'Golden profile inline')
        for h in HOSTS:
            r = planned.get(h, {})
            expect(r.get('changed') and not r.get('failed'), '%s: check mode does not say it would change' % h)
            expect([x['port'] for x in r.get('results', [])] == fleet.ports(h), '%s: results %s' % (h, r))
            for x in r.get('results', []):
                expect(x['ok'] and x['changed'] and changed_groups(x) == golden and x.get('frames'),
                       '%s: planned %s' % (h, x))
            expect(diff_headers(r) == sorted('%s: %s / %s' % (p, c, g) for p in fleet.ports(h) for c, g in golden),
                   '%s: diff headers %s' % (h, diff_headers(r)))
            expect(all(d['before'] != d['after'] for d in r.get('diff', [])), '%s: diff %s' % (h, r.get('diff')))
        missing = task(report, 'A port that is not there').get('till-1', {})
        expect(missing.get('failed') and '/dev/varnet-no-such-port' in missing.get('msg', '')
               and [x['ok'] for x in missing.get('results', [])] == [True, False],
               'missing port: %s' % {k: v for k, v in missing.items() if k != 'results'})
        expect(only_reads(before, fleet.frames(), reads), 'check mode sent more than the connection reads')

        # The example playbook: every scanner changes and is saved; run again, nothing changes, nothing is sent.
        before = fleet.frames()
        rc, report = run_playbook(env, inventory, EXAMPLE)
        expect(rc == 0, 'first run: exit status %d' % rc)
        expect(all(report['stats'][h]['changed'] == 1 for h in HOSTS), 'first run: stats %s' % report['stats'])
        applied = task(report, 'Apply the golden profile and save it')
        for h in HOSTS:
            for x in applied.get(h, {}).get('results', []):
                expect(x['ok'] and x['changed'] and x['verified'] and changed_groups(x) == golden,
                       '%s: applied %s' % (h, x))
        after = fleet.frames()
        expect(all(any(SAVE in f for f in after[k][len(before[k]):]) for k in after), 'not saved everywhere')
        firmware = task(report, 'Firmware versions across the fleet')
        lines = [line for r in firmware.values() for entries in r.get('msg', {}).values() for line in entries]
        expect(sorted(line.split()[-1] for line in lines) == sorted(serial(h, n) for h in HOSTS for n in (1, 2)),
               'firmware report: %s' % firmware)

        rc, report = run_playbook(env, inventory, EXAMPLE)
        expect(rc == 0 and all(report['stats'][h]['changed'] == 0 for h in HOSTS),
               'second run: exit status %d, stats %s' % (rc, report['stats']))
        expect(only_reads(after, fleet.frames(), reads), 'second run sent more than the connection reads')
        golden_vt = os.path.join(work, 'golden.vt')
        subprocess.run([cli, '--port', fleet.port('till-1', 1), 'export', golden_vt], check=True, capture_output=True)

        # One more group, refused by one scanner: its host fails, with the other scanner's result.
        rc, report = run_playbook(env, inventory, os.path.join(HERE, 'fleet_refusal.yml'), '--diff',
                                  '-e', 'golden_vt=' + golden_vt)
        stats = report['stats']
        expect(rc == 0 and [stats[h]['ignored'] for h in HOSTS] == [0, 0, 1], 'refusal: stats %s' % stats)
        refusal = task(report, 'Golden profile and Good Read Beep off')
        beep = [('Scan Settings', 'Good Read Beep')]
        for h in HOSTS[:2]:
            r = refusal.get(h, {})
            expect([changed_groups(x) for x in r.get('results', [])] == [beep, beep], '%s: %s' % (h, r))
            expect([(d['before'], d['after']) for d in r.get('diff', [])] == [('On\n', 'Off\n')] * 2,
                   '%s: diff %s' % (h, r.get('diff')))
        back = task(report, 'Back to the golden configuration file')
        for h in HOSTS[:2]:
            expect([(changed_groups(x), x['ok']) for x in back.get(h, {}).get('results', [])] == [(beep, True)] * 2,
                   '%s: back to the file %s' % (h, back.get(h)))
        # Two scanners failing for their own reasons: each reason with its port.
        r = refusal.get('till-3', {})
        refusing = fleet.port(*REFUSING)
        msg = r.get('msg', '')
        expect(r.get('failed') and msg.startswith(refusing + ': Set Failed')
               and '\n/dev/varnet-gone: Open COM Failed\nThe port does not exist' in msg, 'till-3: %s' % msg)
        results = [(x['ok'], x['changed']) for x in r.get('results', [])]
        expect(results == [(True, True), (False, False), (False, False)], 'till-3: results %s' % r.get('results'))
        # One scanner changed, the other matched already: the host changed.
        r = back.get('till-3', {})
        expect(r.get('changed') and [(changed_groups(x), x['changed']) for x in r.get('results', [])]
               == [(beep, True), ([], False)], 'till-3: back to the file %s' % r)
    finally:
        fleet.stop()
    for p in checks.problems:
        print('FAILED: %s' % p)
    return 1 if checks.problems else 0


def main():
    build = os.path.abspath(sys.argv[1])
    if not os.path.isdir(os.path.join(build, 'collections', 'ansible_collections', 'varnet', 'scanners')):
        sys.exit('%s has no collections/ (configure the build first)' % build)
    with tempfile.TemporaryDirectory(prefix='varnet-fleet-') as work:
        return check_fleet(build, work)


if __name__ == '__main__':
    sys.exit(main())
