# End-to-end checks of the ways out of trouble: Ctrl-C ends a flow and leaves the program in
# its menus, Ctrl-Z and fg give back single-key input, a trickling server is given up after the
# download's overall bound, and no file of the program is written through a planted link.
import os
import time

import pytest

from test_install import MENU_TITLE, is_menu, open_installation_menu
from tmux_session import TOP_HEADER

INTERRUPTED = "APPLICATION STATUS= Interrupted by Ctrl-C, Waiting for user input".ljust(80)
ADVANCED_TITLE = " MAIN MENU-ADVANCED"


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
    tui.send("0")
    assert tui.exit_status() == 0


def test_ctrl_z_then_fg_gives_back_single_keys_and_the_screen(tui):
    tui.start()
    tui.key("C-z", ready=False)
    tui.wait_for(lambda rows: not rows[0].startswith(TOP_HEADER) or "Stopped" in "".join(rows),
                 timeout=10, what="the shell after the stop")
    time.sleep(0.5)
    tui.tmux("send-keys", "-t", "corvane", "fg", "Enter")
    tui.wait_for(lambda rows: rows[0].startswith(TOP_HEADER), timeout=10,
                 what="the top screen drawn again")
    tui.send("8")  # one key, no Enter: the terminal is in single-key mode again
    tui.wait_for(lambda rows: rows[0].startswith(ADVANCED_TITLE), timeout=10,
                 what="the advanced menu")
    tui.send("0")
    tui.wait_for(lambda rows: rows[0].startswith(TOP_HEADER), what="the top screen")
    tui.send("0")
    assert tui.exit_status() == 0


def test_trickling_server_is_stopped_after_the_overall_download_bound(tui):
    """64 bytes a second keeps every network wait short, so only the overall bound (scaled
    down to 5 s here) ends wget; the flow then stops on the missing file."""
    sb = tui.sb
    sb.stop_ftp()
    sb.config["ftp"]["bytes_per_second"] = 64
    sb.save_config()
    sb.start_ftp()
    tui.tmux("send-keys", "-t", "corvane", "export CORVANE_WGET_TIME_LIMIT_SECONDS=5", "Enter")
    tui.start()
    open_installation_menu(tui)
    started = time.monotonic()
    tui.send("3")
    status = ("APPLICATION STATUS= Installation Stopped, Missing File "
              "%s/archive/archive/wallet/current/wallet.ico" % sb.home)
    tui.wait_for(lambda rows: is_menu(rows) and (rows[21] + rows[22]) == status,
                 timeout=120, what="the stop status")
    assert time.monotonic() - started < 80
    assert len(sb.log("wget")) == 1
    tui.send("0")
    tui.wait_for(lambda rows: rows[0].startswith(TOP_HEADER), what="the top screen")
    tui.send("0")
    assert tui.exit_status() == 0


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
                % (sb.program_dir, name)) in tui.screen_text().replace("\n", "")
    else:
        time.sleep(3)
    with open(outside, "rb") as f:
        assert f.read() == b"not the installer's\n"
