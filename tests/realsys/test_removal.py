# Removal on a real Debian system through the real sudo, with a second local user (newbie)
# who owns the folder the installation path lies in (0755) and changes it while tester removes
# the installation: a link to /usr/bin put where the wallet folder was, or a folder of
# newbie's own with files at the installation's names. Nothing outside the installation goes,
# root is never asked to remove anything there, and the status names the link or the folder.
import hashlib
import os

import pytest

from bed import NEWCOMER, TESTER, TESTER_PASSWORD, snapshot
from tmux_session import TOP_HEADER

PARENT = "/srv/wallets"  # newbie's, 0755
IP = PARENT + "/wallet"  # the installation path that tester types
CONFIRM = " > PRESS y..TO DELETE THESE FILES, ANY OTHER KEY TO KEEP THEM"
SELECTED_MENU_LAST = " > PRESS 3.. TO FULLY INSTALL THE CORVANE WALLET FOR ALL USERS"
INSTALL_MENU_TITLE = " MAIN MENU-INSTALLATION"
STOPPED_LINK = "APPLICATION STATUS= Removal stopped, a link stands at " + IP
STOPPED_OTHERS = "APPLICATION STATUS= Removal stopped, others can change " + PARENT


def lay_installation(bed, with_receipt):
    """An installation in IP as variants B to D lay it, made by tester (the folder made by
    root, as the installer's fallback does, and given to tester); its wget is a copy of the
    system's, so that a removal that followed the link would find the very content it laid."""
    bed.run("mkdir -p %s && chown %s: %s && chmod 0755 %s" % (PARENT, NEWCOMER, PARENT, PARENT))
    bed.run("mkdir %s && chown %s: %s" % (IP, TESTER, IP))
    bed.run("cd %s && cp /usr/bin/wget wget && printf 'program\\n' > wallet && chmod 0755 wallet"
            " && printf 'icon\\n' > wallet.ico && printf 'record\\n' > wallet.cfg" % IP,
            user=TESTER)
    if with_receipt:
        lines = ["corvane-receipt 1"]
        for name in ("wget", "wallet", "wallet.ico", "wallet.cfg"):
            with open(bed.path(IP + "/" + name), "rb") as f:
                lines.append("file %s %s/%s" % (hashlib.sha256(f.read()).hexdigest(), IP, name))
        bed.run("cat > %s/wallet.receipt" % IP, user=TESTER, stdin="\n".join(lines) + "\n")


def choose_installation_path(tui):
    tui.send("5")
    tui.wait_for(SELECTED_MENU_LAST, timeout=20)
    tui.send("1")
    tui.wait_for("Please specify the target location = ")
    tui.type_line(PARENT)
    tui.wait_for(" CURRENT PATH= " + IP, timeout=20)
    tui.send("0")
    tui.wait_for(lambda rows: rows[0].startswith(TOP_HEADER), timeout=20, what="the top screen")


def swap_in_link(bed):
    bed.run("cd %s && mv wallet wallet.old && ln -s /usr/bin wallet" % PARENT, user=NEWCOMER)


def swap_in_folder(bed):
    """newbie's own folder in place of the wallet folder, with files at the installation's
    names that tester may not remove: only root could, inside a folder newbie can change."""
    bed.run("cd %s && mv wallet wallet.old && mkdir wallet && cd wallet && cp /usr/bin/wget wget"
            " && printf 'program\\n' > wallet && printf 'icon\\n' > wallet.ico" % PARENT,
            user=NEWCOMER)


CASES = [
    # key, receipt, newbie's change, the status after the removal
    ("7", True, "link", STOPPED_LINK),
    ("7", False, "folder", STOPPED_OTHERS),
    ("9", False, "link", None),
]


@pytest.mark.parametrize("key,with_receipt,change,status", CASES,
                         ids=["key%s-%s-%s" % (k, "receipt" if r else "names", c)
                              for k, r, c, _ in CASES])
def test_another_users_change_makes_root_remove_nothing(bed, tui, key, with_receipt, change,
                                                       status):
    lay_installation(bed, with_receipt)
    system = snapshot(bed, "/usr/bin")
    with open(bed.path("/usr/bin/wget"), "rb") as f:
        wget = f.read()
    tui.start(password=TESTER_PASSWORD, timeout=30)
    choose_installation_path(tui)
    swap = swap_in_link if change == "link" else swap_in_folder
    if key == "7":
        tui.send("7")  # the top menu's "delete all files"
        tui.wait_for(lambda rows: CONFIRM in rows, timeout=20, what="the question")
        swap(bed)  # while the question waits
        tui.send("y")
    else:
        swap(bed)
        tui.send("1")
        tui.wait_for(lambda rows: rows[0].startswith(INSTALL_MENU_TITLE), timeout=20)
        tui.send("9")
    try:
        rows = tui.wait_for(lambda rows: " > PRESS ANY KEY TO GO BACK" in rows, timeout=20,
                            what="the page that says what stopped the removal or what it kept")
    finally:
        # Nothing of the system went, whatever the screen says.
        assert snapshot(bed, "/usr/bin") == system, "something of /usr/bin went"
    if status:
        assert rows[21].startswith(status), rows
    else:
        assert any(r.rstrip().endswith("(a link in its path)") for r in rows), rows
    tui.send("x")
    with open(bed.path("/usr/bin/wget"), "rb") as f:
        assert f.read() == wget
    assert os.path.islink(bed.path(IP)) == (change == "link")
    if change == "folder":
        for name in ("wget", "wallet", "wallet.ico"):
            assert os.path.exists(bed.path(IP + "/" + name)), name
    # What tester laid, now in newbie's renamed folder, was not reached through the new path.
    assert os.path.exists(bed.path(PARENT + "/wallet.old/wallet"))


def test_variant_d_then_uninstall_leaves_no_launcher_that_starts_nothing(bed, tui):
    """Key 9 after variant D takes the launcher for all users too (root's, through the real
    sudo): it would start a program that is gone."""
    home = "/home/" + TESTER
    launcher = "/usr/share/applications/Corvane wallet.desktop"
    tui.start(password=TESTER_PASSWORD, timeout=30)
    tui.send("5")
    tui.wait_for(SELECTED_MENU_LAST, timeout=20)
    tui.send("1")
    tui.wait_for("Please specify the target location = ")
    tui.type_line(home + "/apps")
    tui.wait_for(" CURRENT PATH= %s/apps/wallet" % home, timeout=20)
    tui.send("3")
    tui.answer_plan("y")
    tui.wait_output_count("Installation Complete, Awating user input", 1, timeout=120)
    tui.wait_for(SELECTED_MENU_LAST, timeout=20)
    assert os.path.isfile(bed.path(launcher))
    tui.send("0")
    tui.wait_for(lambda rows: rows[0].startswith(TOP_HEADER), timeout=20, what="the top screen")
    tui.send("1")
    tui.wait_for(lambda rows: rows[0].startswith(INSTALL_MENU_TITLE), timeout=20)
    drawn = tui.count_output(INSTALL_MENU_TITLE)
    tui.send("9")
    tui.wait_output_count(INSTALL_MENU_TITLE, drawn + 1, timeout=30)
    assert not os.path.exists(bed.path(home + "/apps/wallet/wallet"))
    assert not os.path.lexists(bed.path(launcher))
    tui.send("0")
    tui.wait_for(lambda rows: rows[0].startswith(TOP_HEADER), timeout=20, what="the top screen")
    tui.send("0")
    assert tui.exit_status() == 0
