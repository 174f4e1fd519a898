# An Ansible connection into a real-system test bed: every command runs through the bed's
# own way in (nsenter into its namespaces, chroot into its root), as root there; files go in
# and out through cat. The inventory names the way in as a JSON argv in the variable
# bed_enter.
import json
import shlex
import subprocess

from ansible.plugins.connection import ConnectionBase

DOCUMENTATION = """
name: bed
short_description: run commands inside a real-system test bed
description:
  - Runs commands through nsenter and chroot into the bed, as root.
options:
  bed_enter:
    description: the argv that enters the bed, as JSON
    vars:
      - name: bed_enter
"""


class Connection(ConnectionBase):
    transport = "bed"
    has_pipelining = True

    def _enter(self):
        # The inventory's value arrives read already (a list), or as its JSON text.
        value = self.get_option("bed_enter")
        return value if isinstance(value, list) else json.loads(value)

    def _connect(self):
        self._connected = True
        return self

    def exec_command(self, cmd, in_data=None, sudoable=True):
        super().exec_command(cmd, in_data=in_data, sudoable=sudoable)
        p = subprocess.run(self._enter() + ["/bin/sh", "-c", cmd], input=in_data,
                           capture_output=True, timeout=600)
        return p.returncode, p.stdout, p.stderr

    def put_file(self, in_path, out_path):
        super().put_file(in_path, out_path)
        with open(in_path, "rb") as f:
            subprocess.run(self._enter() + ["/bin/sh", "-c", "cat > " + shlex.quote(out_path)],
                           stdin=f, check=True, timeout=60)

    def fetch_file(self, in_path, out_path):
        super().fetch_file(in_path, out_path)
        with open(out_path, "wb") as f:
            subprocess.run(self._enter() + ["/bin/sh", "-c", "cat " + shlex.quote(in_path)],
                           stdout=f, check=True, timeout=60)

    def close(self):
        self._connected = False
