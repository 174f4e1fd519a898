# End-to-end checks of the ways out of trouble: Ctrl-C ends a flow and leaves the program in
# its menus, Ctrl-Z and fg give back single-key input and a redrawn screen, a trickling server
# is given up at the download's overall bound, and no file of the program is written through a
# planted link.
import os
import subprocess
import time

import pytest

from test_install import is_menu, open_installation_menu
from tmux_session import TOP_HEADER

INTERRUPTED = "APPLICATION STATUS= Interrupted by Ctrl-C, Waiting for user input".ljust(80)
ADVANCED_TITLE = " MAIN MENU-ADVANCED"


def tty_flags(tty):
    """The words of `stty -a` on the pane's terminal, as it is set right now."""
    out = subprocess.run(["stty", "-a", "-F", tty], capture_output=True, text=True,
                         timeout=10, check=True).stdout
    return set(out.replace(";", " ").split())


def process_state(pid):
    with open("/proc/%d/stat" % pid) as f:
        return f.read().rsplit(")", 1)[1].split()[0]


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
    tui.answer_plan("y")
    wait_log(sb, "apt-get", 2)  # the plan's estimate, then the lists' refresh
    tui.key("C-c", ready=False)
    tui.wait_for(lambda rows: rows[0].startswith(TOP_HEADER) and rows[21] == INTERRUPTED,
                 timeout=20, what="the top screen with the interrupted status")
    time.sleep(1)
    assert len(sb.log("apt-get")) == 2  # nothing of the flow ran after the interrupted command
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
    elif name == "tempout.txt":
        # The survey's captures go to tempout.txt; the scan's screen follows once they ran.
        tui.wait_output_count("SCANNING PARTITIONS FOR WALLETS", 1, timeout=60)
        assert sb.log("udevadm"), "the survey captured nothing"
    else:
        rows = tui.wait_for(lambda rows: "runlog.txt DELETED" in rows[21], timeout=20,
                            what="the run log's deletion")
        assert rows[21].rstrip() == (" APPLICATION STATUS= runlog.txt DELETED, "
                                     "Waiting for user input")
        assert not os.path.lexists(os.path.join(sb.program_dir, name))  # the link, not its target
    with open(outside, "rb") as f:
        assert f.read() == b"not the installer's\n"


def test_ctrl_z_then_fg_gives_back_single_keys_and_a_redrawn_screen(tui):
    """The pane's shell does job control: Ctrl-Z stops the program's job and gives the user
    back the line mode, fg continues it in single-key mode with the screen drawn again."""
    tui.start(one_job=True)
    tty = tui.pane_tty()
    assert {"-icanon", "-echo"} <= tty_flags(tty)
    drawn = tui.count_output(TOP_HEADER)
    tui.key("C-z", ready=False)
    tui.wait_for(lambda rows: any("Stopped" in r for r in rows), what="the shell's stop notice")
    assert process_state(tui.pid) == "T"
    assert {"icanon", "echo"} <= tty_flags(tty)  # the user's own settings while stopped
    tui.tmux("send-keys", "-t", "corvane", "fg", "Enter")
    tui.wait_output_count(TOP_HEADER, drawn + 1)
    tui.wait_for(lambda rows: rows[0].startswith(TOP_HEADER) and
                 rows[21].startswith("APPLICATION STATUS= "), what="the top screen drawn again")
    assert {"-icanon", "-echo"} <= tty_flags(tty)
    tui.send("8")  # one key, no Enter
    tui.wait_for(lambda rows: rows[0].startswith(ADVANCED_TITLE), what="the advanced menu")
    tui.send("0")
    tui.wait_for(lambda rows: rows[0].startswith(TOP_HEADER), what="the top screen")
    tui.send("0")
    assert tui.exit_status() == 0
    before, after = tui.stty()
    assert after == before


def wget_processes(root):
    """Pids of wget processes working in the sandbox."""
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            if (os.readlink("/proc/%s/exe" % entry) == "/usr/bin/wget"
                    and os.readlink("/proc/%s/cwd" % entry).startswith(root)):
                found.append(int(entry))
        except OSError:
            continue
    return found


def test_trickling_server_is_given_up_at_the_overall_download_bound(tui):
    """At 64 bytes a second no network wait of wget ever runs out; only the overall bound
    (lowered to 5 s here) ends the download. The flow stops with its status instead of
    installing the files the download cut short, and no wget is left running."""
    sb = tui.sb
    sb.stop_ftp()
    icon = os.path.join(sb.ftp_root, "archive/wallet/current/wallet.ico")
    with open(icon, "ab") as f:
        f.write(bytes(4096))  # more than the bound lets through
    sb.config["ftp"]["bytes_per_second"] = 64
    sb.save_config()
    sb.start_ftp()
    tui.tmux("send-keys", "-t", "corvane", "export CORVANE_WGET_TIME_LIMIT_SECONDS=5", "Enter")
    tui.start()
    open_installation_menu(tui)
    tui.send("3")
    status = "APPLICATION STATUS= Installation Stopped, Download Timed Out After 5 Seconds"
    rows = tui.wait_for(lambda rows: is_menu(rows) and rows[21].rstrip() == status,
                        timeout=60, what="the stop status")
    assert all(len(r) <= 80 for r in rows)
    assert len(sb.log("wget")) == 1
    assert not wget_processes(sb.root)
    # Nothing installed into the installation path (HOME): neither icon nor program.
    assert not os.path.exists(os.path.join(sb.home, "wallet.ico"))
    assert not os.path.exists(os.path.join(sb.home, "wallet"))
    tui.send("0")
    tui.wait_for(lambda rows: rows[0].startswith(TOP_HEADER), what="the top screen")
    tui.send("0")
    assert tui.exit_status() == 0
