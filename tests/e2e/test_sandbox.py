# The sandbox itself: the shims must answer like the real tools where tests rely on it, and
# must never let a command touch anything outside the sandbox; and the try-it command built on
# it.
import os
import signal
import subprocess

import pytest

from sandbox import (SECOND_ACCOUNT, SECOND_PASSWORD, ARCHIVE_PASSWORD, descendants, fixture_text,
                     format_df)

FIXTURE_DF_ROWS = [
    ("/dev/nvme0n1p2", "458G", "113G", "323G", "26%", "/"),
    ("udev", "7.8G", "0", "7.8G", "0%", "/dev"),
    ("tmpfs", "1.6G", "0", "1.6G", "0%", "/run"),
    ("tmpfs", "7.9G", "90M", "7.8G", "2%", "/dev/shm"),
    ("tmpfs", "5.0M", "4.0K", "5.0M", "1%", "/run/lock"),
    ("tmpfs", "1.6G", "100K", "1.6G", "1%", "/run/user/1000"),
    ("/dev/loop0", "128K", "128K", "0", "100%", "/snap/bare/5"),
    ("/dev/loop1", "64M", "64M", "0", "100%", "/snap/core20/2318"),
    ("/dev/loop2", "74M", "74M", "0", "100%", "/snap/core22/1380"),
    ("/dev/loop3", "39M", "39M", "0", "100%", "/snap/snapd/21759"),
    ("/dev/loop4", "91M", "91M", "0", "100%", "/snap/gtk-common-themes/1535"),
    ("/dev/sdb1", "511M", "6.1M", "505M", "2%", "/boot/efi"),
    ("/dev/sda1", "1.8T", "1.7T", "9.5G", "100%", "/media/user/My Disk"),
]


def sh(sandbox, command, stdin=None, cwd=None):
    return subprocess.run(["/bin/sh", "-c", command], env=sandbox.env(), input=stdin,
                          capture_output=True, text=True, cwd=cwd or sandbox.program_dir,
                          timeout=60)


def test_df_layout_is_that_of_gnu_df():
    assert format_df(FIXTURE_DF_ROWS) == fixture_text("df-ubuntu-desktop.txt")


def test_default_df_lists_two_sandbox_mounts_a_snap_and_a_tmpfs(sandbox):
    out = sh(sandbox, "sudo -kS df -h 2>/dev/null | grep dev/", "pw\n").stdout.splitlines()
    mounts = [line.split()[-1] for line in out]
    assert mounts == [sandbox.mounts[0], "/dev/shm", "/snap/bare/5", sandbox.mounts[1]]
    assert all(os.path.isdir(m) for m in sandbox.mounts)


@pytest.mark.parametrize("command,ran,outside", [
    ("sudo -kS mkdir -p {root}/home/made", True, None),
    ("sudo -kS mkdir -p /var/tmp/corvane-must-not-exist", False, "/var/tmp/corvane-must-not-exist"),
    ("sudo -kS cp {root}/home/a /etc/corvane-must-not-exist", False, "/etc/corvane-must-not-exist"),
    ("sudo -S mv wallet.desktop /usr/share/applications", False, None),
    ("sudo -S -k chmod -R ugo+rwx --reference=/etc/passwd {root}/home", False, None),
    ("sudo -S apt-get -y install gnome-terminal", True, None),  # a shim: always runs
    ("sudo -kS usermod -aG sudo tester", True, None),
])
def test_sudo_runs_only_inside_the_sandbox(sandbox, command, ran, outside):
    command = command.format(root=sandbox.root)
    r = sh(sandbox, command, "secret\nrest\n")
    entry = sandbox.log("sudo")[-1]
    assert entry["stdin"] == "secret\n"
    assert entry["ran"] is ran
    assert r.stderr.startswith("[sudo] password for tester: ")
    if outside:
        assert not os.path.exists(outside)
    if command.endswith("/home/made"):
        assert os.path.isdir(os.path.join(sandbox.home, "made"))
    tool = command.split()[2] if command.split()[2] != "-k" else command.split()[3]
    if tool in ("apt-get", "usermod"):
        assert sandbox.log(tool)[-1]["argv"] == command.split()[3:]


@pytest.mark.parametrize("args,probe_rc,stderr", [
    ("-vn", 1, "sudo: a password is required\n"),
    ("-n -v", 1, "sudo: a password is required\n"),
    ("-v", 1, "sudo: a password is required\n"),
])
def test_sudo_probe_answers_as_configured(sandbox, args, probe_rc, stderr):
    r = sh(sandbox, "sudo %s" % args)
    assert (r.returncode, r.stderr) == (probe_rc, stderr)
    sandbox.set_sudo(probe_stderr=fixture_text("sudo-vn-stderr-not-in-sudoers.txt"), probe_rc=1)
    r = sh(sandbox, "sudo %s 2> tempout.txt; cat tempout.txt" % args)
    assert "Sorry" in r.stdout
    sandbox.set_sudo(probe_stderr="", probe_rc=0)
    assert sh(sandbox, "sudo %s" % args).returncode == 0


def test_sudo_with_a_configured_password_refuses_others(sandbox):
    sandbox.set_sudo(password="right")
    os.makedirs(os.path.join(sandbox.home, "x"))
    assert sh(sandbox, "sudo -kS rmdir %s/x" % sandbox.home, "wrong\n").returncode == 1
    assert os.path.isdir(os.path.join(sandbox.home, "x"))
    assert sh(sandbox, "sudo -kS rmdir %s/x" % sandbox.home, "right\n").returncode == 0
    assert not os.path.exists(os.path.join(sandbox.home, "x"))


def test_sudo_without_S_only_records_with_the_piped_text(sandbox):
    line = "ttf-mscorefonts-installer msttcorefonts/accepted-mscorefonts-eula select true"
    assert sh(sandbox, "echo %s | sudo debconf-set-selections" % line).returncode == 0
    entry = sandbox.log("sudo")[-1]
    assert (entry["argv"], entry["stdin"], entry["ran"]) == (["debconf-set-selections"],
                                                             line + "\n", False)
    assert sandbox.log("debconf-set-selections") == []


@pytest.mark.parametrize("command,rc,stdout,stderr", [
    ("hdparm -I /dev/sda 2>/dev/null | grep 'Serial Number' | awk '{ print $3 }'", 0,
     "S3Z2NB0K612345L\n", ""),
    ("hdparm -I /dev/sdz", 2, "", fixture_text("hdparm-I-missing-device-stderr.txt")),
    ("udevadm info /dev/sda | grep ID_BUS", 0, "E: ID_BUS=ata\n", ""),
    ("udevadm info /dev/sdb -a | grep speed", 0, fixture_text("udevadm-attr-speed-usb2.txt"), ""),
    ("udevadm info /dev/sdz", 1, "", fixture_text("udevadm-info-missing-device-stderr.txt")),
    ("lsb_release -a 2>&1", 0, fixture_text("lsb-release-debian-12.txt"), ""),
    ("lsb_release -sr", 0, "12\n", ""),
    ("su -c 'apt install sudo'", 1, "", "su: Authentication failure\n"),
])
def test_canned_tools_answer_like_the_real_ones(sandbox, command, rc, stdout, stderr):
    r = sh(sandbox, command)
    assert (r.returncode, r.stdout, r.stderr) == (rc, stdout, stderr)


def test_every_call_is_logged_with_its_parent(sandbox):
    sh(sandbox, "xterm -e /x/wallet; gedit runlog.txt")
    entries = sandbox.log()
    assert [(e["tool"], e["argv"]) for e in entries] == [("xterm", ["-e", "/x/wallet"]),
                                                         ("gedit", ["runlog.txt"])]
    assert entries[0]["parent"] == "/bin/sh -c xterm -e /x/wallet; gedit runlog.txt"


# The sample archive as its maker signs it: the files, their sums and the sums' signature.
SIGNED = ["SHA256SUMS", "SHA256SUMS.gpg"]
ARCHIVE_FILES = sorted(["wallet.ico", "tellers", "Linux/wallet",
                        "Linux/libminiupnpc18_2.2.8-2+b2_amd64.deb",
                        "Linux/miniupnpc18_2.2.8-2+b2_amd64.deb"] + SIGNED)


def listing(folder):
    return sorted(os.path.relpath(os.path.join(d, f), folder)
                  for d, _, files in os.walk(folder) for f in files)


def test_wget_reaches_the_local_server_with_both_accounts(sandbox):
    host = sandbox.deploy["CORVANE_ARCHIVE_SERVER_HOST"]
    account = sandbox.deploy["CORVANE_ARCHIVE_SERVER_ACCOUNT"]
    work = os.path.join(sandbox.home, "w")
    os.makedirs(work)
    sh(sandbox, 'wget -N -r -R "" -e robots=off -nH --level=0 --no-parent --reject=index.html*  '
       '--user=%s --password=%s ftp://%s/archive/wallet/current' % (account, ARCHIVE_PASSWORD,
                                                                     host), cwd=work)
    assert listing(os.path.join(work, "archive/wallet/current")) == ARCHIVE_FILES
    entry = sandbox.log("wget")[-1]
    assert entry["argv"][-1] == "ftp://%s/archive/wallet/current" % host
    assert entry["rewritten"][-1].startswith("ftp://127.0.0.1:")
    second = sandbox.deploy["CORVANE_SECOND_SERVER_HOST"]
    sh(sandbox, "wget -r -e robots=off -nH --progress=bar:force  --level=0 --no-parent "
       "--reject=index.html*  --user=%s --password=%s ftp://%s/current > /dev/null"
       % (SECOND_ACCOUNT, SECOND_PASSWORD, second), cwd=work)
    assert listing(os.path.join(work, "current")) == sorted(
        ["Linux/wallet", "tellers", "wallet.ico"] + SIGNED)
    # The sample wallet says that it ran (wget does not keep the mode; the installer chmods).
    subprocess.run(["/bin/sh", os.path.join(work, "current/Linux/wallet"), "arg"], check=True)
    assert sandbox.wallet_runs() == ["sample wallet ran: %s arg"
                                     % os.path.join(work, "current/Linux/wallet")]


@pytest.mark.parametrize("situation", ["bad password", "server down"])
def test_wget_fails_when_it_should(sandbox, situation):
    if situation == "server down":
        sandbox.server_down()
    password = "nope" if situation == "bad password" else SECOND_PASSWORD
    r = sh(sandbox, "wget -r -nH --tries=1 --user=%s --password=%s ftp://%s/current"
           % (SECOND_ACCOUNT, password, sandbox.deploy["CORVANE_SECOND_SERVER_HOST"]))
    assert r.returncode != 0
    assert not os.path.exists(os.path.join(sandbox.program_dir, "current"))


def installer_below(pid):
    for p in descendants(pid):
        try:
            if os.readlink("/proc/%d/exe" % p).endswith("/home/installer/installWalletForLinux"):
                return p
        except OSError:
            continue
    return None


def test_try_it_keeps_its_opening_text_until_enter_and_names_an_interruption(sandbox):
    # The try-it command in a terminal: its opening lines stay until Enter (the installer's
    # first screen would wipe them), and an installer ended by Ctrl-C is said to be so.
    from tmux_session import PASSWORD_PROMPT, TmuxSession
    repo = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    binary = os.path.abspath(sandbox.binary)
    tui = TmuxSession(sandbox)
    try:
        tui.type_line("/usr/bin/python3 %s %s" % (os.path.join(repo, "tests/sandbox/try_it.py"),
                                                  binary))
        rows = tui.wait_for("Press Enter to start the installer", timeout=60)
        pane = int(tui.tmux("display-message", "-p", "-t", "corvane", "#{pane_pid}"))
        assert any("any text will do" in r for r in rows)
        assert any("1 installs, 8 shows help and 0 leaves" in r for r in rows)
        assert installer_below(pane) is None, "started before a key"
        tui.key("Enter", ready=False)
        tui.wait_for(PASSWORD_PROMPT, timeout=30)
        installer = installer_below(pane)
        assert installer is not None
        os.kill(installer, signal.SIGINT)
        tui.wait_for("The installer was interrupted (Ctrl-C).", timeout=30)
        assert not any("status -2" in r for r in tui.rows())
    finally:
        tui.close()
