#!/usr/bin/python
# -*- coding: utf-8 -*-
# SPDX-License-Identifier: Apache-2.0

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r'''
---
module: scanner_facts
short_description: Report the 2D barcode scanners attached to a host
description:
  - Runs C(varnet-cli --json info) on the host and sets the fact C(varnet_scanners), one entry per scanner.
  - Without I(ports), every scanner that discovery finds is reported (USB virtual ports, and serial ports probed
    at the six RS-232 rates); scanners in USB keyboard mode cannot be reached and are listed in C(skipped_rows)
    (a result named C(skipped) would mark the task as skipped).
  - A host where discovery finds no scanner gets an empty list; a port named in I(ports) that does not answer
    fails the task.
  - The module sends nothing but the connection's read requests; it changes nothing on the scanners.
version_added: 1.0.0
author:
  - Varnet developers (@varnet)
requirements:
  - varnet-cli (the varnet package) on the host
options:
  ports:
    description:
      - The scanners' ports, as device names under C(/dev) (C(ttyACM0)) or paths (C(/dev/pts/3)).
      - Left out, every scanner that discovery finds. An empty list names no scanner and reports none.
    type: list
    elements: str
  cli:
    description:
      - The varnet-cli to run, a name looked up in C(PATH) or a path.
    type: str
    default: varnet-cli
attributes:
  check_mode:
    support: full
    description: Reads only; runs the same in check mode.
  diff_mode:
    support: none
    description: Reports, changes nothing.
  facts:
    support: full
    description: Sets C(varnet_scanners).
notes:
  - The scanners answer one connection at a time; do not run this module on a port another program holds open.
seealso:
  - module: varnet.scanners.scanner_config
'''

EXAMPLES = r'''
- name: Gather the scanners of each till
  varnet.scanners.scanner_facts:

- name: Only two known ports, with a varnet-cli outside PATH
  varnet.scanners.scanner_facts:
    ports: [ttyACM0, ttyUSB0]
    cli: /opt/varnet/bin/varnet-cli

- name: Firmware of every scanner
  ansible.builtin.debug:
    msg: "{{ item.port }}: {{ item.model_name }} {{ item.firmware }} ({{ item.serial_number }})"
  loop: "{{ varnet_scanners }}"
'''

RETURN = r'''
ansible_facts:
  description: The facts set on the host.
  returned: always
  type: dict
  contains:
    varnet_scanners:
      description: One entry per scanner, in port order.
      returned: always
      type: list
      elements: dict
      contains:
        port:
          description: The port as varnet-cli named it.
          type: str
          sample: ttyACM0
        device_type:
          description: The device type the scanner answers.
          type: int
          sample: 1
        device_name:
          description: The name of that device type.
          type: str
          sample: 2D Barcode Scanner
        model_name:
          description: The model name from the parameter block.
          type: str
          sample: HS-2D
        model_code:
          description: The model code from the parameter block.
          type: int
          sample: 1
        firmware:
          description: The firmware text (C(Unknow) when the scanner did not answer it).
          type: str
          sample: HS2D-V2.41.07
        serial_number:
          description: The serial number text (C(Unknow) when the scanner did not answer it).
          type: str
          sample: SN2D00012345
        format_block:
          description: Whether the scanner has a format block (output format and trigger settings).
          type: bool
          sample: true
skipped_rows:
  description: Rows discovery found that cannot be reached (scanners in USB keyboard mode).
  returned: always
  type: list
  elements: dict
  sample: [{"row": 1, "message": "skipped: USB keyboard mode"}]
'''

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.varnet.scanners.plugins.module_utils.varnet_cli import (
    EXIT_OK, cli_path, failure_text, run_cli, target_args)

FIELDS = ('port', 'device_type', 'device_name', 'model_name', 'model_code', 'firmware', 'serial_number',
          'format_block')


def main():
    module = AnsibleModule(
        argument_spec=dict(
            ports=dict(type='list', elements='str'),
            cli=dict(type='str', default='varnet-cli'),
        ),
        supports_check_mode=True,
    )
    ports = module.params['ports']
    if ports == []:
        module.exit_json(changed=False, ansible_facts=dict(varnet_scanners=[]), skipped_rows=[])
    cli = cli_path(module, module.params['cli'])
    run = run_cli(module, cli, target_args(ports) + ['info'])

    scanners, failed = [], []
    for obj in run.ports:
        if obj.get('ok', True):
            scanners.append(dict((k, obj.get(k)) for k in FIELDS))
        else:
            failed.append(obj)
    facts = dict(varnet_scanners=scanners)
    if ports is None and run.found_nothing():
        module.exit_json(changed=False, ansible_facts=facts, skipped_rows=run.skipped)
    if failed:
        module.fail_json(msg=failure_text(failed), varnet_scanners=scanners, skipped_rows=run.skipped, rc=run.rc)
    if run.rc != EXIT_OK:
        module.fail_json(msg=run.error_text(), cmd=run.command, rc=run.rc, stderr=run.stderr)
    missing = [p for p in (ports or []) if p not in [s['port'] for s in scanners]]
    if missing:
        module.fail_json(msg='varnet-cli reported nothing for %s' % ', '.join(missing), cmd=run.command,
                         stderr=run.stderr)
    module.exit_json(changed=False, ansible_facts=facts, skipped_rows=run.skipped)


if __name__ == '__main__':
    main()
