#!/usr/bin/python
# -*- coding: utf-8 -*-
# SPDX-License-Identifier: Apache-2.0

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r'''
---
module: scanner_config
short_description: Make a host's 2D barcode scanners match a profile or a configuration file
description:
  - Runs C(varnet-cli --json apply) on the host. For a profile, varnet-cli works out from each scanner's
    settings exactly the changes needed, sends only those, reads the settings back and verifies them; a scanner
    that already matches gets nothing but the connection's read requests. A configuration file (C(.vt)) is
    compared first and imported only into scanners that differ.
  - Everything is checked before anything is sent; an unknown group or option, a group this model does not show,
    or a profile for another model (without I(any_model)) fails the port and sends nothing.
  - In check mode varnet-cli plans the changes and sends none (C(apply --dry-run)); C(changed) says whether
    anything would change, and each port's C(frames) lists what would be sent.
  - In diff mode each changed group is shown with the options in force before and after.
  - A port that fails (the scanner refuses a setting, does not answer, cannot take the profile) fails the task
    with the scanner's message; the results of the other ports are returned beside it.
  - A host where discovery finds no scanner is ok and unchanged, unless I(ports) names some.
version_added: 1.0.0
author:
  - Varnet developers (@varnet)
requirements:
  - varnet-cli (the varnet package) on the host
options:
  profile:
    description:
      - A profile (YAML, C(varnet-profile) 1) as C(varnet-cli profile) writes it.
      - A path on the controller, looked up like the C(src) of M(ansible.builtin.copy) (a role's C(files/),
        the playbook's directory) and copied to the host's temporary directory for the run; vault-encrypted
        files are decrypted. With I(remote_src=true), a path on the host.
    type: path
  profile_content:
    description:
      - The profile as a YAML dictionary written in the playbook (C(varnet-profile), C(model), C(settings)).
      - It is written out with a YAML dumper on the host before it is applied. Unquoted C(On), C(Off), C(Yes),
        C(No) and numbers arrive as booleans and numbers after Ansible's YAML reader; varnet-cli takes them back
        as the labels they stand for, so C(Power On Beep) C(Off) applies as written.
    type: dict
  config_file:
    description:
      - A configuration file (C(.vt)) as C(varnet-cli export) writes it; on the controller unless I(remote_src).
    type: path
  remote_src:
    description:
      - I(profile) or I(config_file) is a path on the host, not on the controller.
    type: bool
    default: false
  ports:
    description:
      - The scanners' ports, as device names under C(/dev) (C(ttyACM0)) or paths (C(/dev/pts/3)).
      - Left out, every scanner that discovery finds (scanners in USB keyboard mode are listed in C(skipped_rows)).
        An empty list names no scanner and changes nothing.
    type: list
    elements: str
  save:
    description:
      - Make the settings permanent after a change that was taken whole and verified (C(--save)). Without it the
        scanner forgets them at the next power cycle.
    type: bool
    default: true
  any_model:
    description:
      - Apply a profile that names another model (C(--any-model)).
    type: bool
    default: false
  jobs:
    description:
      - How many scanners varnet-cli handles at once (C(--jobs)); by default every port given, at most 64.
    type: int
  cli:
    description:
      - The varnet-cli to run, a name looked up in C(PATH) or a path.
    type: str
    default: varnet-cli
attributes:
  check_mode:
    support: full
    description: C(apply --dry-run); nothing is sent to the scanners.
  diff_mode:
    support: full
    description: Before and after of each changed group, per port.
notes:
  - The scanners answer one connection at a time; do not run this module on a port another program holds open.
  - When a change moves a scanner to another output interface, varnet-cli restarts it at the end (C(restart)).
seealso:
  - module: varnet.scanners.scanner_facts
'''

EXAMPLES = r'''
- name: Every scanner of the till as the golden profile says, saved
  varnet.scanners.scanner_config:
    profile: golden.yaml

- name: Two settings written in the playbook, on one port, not saved
  varnet.scanners.scanner_config:
    ports: [ttyACM0]
    save: false
    profile_content:
      varnet-profile: 1
      settings:
        Scan Settings:
          Scan Mode: Sense Mode
          Power On Beep: "Off"

- name: A configuration file already on the host
  varnet.scanners.scanner_config:
    config_file: /etc/varnet/golden.vt
    remote_src: true
    jobs: 4
'''

RETURN = r'''
changed:
  description: Whether any scanner was changed (in check mode, would be).
  returned: always
  type: bool
results:
  description: One entry per scanner, in port order.
  returned: always
  type: list
  elements: dict
  contains:
    port:
      description: The port as varnet-cli named it.
      type: str
      sample: ttyACM0
    ok:
      description: Whether the scanner now holds what was asked (in check mode, whether it could be planned).
      type: bool
    changed:
      description: Whether anything was sent that changed the scanner (in check mode, would be).
      type: bool
    verified:
      description: Whether the settings read back match what was asked.
      type: bool
    changes:
      description: The groups changed (or, in check mode, to be changed), with the options in force before and after.
      type: list
      elements: dict
      sample: [{"category": "Scan Settings", "group": "Scan Mode", "from": ["Level Trigger"], "to": ["Sense Mode"]}]
    message:
      description: varnet-cli's report for this port (on failure, the scanner's message, such as C(Set Failed)).
      type: str
    restart:
      description: Whether the scanner was (or would be) restarted because its output interface changed.
      type: bool
    frames:
      description: In check mode, each frame that would be sent, with what it does and its bytes in hex.
      returned: in check mode, for scanners that would change
      type: list
      elements: dict
      sample: [{"what": "Scan Settings / Scan Mode: Sense Mode", "hex": "05 57 A1 02 02 FE FF"}]
skipped_rows:
  description: Rows discovery found that cannot be reached (scanners in USB keyboard mode).
  returned: always
  type: list
  elements: dict
'''

import json
import os

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.varnet.scanners.plugins.module_utils.varnet_cli import (
    EXIT_OK, cli_path, failure_text, run_cli, target_args)

try:
    import yaml
    HAS_YAML = True
except ImportError:
    HAS_YAML = False

ICF_TAG = b'%ICF%'
RESULT_FIELDS = ('port', 'ok', 'changed', 'verified', 'changes', 'message', 'restart', 'frames')


def write_profile_content(module, content):
    """The inline profile as a file varnet-cli reads. Ansible's YAML reader has already turned On/Off into
    booleans; they are written as booleans, which varnet-cli takes back."""
    path = os.path.join(module.tmpdir, 'profile_content.yaml')
    if HAS_YAML:
        text = yaml.safe_dump(content, default_flow_style=False, sort_keys=False, allow_unicode=True)
    else:
        # JSON is YAML too; only the line numbers of varnet-cli's messages get less useful.
        text = json.dumps(content, indent=2, ensure_ascii=False) + '\n'
    with open(path, 'wb') as f:
        f.write(text.encode('utf-8'))
    return path


def checked_source(module, key):
    """The host path of profile or config_file, after checking it is the kind of file the parameter says."""
    path = module.params[key]
    try:
        with open(path, 'rb') as f:
            head = f.read(len(ICF_TAG))
    except (IOError, OSError) as e:
        module.fail_json(msg='%s: %s: %s' % (key, path, e.strerror))
    if key == 'config_file' and head != ICF_TAG:
        module.fail_json(msg='config_file: %s is not a configuration file (.vt); a profile goes in profile' % path)
    if key == 'profile' and head == ICF_TAG:
        module.fail_json(msg='profile: %s is a configuration file (.vt); give it as config_file' % path)
    return path


def group_diffs(results):
    """Ansible's diff entries: per changed group, the options in force before and after, one per line."""
    diffs = []
    for r in results:
        for c in r['changes'] or []:
            header = '%s: %s / %s' % (r['port'], c.get('category'), c.get('group'))
            lines = dict((side, ''.join('%s\n' % label for label in (c.get(side) or ['(none)'])))
                         for side in ('from', 'to'))
            diffs.append(dict(before_header=header, after_header=header, before=lines['from'], after=lines['to']))
    return diffs


def main():
    sources = ('profile', 'profile_content', 'config_file')
    module = AnsibleModule(
        argument_spec=dict(
            profile=dict(type='path'),
            profile_content=dict(type='dict'),
            config_file=dict(type='path'),
            remote_src=dict(type='bool', default=False),
            ports=dict(type='list', elements='str'),
            save=dict(type='bool', default=True),
            any_model=dict(type='bool', default=False),
            jobs=dict(type='int'),
            cli=dict(type='str', default='varnet-cli'),
        ),
        mutually_exclusive=[sources],
        required_one_of=[sources],
        supports_check_mode=True,
    )
    p = module.params
    if p['jobs'] is not None and p['jobs'] < 1:
        module.fail_json(msg='jobs must be 1 or more')
    if p['ports'] == []:
        module.exit_json(changed=False, results=[], skipped_rows=[])
    cli = cli_path(module, p['cli'])
    if p['profile_content'] is not None:
        source, shown = write_profile_content(module, p['profile_content']), 'profile_content'
    else:
        key = 'profile' if p['profile'] is not None else 'config_file'
        source = shown = checked_source(module, key)

    args = target_args(p['ports'])
    if p['jobs'] is not None:
        args += ['--jobs', str(p['jobs'])]
    if p['save']:
        args.append('--save')
    if p['any_model']:
        args.append('--any-model')
    if module.check_mode:
        args.append('--dry-run')
    run = run_cli(module, cli, args + ['apply', source])

    results = []
    for obj in run.ports:
        r = dict((k, obj[k]) for k in RESULT_FIELDS if k in obj)
        r.setdefault('ok', False)
        r.setdefault('changed', False)
        r.setdefault('verified', False)
        r.setdefault('changes', [])
        r['message'] = r.get('message', '').replace(source, shown)
        results.append(r)
    changed = any(r['changed'] for r in results)
    out = dict(changed=changed, results=results, skipped_rows=run.skipped)
    if module._diff:
        out['diff'] = group_diffs([r for r in results if r['changed']])

    if p['ports'] is None and run.found_nothing():
        module.exit_json(msg='no scanner found', **out)
    if any(not r['ok'] for r in results):
        module.fail_json(msg=failure_text(results), rc=run.rc, **out)
    if run.rc != EXIT_OK:
        module.fail_json(msg=run.error_text().replace(source, shown), cmd=run.command, rc=run.rc, **out)
    missing = [port for port in (p['ports'] or []) if port not in [r['port'] for r in results]]
    if missing:
        module.fail_json(msg='varnet-cli reported nothing for %s' % ', '.join(missing), stderr=run.stderr, **out)
    module.exit_json(**out)


if __name__ == '__main__':
    main()
