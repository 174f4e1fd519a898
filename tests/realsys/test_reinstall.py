# Variant B, the scan with the real find and the reinstall of the picked wallet (variant C),
# the removal afterwards, and the launcher for all users (variant D) with its removal, on a
# real Debian system through the real sudo.
import os

from bed import (TESTER, TESTER_PASSWORD, launcher_problems, open_to_others, snapshot,
                 user_ids)
from tmux_session import TOP_HEADER, listed_paths

HOME = "/home/" + TESTER
INSTALL_MENU_TITLE = " MAIN MENU-INSTALLATION"
AWAITING = "APPLICATION STATUS= Awaiting user input"
COMPLETE = "APPLICATION STATUS= Installation Complete, Awating user input"
SELECTED_MENU_LAST = " > PRESS 3.. TO FULLY INSTALL THE CORVANE WALLET FOR ALL USERS"
FLOW_TIMEOUT = 120
ALL_USERS_LAUNCHER = "/usr/share/applications/Corvane wallet.desktop"
USER_MENU_FOLDERS = (HOME + "/.local", HOME + "/.local/share", HOME + "/.local/share/applications")


def is_top(rows):
    return rows[0].startswith(TOP_HEADER)


def install_menu(tui):
    tui.send("1")
    return tui.wait_for(lambda rows: rows[0].startswith(INSTALL_MENU_TITLE)
                        and rows[21].rstrip() == AWAITING, timeout=20,
                        what="the installation menu")


def back_to_top(tui):
    tui.send("0")
    return tui.wait_for(is_top, timeout=20, what="the top screen")


def home_tree(bed):
    """The home folder without the installer's own folder (its scratch and profile files)."""
    return {p: e for p, e in snapshot(bed, HOME).items()
            if not p.startswith(HOME + "/installer/") and not p.startswith(HOME + "/.wget-hsts")}


def assert_made_for_the_user(bed, before, after):
    uid, gid = user_ids(bed, TESTER)
    made = {p: e for p, e in after.items() if p not in before or before[p] != e}
    assert not sorted(p for p, e in made.items() if open_to_others(e))
    assert not sorted(p for p, e in made.items() if (e[1], e[2]) != (uid, gid))


def test_variant_b_then_the_picked_wallet_reinstalled_then_uninstalled(bed, tui):
    tui.start(password=TESTER_PASSWORD, timeout=30)
    before = home_tree(bed)

    install_menu(tui)
    tui.send("3")
    tui.wait_output_count(COMPLETE, 1, timeout=FLOW_TIMEOUT)
    tui.wait_for(lambda rows: rows[21].rstrip() == AWAITING, timeout=20)
    back_to_top(tui)
    with open(bed.path(HOME + "/wallet"), "rb") as f:
        assert f.read().startswith(b"#!/bin/sh\n# Corvane sample wallet")
    after_b = home_tree(bed)
    assert_made_for_the_user(bed, before, after_b)

    # The scan lists every partition with the real find; the program is one of the finds.
    drawn = tui.count_output(TOP_HEADER)
    tui.send("4")
    rows = tui.wait_for(lambda rows: rows[0].startswith(" FOUND ") and "WALLETS" in rows[0],
                        timeout=FLOW_TIMEOUT, what="the wallets found")
    paths = listed_paths(rows)
    assert HOME + "/wallet" in paths.values(), paths
    pick = next(n for n, p in paths.items() if p == HOME + "/wallet")
    tui.send(str(pick))
    tui.wait_output_count(TOP_HEADER, drawn + 1, FLOW_TIMEOUT)
    tui.send("5")
    rows = tui.wait_for(SELECTED_MENU_LAST, timeout=20)
    assert rows[2] == " CURRENT PATH= " + HOME
    tui.send("2")
    tui.wait_output_count(COMPLETE, 2, timeout=FLOW_TIMEOUT)
    tui.wait_for(SELECTED_MENU_LAST, timeout=20)
    back_to_top(tui)
    after_c = home_tree(bed)
    assert_made_for_the_user(bed, before, after_c)

    install_menu(tui)
    tui.send("9")
    tui.wait_for(lambda rows: rows[21].rstrip() == AWAITING, timeout=30)
    back_to_top(tui)
    after = home_tree(bed)
    # The application-menu folder the installation made for the launcher is the desktop's
    # (other programs put their launchers there too): it stays, empty.
    left = sorted(set(after) - set(before) - set(USER_MENU_FOLDERS))
    # Key 9 keeps wallet.cfg, and the receipt that now lists only it.
    assert left == [HOME + "/wallet.cfg", HOME + "/wallet.receipt"], left
    assert not [p for p in after if p.startswith(USER_MENU_FOLDERS[-1] + "/")]
    assert not sorted(set(before) - set(after))
    tui.send("0")
    assert tui.exit_status() == 0


def test_variant_d_launcher_for_all_users_is_roots_and_key_6_removes_it(bed, tui):
    tui.start(password=TESTER_PASSWORD, timeout=30)
    tui.send("5")
    tui.wait_for(SELECTED_MENU_LAST, timeout=20)
    tui.send("1")
    tui.wait_for("Please specify the target location = ")
    tui.type_line(HOME + "/apps")
    tui.wait_for(" CURRENT PATH= %s/apps/wallet" % HOME, timeout=20)
    tui.send("3")
    tui.answer_plan("y")
    tui.wait_output_count("Installation Complete, Awating user input", 1, timeout=FLOW_TIMEOUT)
    tui.wait_for(SELECTED_MENU_LAST, timeout=20)
    st = os.lstat(bed.path(ALL_USERS_LAUNCHER))
    assert (st.st_uid, st.st_gid, oct(st.st_mode & 0o7777)) == (0, 0, "0o644")
    assert launcher_problems(bed, ALL_USERS_LAUNCHER) is None
    back_to_top(tui)
    drawn = tui.count_output(TOP_HEADER)
    tui.send("6")
    tui.wait_output_count(TOP_HEADER, drawn + 1, timeout=30)
    assert not os.path.lexists(bed.path(ALL_USERS_LAUNCHER))
    tui.send("0")
    assert tui.exit_status() == 0
