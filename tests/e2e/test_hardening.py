# End-to-end checks of the ways out of trouble: Ctrl-C ends a flow and leaves the program in
# its menus, and no file of the program is written through a planted link.
import os
import time

import pytest

from test_install import open_installation_menu
from tmux_session import TOP_HEADER

INTERRUPTED = "APPLICATION STATUS= Interrupted by Ctrl-C, Waiting for user input".ljust(80)


def wait_log(sb, tool, count, timeout=120):
    deadline = time.monotonic() + timeout
    while len(sb.log(tool)) < count:
        assert time.monotonic() < deadline, "no %d %s calls in the shim log" % (count, tool)
        time.sleep(0.1)


def test_ctrl_c_during_provisioning_ends_the_flow_at_the_menu(tui):
    sb = tui.sb
    sb.set_tool("apt-get", seconds=60)  # a package installation that takes its time
    tui.start()
    open_installation_menu(tui)
    tui.send("2")
    wait_log(sb, "apt-get", 1)
    tui.key("C-c", ready=False)
    tui.wait_for(lambda rows: rows[0].startswith(TOP_HEADER) and rows[21] == INTERRUPTED,
                 timeout=20, what="the top screen with the interrupted status")
    time.sleep(1)
    assert len(sb.log("apt-get")) == 1  # nothing of the flow ran after the interrupted command
    assert tui.running()
    # (The run line's subshell took the Ctrl-C as well and is gone, so the pane's shell holds
    # the keyboard from here on: the program's own exit cannot be driven further.)


@pytest.mark.parametrize("name,keys", [
    ("installWalletForLinux.cfg", "4"),  # the survey rewrites the profile
    ("tempout.txt", "4"),                # the survey's captures
    ("runlog.txt", "84"),                # advanced menu: clear the run log
])
def test_a_link_planted_in_the_program_folder_leaves_its_target_unchanged(tui, name, keys):
    sb = tui.sb
    outside = os.path.join(sb.root, "outside.txt")  # outside the sandbox home
    with open(outside, "wb") as f:
        f.write(b"not the installer's\n")
    os.symlink(outside, os.path.join(sb.program_dir, name))
    tui.start()
    for k in keys:
        tui.send(k)
    if name == "installWalletForLinux.cfg":
        assert tui.exit_status(timeout=120) == 1
        assert ("cannot open or create file %s/%s: a symbolic link stands there"
                % (sb.program_dir, name)) in "".join(row.rstrip() for row in tui.rows())
    else:
        time.sleep(3)
    with open(outside, "rb") as f:
        assert f.read() == b"not the installer's\n"
