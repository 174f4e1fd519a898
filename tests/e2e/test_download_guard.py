# End-to-end checks of what guards a download: the user's own wgetrc cannot make wget lay a
# link that a later download writes through (nothing lands outside the archive folder), every
# command runs in a process group that the installer ends on its way out (no wget survives a
# SIGTERM, SIGINT or SIGHUP of the installer), and a wget left running by a killed installer
# keeps the next run from downloading into the same folder.
import os
import signal
import time

import pytest

from test_install import is_menu, open_installation_menu

LABEL = "APPLICATION STATUS= "
TOP = "archive/wallet/current"
DESKTOP_FILE = "corvane-update.desktop"


ENDINGS = (b"APPLICATION STATUS= Installation Complete", b"APPLICATION STATUS= Installation Stopped")


def endings(tui):
    return sum(tui.count_output(e) for e in ENDINGS)


def run_variant_b(tui, timeout=90):
    """Runs variant B (from the top menu or the installation menu); returns its last status
    text (the menu redraws right after it)."""
    if not is_menu(tui.rows()):
        open_installation_menu(tui)
    before = endings(tui)
    tui.send("3")
    deadline = time.monotonic() + timeout
    while endings(tui) <= before:
        assert time.monotonic() < deadline, "variant B did not end\n" + tui.screen_text()
        time.sleep(0.05)
    out = tui.output()
    at = max(out.rfind(e) for e in ENDINGS)
    text = out[at:].split(b"\x1b")[0].split(b"\r")[0].split(b"\n")[0]
    tui.wait_for(lambda rows: is_menu(rows) and rows[21].startswith(LABEL),
                 timeout=30, what="the installation menu again")
    tui.wait_ready()
    return text.decode(errors="replace").rstrip()


def serve_folder(sb):
    """The server's extras/ as a folder holding a launcher, signed by the maker."""
    link = os.path.join(sb.ftp_root, TOP, "extras")
    if os.path.islink(link):
        os.unlink(link)
    os.makedirs(link, exist_ok=True)
    with open(os.path.join(link, DESKTOP_FILE), "w", encoding="utf-8") as f:
        f.write("[Desktop Entry]\nType=Application\nName=update\nExec=/bin/true\n")
    sb.sign_archive()


def serve_link(sb, target):
    os.symlink(target, os.path.join(sb.ftp_root, TOP, "extras"))
    sb.sign_archive()


# How the link reaches the archive folder: listed by the server in one installation (a
# folder of that name follows in the next), or left there by an earlier run.
@pytest.mark.parametrize("how", ["listed by the server", "left by an earlier run"])
def test_a_download_writes_nothing_through_a_link_in_its_archive_folder(tui, how):
    sb = tui.sb
    autostart = os.path.join(sb.home, ".config", "autostart")
    os.makedirs(autostart)
    with open(os.path.join(sb.home, ".wgetrc"), "w", encoding="utf-8") as f:
        f.write("retr_symlinks = off\n")
    # Variant B installs into the home folder: the archive refresh lands in ~/archive/TOP.
    local = os.path.join(sb.home, "archive", TOP)
    tui.start()
    if how == "listed by the server":
        serve_link(sb, autostart)
        run_variant_b(tui)
        assert not os.path.islink(os.path.join(local, "extras"))
    else:
        os.makedirs(local)
        os.symlink(autostart, os.path.join(local, "extras"))
    serve_folder(sb)
    run_variant_b(tui)
    assert os.listdir(autostart) == []
    assert not os.path.islink(os.path.join(local, "extras"))
    assert os.path.isfile(os.path.join(local, "extras", DESKTOP_FILE))


def download_processes(sb):
    """pid: name of every wget or timeout that runs in the sandbox."""
    found = {}
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/comm" % entry) as f:
                name = f.read().strip()
            cwd = os.readlink("/proc/%s/cwd" % entry)
        except OSError:
            continue
        if name in ("wget", "timeout") and cwd.startswith(sb.root):
            found[int(entry)] = name
    return found


def slow_download(sb, tui):
    """Starts variant B against a server that trickles a large file; returns its local path
    once it has begun to grow."""
    big = os.path.join(sb.ftp_root, TOP, "Linux", "big.bin")
    with open(big, "wb") as f:
        f.write(os.urandom(1 << 22))
    sb.config["ftp"]["bytes_per_second"] = 40_000
    sb.save_config()
    sb.start_ftp()
    local = os.path.join(sb.home, "archive", TOP, "Linux", "big.bin")
    open_installation_menu(tui)
    tui.send("3")
    deadline = time.monotonic() + 60
    while not (os.path.exists(local) and os.path.getsize(local) > 0):
        assert time.monotonic() < deadline, "the slow download did not start"
        time.sleep(0.1)
    return local


def gone_within(sb, seconds):
    deadline = time.monotonic() + seconds
    while download_processes(sb) and time.monotonic() < deadline:
        time.sleep(0.1)
    return download_processes(sb)


@pytest.mark.parametrize("sig", [signal.SIGTERM, signal.SIGINT, signal.SIGHUP],
                         ids=["SIGTERM", "SIGINT", "SIGHUP"])
def test_no_wget_outlives_the_installer(tui, sig):
    sb = tui.sb
    tui.start()
    local = slow_download(sb, tui)
    assert download_processes(sb)
    tui.signal(sig)
    tui.exit_status(timeout=10)
    assert gone_within(sb, 5) == {}
    size = os.path.getsize(local)
    time.sleep(1.5)
    assert os.path.getsize(local) == size  # the file stopped growing


def test_a_wget_left_by_a_killed_installer_keeps_the_next_run_out_of_its_folder(tui):
    sb = tui.sb
    tui.start()
    slow_download(sb, tui)
    first = tui.pid
    tui.signal(signal.SIGKILL)  # nothing can end the children after this one
    tui.exit_status(timeout=10)
    survivors = download_processes(sb)
    try:
        assert survivors, "a SIGKILL leaves the download running"
        tui.start()
        status = run_variant_b(tui)
        assert status == LABEL + "Installation Stopped, Download Busy (Process %d)" % first
        assert set(download_processes(sb)) == set(survivors)  # no second wget was started
    finally:
        for pid in survivors:
            try:
                os.kill(pid, signal.SIGKILL)
            except OSError:
                pass
    assert gone_within(sb, 5) == {}
    # Once the old download is gone its lock is taken over.
    sb.config["ftp"].pop("bytes_per_second")
    sb.save_config()
    sb.start_ftp()
    os.unlink(os.path.join(sb.ftp_root, TOP, "Linux", "big.bin"))
    assert "Download Busy" not in run_variant_b(tui)
