# SPDX-License-Identifier: Apache-2.0
"""Every task's result per host and the play's stats, written as JSON to $VARNET_RECORD when the playbook ends.

ansible-core has no JSON callback of its own (ansible.posix has, and Debian's ansible-core does not ship it).
"""

from __future__ import absolute_import, division, print_function

__metaclass__ = type

import json
import os

from ansible.plugins.callback import CallbackBase


class CallbackModule(CallbackBase):
    CALLBACK_VERSION = 2.0
    CALLBACK_TYPE = 'notification'
    CALLBACK_NAME = 'record'
    CALLBACK_NEEDS_ENABLED = True

    def __init__(self):
        super(CallbackModule, self).__init__()
        self.tasks = []

    def v2_playbook_on_task_start(self, task, is_conditional):
        self.tasks.append({'name': task.get_name(), 'hosts': {}})

    def record(self, result, failed=False):
        # An ignored failure reaches callbacks without its "failed".
        self.tasks[-1]['hosts'][result._host.get_name()] = dict(result._result, failed=failed)

    def v2_runner_on_failed(self, result, ignore_errors=False):
        self.record(result, failed=True)

    v2_runner_on_ok = v2_runner_on_skipped = v2_runner_on_unreachable = record

    def v2_playbook_on_stats(self, stats):
        summary = dict((host, stats.summarize(host)) for host in sorted(stats.processed))
        with open(os.environ['VARNET_RECORD'], 'w') as f:
            json.dump({'tasks': self.tasks, 'stats': summary}, f, default=str)
