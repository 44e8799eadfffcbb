# -*- coding: utf-8 -*-
# SPDX-License-Identifier: Apache-2.0
"""Action for scanner_config: a profile or configuration file named on the controller goes to the host first.

Golden profiles live beside the playbook (or in a role's files/), not on every till, so the file is looked up
like copy's src, decrypted if vaulted, copied into the task's temporary directory on the host under its own
name (varnet-cli tells a profile from a .vt file by its extension), and the module runs on that copy; the
directory goes when the task ends. With remote_src the path is the host's and nothing is copied.
"""

from __future__ import absolute_import, division, print_function

__metaclass__ = type

import os

from ansible.errors import AnsibleAction, AnsibleActionFail, AnsibleError
from ansible.module_utils.common.text.converters import to_text
from ansible.module_utils.parsing.convert_bool import boolean
from ansible.plugins.action import ActionBase


class ActionModule(ActionBase):

    TRANSFERS_FILES = True

    def run(self, tmp=None, task_vars=None):
        result = super(ActionModule, self).run(tmp, task_vars)
        del tmp  # the task's temporary directory is self._connection._shell.tmpdir
        args = self._task.args.copy()
        key = next((k for k in ('profile', 'config_file') if args.get(k) is not None), None)
        copied = None
        try:
            if key and not boolean(args.get('remote_src', False), strict=False):
                try:
                    local = self._loader.get_real_file(self._find_needle('files', args[key]), decrypt=True)
                except AnsibleError as e:
                    raise AnsibleActionFail(to_text(e))
                shell = self._connection._shell
                copied = shell.join_path(shell.tmpdir, os.path.basename(args[key]))
                try:
                    self._transfer_file(local, copied)
                finally:
                    self._loader.cleanup_tmp_file(local)  # the decrypted copy of a vaulted file
                self._fixup_perms2((shell.tmpdir, copied))
                args[key] = copied
            result.update(self._execute_module(module_name='varnet.scanners.scanner_config', module_args=args,
                                               task_vars=task_vars))
        except AnsibleAction as e:
            result.update(e.result)
        finally:
            self._remove_tmp_path(self._connection._shell.tmpdir)
        if copied:
            # Messages name the file the playbook named, not the temporary copy.
            original = self._task.args[key]
            if 'msg' in result:
                result['msg'] = to_text(result['msg']).replace(copied, original)
            for r in result.get('results') or []:
                if isinstance(r, dict) and 'message' in r:
                    r['message'] = to_text(r['message']).replace(copied, original)
        return result
