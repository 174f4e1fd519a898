# End-to-end checks that every installation starts: for each variant and kind of installation
# path, every launcher the flow wrote starts the program that the installation put in place,
# its Icon names the copied icon, and the top menu's key "3" starts it too. Besides: the
# folders the installer makes belong to the user and nobody else can write them, root never
# installs a package others could have changed, and a link planted at a launcher's place is
# not followed.
import os
import stat

import pytest

from install_helpers import (LAUNCHER, at_top, launcher_icon, launcher_program, ran,
                             run_installation, run_program, summary_items, written_launchers)
from test_install import is_menu, open_installation_menu
from tmux_session import TOP_HEADER

CASES = [
    # variant, kind of installation path, where the copy puts the program (relative to IP)
    ("A", "default", "wallet/wallet"),
    ("B", "default", "wallet"),
    ("B", "after-variant-A-folders", "wallet/wallet"),
    ("B", "typed-blanks", "wallet"),
    ("C", "typed-slash", "wallet"),
    ("C", "picked", "wallet"),
    ("D", "typed", "wallet"),
]


@pytest.mark.parametrize("variant,kind,program", CASES,
                         ids=["%s-%s" % (v, k) for v, k, _ in CASES])
def test_every_launcher_and_key_3_start_the_installed_program(tui, variant, kind, program):
    sb = tui.sb
    if kind == "after-variant-A-folders":
        # What variant A leaves behind it: HOME/wallet is a folder, so cp puts the program
        # into it.
        os.makedirs(os.path.join(sb.home, "wallet", "archive"))
    ip = run_installation(tui, variant, "default" if kind.startswith("after") else kind)
    program = os.path.join(ip, program)
    assert os.access(program, os.X_OK), program
    with open(os.path.join(sb.ftp_root, "current", "wallet.ico"), "rb") as f:
        icon_bytes = f.read()

    launchers = written_launchers(sb)
    expected = {"D": 1}.get(variant, 2)
    assert len(launchers) == expected, sorted(launchers)
    for name, content in launchers.items():
        argv = launcher_program(content, os.path.join(sb.root, "check.desktop"))
        assert ran(run_program(sb, argv), program), (name, argv)
        with open(launcher_icon(content), "rb") as f:
            assert f.read() == icon_bytes, name

    # Key "3" of the top menu, in a run of its own after variant A (HOME/wallet/wallet),
    # in the same run otherwise (the installation this run made).
    if variant == "A":
        tui.start()
    before = len(sb.wallet_runs())
    tui.send("3")
    tui.wait_for(lambda rows: len(sb.wallet_runs()) > before, what="the wallet to run")
    assert ran(sb.wallet_runs()[before:], program)
    at_top(tui)
    tui.send("0")
    assert tui.exit_status() == 0


def test_folders_the_installer_makes_are_the_users_and_closed_to_others(tui):
    sb = tui.sb
    before = set()
    for dirpath, dirnames, _ in os.walk(sb.root):
        before.update(os.path.join(dirpath, d) for d in dirnames)
    ip = run_installation(tui, "B", "typed-blanks")
    made = []
    for dirpath, dirnames, _ in os.walk(sb.root):
        made += [os.path.join(dirpath, d) for d in dirnames
                 if os.path.join(dirpath, d) not in before
                 and not os.path.join(dirpath, d).startswith(sb.run_dir)]
    assert os.path.join(ip, "archive") in made
    for folder in made:
        st = os.lstat(folder)
        want = 0o700 if folder.endswith("/tellerData") else 0o755
        assert (oct(stat.S_IMODE(st.st_mode)), st.st_uid) == (oct(want), os.getuid()), folder
    # The user's own files are made executable by the installer itself, not through sudo.
    for path in (os.path.join(ip, "wallet"), os.path.join(sb.desktop, LAUNCHER)):
        st = os.lstat(path)
        assert stat.S_IMODE(st.st_mode) == 0o755 and st.st_uid == os.getuid(), path
    ran_by_root = [e["argv"] for e in sb.log("sudo") if e.get("ran")]
    assert not [a for a in ran_by_root if "chmod" in a or "cp" in a], ran_by_root
    tui.send("0")
    assert tui.exit_status() == 0


def test_package_below_a_folder_others_can_write_is_refused_before_dpkg(tui):
    sb = tui.sb
    linux = os.path.join(sb.home, "wallet/archive/wallet/current/Linux")
    os.makedirs(linux)
    os.chmod(linux, 0o777)  # another local user could swap the .deb in here
    tui.start()
    open_installation_menu(tui)
    tui.send("2")
    tui.answer_plan("y")
    # The package fails alone: the rest of the installation goes on, the summary names it.
    assert tui.exit_status(timeout=150) == 1
    items = summary_items(tui.rows())
    for deb in ("libminiupnpc18_2.2.8-2+b2_amd64.deb", "miniupnpc18_2.2.8-2+b2_amd64.deb"):
        assert " FAILED  install package: %s/%s (others can change it)" % (linux, deb) in items
    # dpkg is asked what is installed, but never given a package.
    assert [e["argv"] for e in sb.log("dpkg") if "-i" in e["argv"]] == []


def test_link_planted_at_a_launchers_place_is_not_followed(tui):
    sb = tui.sb
    victims = {}
    menu = os.path.join(sb.home, ".local/share/applications")
    os.makedirs(menu)
    for folder in (sb.desktop, menu):
        victim = os.path.join(sb.root, "victim-%d" % len(victims))
        with open(victim, "w") as f:
            f.write("private\n")
        os.chmod(victim, 0o600)
        os.symlink(victim, os.path.join(folder, LAUNCHER))
        victims[victim] = os.path.join(folder, LAUNCHER)
    run_installation(tui, "B", "default")
    for victim, launcher in victims.items():
        with open(victim) as f:
            assert f.read() == "private\n", victim
        assert stat.S_IMODE(os.lstat(victim).st_mode) == 0o600, victim
        assert stat.S_ISREG(os.lstat(launcher).st_mode), launcher
    tui.send("0")
    assert tui.exit_status() == 0
