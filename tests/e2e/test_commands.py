# End-to-end checks of the commands for scripts (no terminal, no tmux): install lays what
# installation menu key 2 lays, a failing stand-in ends in exit status 1 with the step named,
# --dry-run changes nothing and lists what it would run, uninstall removes by receipt, scan
# names the sandbox's wallets (as JSON too), and --password-stdin reaches sudo's standard
# input and nothing else.
import json
import os
import signal
import subprocess
import time

import pytest

from install_helpers import run_installation, tree
from sandbox import Sandbox, descendants
from test_hardening import wait_log
from test_install import apt_runs, sudo_commands
from test_scan import make_wallet

ESCAPE = "\x1b"


def command(sb, *args, stdin=b"", timeout=240):
    r = subprocess.run([sb.program, *args], cwd=sb.home, env=sb.env(), input=stdin,
                       stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=timeout)
    return r.returncode, r.stdout.decode(errors="replace"), r.stderr.decode(errors="replace")


def layout(sb):
    """What an installation laid below the home folder: each path (relative) with its kind and
    mode; the installer's own folder aside."""
    out = {}
    for path, what in tree(sb.home, skip=(sb.program_dir,)).items():
        rel = os.path.relpath(path, sb.home)
        out[rel] = what.split(" ")[0] + " " + what.split(" ")[1] if " " in what else what
    return out


def whole_tree(sb):
    """Every path of the sandbox but its logs, with its content and mode."""
    return tree(sb.root, skip=(os.path.dirname(sb.log_file), sb.asan_dir))


def test_install_lays_what_installation_key_2_lays_and_prints_a_line_per_step(tui):
    sb = tui.sb
    status, out, err = command(sb, "install")
    assert status == 0, out + err
    assert ESCAPE not in out + err
    lines = out.splitlines()
    assert lines and all(line[:6] in ("[ ok ]", "[skip]", "[note]") for line in lines), out
    for step in ("make folders", "download", "check the archive", "copy program",
                 "write launcher", "record wallet.cfg", "system packages", "receipt"):
        assert any(line.startswith("[ ok ] " + step) for line in lines), (step, out)
    by_command = layout(sb)
    with Sandbox.up() as menu_sb:
        from tmux_session import TmuxSession
        menu = TmuxSession(menu_sb)
        try:
            run_installation(menu, "A", "default")
        finally:
            menu.close()
        assert by_command == layout(menu_sb)


@pytest.mark.parametrize("case", ["apt-get fails", "server down"])
def test_a_failing_step_ends_with_status_1_and_is_named(sandbox, case):
    if case == "apt-get fails":
        sandbox.set_packages(failing={"gcc": 100})
        line = "[FAIL] system package: gcc (apt-get exit status 100)"
    else:
        sandbox.server_down()
        line = "[FAIL] download: "
    status, out, err = command(sandbox, "install")
    assert status == 1, out + err
    assert any(l.startswith(line) for l in out.splitlines()), out
    quiet = command(sandbox, "install", "--quiet")
    assert quiet[0] == 1 and quiet[1] and all(l.startswith("[FAIL]") for l in quiet[1].splitlines())


def test_dry_run_changes_nothing_and_lists_what_it_would_make_and_run(sandbox):
    assert command(sandbox, "install", "--no-packages")[0] == 0
    before = whole_tree(sandbox)
    logged = len(sandbox.log())
    status, out, _ = command(sandbox, "uninstall", "--dry-run")
    assert status == 0
    assert "[plan] remove %s/wallet/wallet" % sandbox.home in out.splitlines()
    status, out, _ = command(sandbox, "install", "--dry-run", "--all-users")
    assert status == 0
    assert whole_tree(sandbox) == before
    assert all(e["tool"] in ("dpkg", "dpkg-query", "apt-cache", "apt-get", "lsb_release")
               and (e["tool"] != "apt-get" or "--print-uris" in e["argv"])
               for e in sandbox.log()[logged:]), sandbox.log()[logged:]
    lines = out.splitlines()
    assert "[plan] folder %s/wallet" % sandbox.home in lines
    assert "[plan] file %s/wallet/wallet.cfg" % sandbox.home in lines
    assert "[plan] launcher /usr/share/applications/Corvane wallet.desktop (as root)" in lines
    assert any(l.startswith("[plan] command ") and "dpkg -i -- " in l for l in lines)
    assert any(l.startswith("[plan] command ") and "apt-get -y install " in l for l in lines)


def test_uninstall_takes_what_the_receipt_lists(sandbox):
    assert command(sandbox, "install", "--no-packages")[0] == 0
    ap = os.path.join(sandbox.home, "wallet")
    status, out, _ = command(sandbox, "uninstall", "--keep-record")
    assert status == 0, out
    assert not os.path.exists(os.path.join(ap, "wallet"))
    assert os.path.isfile(os.path.join(ap, "wallet.cfg"))
    assert "[ ok ] removed %s/wallet" % ap in out.splitlines()
    status, out, _ = command(sandbox, "uninstall")
    assert status == 0 and not os.path.exists(ap), out


def test_scan_names_the_wallets_one_a_line_and_as_json(sandbox):
    make_wallet(os.path.join(sandbox.mounts[0], "apps"))
    odd = os.path.join(sandbox.mounts[1], "new\nline")
    make_wallet(odd)
    status, out, _ = command(sandbox, "scan")
    assert status == 0
    lines = out.splitlines()
    assert os.path.join(sandbox.mounts[0], "apps", "wallet", "wallet") in lines
    # A name with a line feed stays on its line, escaped.
    assert os.path.join(sandbox.mounts[1], "new\\nline", "wallet", "wallet") in lines
    status, out, _ = command(sandbox, "scan", "--json")
    assert status == 0
    doc = json.loads(out)
    assert os.path.join(odd, "wallet", "wallet") in doc["wallets"]
    assert {p["mount"] for p in doc["partitions"]} >= set(sandbox.mounts)
    assert doc["drives"]


PASSWORD = "Pa55-Xyzzy-7q"


def test_password_from_standard_input_reaches_sudo_and_nothing_else(sandbox):
    sandbox.set_sudo(password=PASSWORD)
    status, out, err = command(sandbox, "install", "--password-stdin", "--no-packages",
                               stdin=PASSWORD.encode() + b"\n")
    assert status == 0, out + err
    sudo = sandbox.log("sudo")
    assert sudo and all(e["stdin"] == PASSWORD + "\n" for e in sudo if "-kS" in e["argv"])
    assert [c[0] for c in sudo_commands(sandbox, "dpkg")] == ["-i", "-i"]
    assert apt_runs(sandbox) == []
    assert not any(PASSWORD in " ".join(e["argv"]) for e in sandbox.log())
    # (The sandbox's own configuration holds it, as sudo's would: the installer's folders not.)
    for path, _ in tree(sandbox.home, *sandbox.mounts).items():
        if os.path.isfile(path) and not os.path.islink(path):
            with open(path, "rb") as f:
                assert PASSWORD.encode() not in f.read(), path


@pytest.mark.parametrize("args, message", [
    (["install", "--bogus"], "install: unrecognised argument '--bogus'"),
    (["scan", "--path", "x"], "scan: unrecognised argument '--path'"),
    (["install", "--path"], "--path needs a value"),
    (["install", "--user", "nobody-here"], "--user nobody-here: no such user"),
])
def test_usage_errors_end_with_status_2_and_change_nothing(sandbox, args, message):
    before = whole_tree(sandbox)
    status, out, err = command(sandbox, *args)
    assert (status, out) == (2, "")
    assert err.startswith("installWalletForLinux: " + message + "\n"), err
    assert whole_tree(sandbox) == before


def alive(pid):
    """A process that runs (not one ended and waiting to be reaped)."""
    try:
        with open("/proc/%d/stat" % pid) as f:
            return f.read().rsplit(")", 1)[1].split()[0] != "Z"
    except OSError:
        return False


def test_a_command_that_is_ended_ends_what_it_runs(sandbox):
    sandbox.set_tool("apt-get", seconds=60)  # the lists' refresh takes its time
    p = subprocess.Popen([sandbox.program, "install"], cwd=sandbox.home, env=sandbox.env(),
                         stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                         stderr=subprocess.DEVNULL)
    try:
        wait_log(sandbox, "apt-get", 1)  # the lists' refresh runs
        running = descendants(p.pid)
        assert running
        p.send_signal(signal.SIGTERM)
        assert p.wait(timeout=20) == -signal.SIGTERM
        deadline = time.monotonic() + 20
        while any(alive(pid) for pid in running):
            assert time.monotonic() < deadline, "a command outlived the installer"
            time.sleep(0.1)
    finally:
        if p.poll() is None:
            p.kill()
