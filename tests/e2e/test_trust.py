# End-to-end checks of what reaches root: an archive without a good signature goes to dpkg
# (or into the launcher for all users) only after the y of apt's question, no being the
# default; a signed archive older than the installed one is a rollback, installed only after
# a y. A no stops the flow before root touches anything of the archive.
import os
import time

import pytest

from sandbox import DEB_FILES
from test_install import (AWAITING, apt_runs, dpkg_runs_but_queries, is_menu,
                          open_installation_menu, sudo_commands)
from install_helpers import SELECTED_LAST_ENTRY, at_top
from test_scan import status_at_row_21
from tmux_session import shown_rows

LABEL = "APPLICATION STATUS= "
QUESTION = " Install these packages without verification? [y/N]"
ROLLBACK_QUESTION = " Install this older archive over the newer one? [y/N]"
DAY = 86400


def dpkg_runs(sb):
    return [a[-1] for a in sudo_commands(sb, "dpkg")]


def installed_launchers_for_all(sb):
    return [e["argv"][-1] for e in sb.log("install")]


# (name, how the server's archive is made, the key answered, whether root gets the packages,
# the stop status when it does not)
UNVERIFIED_CASES = [
    ("signature stripped, n", lambda sb: sb.strip_signature(), "n", False,
     "Installation Stopped, Not Authenticated (not signed)"),
    ("signature stripped, Enter", lambda sb: sb.strip_signature(), "Enter", False,
     "Installation Stopped, Not Authenticated (not signed)"),
    ("no sums at all, n", lambda sb: sb.unsign_archive(), "n", False,
     "Installation Stopped, Not Authenticated (no SHA256SUMS)"),
    ("signature stripped, y", lambda sb: sb.strip_signature(), "y", True, None),
]


@pytest.mark.parametrize("name,prepare,answer,installs,stop", UNVERIFIED_CASES,
                         ids=[c[0] for c in UNVERIFIED_CASES])
def test_variant_a_hands_an_unauthenticated_archive_to_dpkg_only_after_yes(
        tui, name, prepare, answer, installs, stop):
    sb = tui.sb
    prepare(sb)
    tui.start()
    open_installation_menu(tui)
    tui.send("2")
    tui.answer_plan("y")
    rows = shown_rows(tui.wait_for(QUESTION, timeout=90))
    assert " WARNING: The following packages cannot be authenticated!" in rows
    for deb in DEB_FILES:
        assert "   " + deb in rows
    assert dpkg_runs(sb) == []  # asked before root saw anything
    if answer == "Enter":
        tui.key("Enter")
    else:
        tui.send(answer)
    current = os.path.join(sb.home, "wallet", "archive/wallet/current")
    if installs:
        assert tui.exit_status(timeout=150) == 0
        assert dpkg_runs(sb) == [os.path.join(current, "Linux", d) for d in DEB_FILES]
        return
    tui.wait_for(lambda rows: is_menu(rows) and (rows[21] + rows[22]).rstrip() == LABEL + stop,
                 timeout=30, what="the stop in the installation menu")
    assert dpkg_runs(sb) == [] and dpkg_runs_but_queries(sb) == []
    assert apt_runs(sb) == []
    assert not os.path.exists(os.path.join(sb.home, "wallet", "wallet.cfg"))
    tui.send("x")
    tui.wait_for(lambda rows: is_menu(rows) and rows[21] == AWAITING, what="the redrawn menu")


@pytest.mark.parametrize("answer", ["n", "y"])
def test_the_launcher_for_all_users_of_an_unauthenticated_archive_waits_for_yes(tui, answer):
    """Selected-wallet key 3: root installs the launcher for every user only after a y."""
    sb = tui.sb
    sb.strip_signature()
    tui.start()
    tui.send("5")
    tui.wait_for(SELECTED_LAST_ENTRY)
    tui.send("3")
    tui.answer_plan("y")  # the plan's yes first; the question of the archive after it
    rows = shown_rows(tui.wait_for(QUESTION, timeout=90))
    assert any(r.startswith("   the launcher for all users of ") for r in rows)
    assert installed_launchers_for_all(sb) == []
    tui.send(answer)
    if answer == "y":
        tui.wait_for(lambda rows: "Installation Complete, Awating user input"
                     in status_at_row_21(rows) and SELECTED_LAST_ENTRY in rows, 60,
                     what="the installation's end")
        launchers = installed_launchers_for_all(sb)
        assert len(launchers) == 1 and launchers[0].startswith("/usr/share/applications/")
    else:
        tui.wait_for(lambda rows: "Installation Stopped, Not Authenticated (not signed)"
                     in status_at_row_21(rows) and SELECTED_LAST_ENTRY in rows, 60,
                     what="the stop in the selected-wallet menu")
        assert installed_launchers_for_all(sb) == []
    tui.send("0")
    at_top(tui)


@pytest.mark.parametrize("answer", ["n", "y"])
def test_a_signed_archive_older_than_the_installed_one_waits_for_yes(tui, answer):
    sb = tui.sb
    ap = os.path.join(sb.home, "wallet")
    os.makedirs(ap)
    # The installation there came from an archive signed ten days from now.
    installed_at = int(time.time()) + 10 * DAY
    with open(os.path.join(ap, "wallet.receipt"), "w", encoding="utf-8") as f:
        f.write("corvane-receipt 1\nsigned-at %d\n" % installed_at)
    users_wallet = sb.install_sample_wallet(ap)
    with open(users_wallet, "rb") as f:
        before = f.read()
    tui.start()
    open_installation_menu(tui)
    tui.send("2")
    tui.answer_plan("y")
    rows = shown_rows(tui.wait_for(ROLLBACK_QUESTION, timeout=90))
    assert " WARNING: The downloaded archive is older than the installed one!" in rows
    assert "   installed archive signed %s" % time.strftime(
        "%Y-%m-%d %H:%M:%S UTC", time.gmtime(installed_at)) in rows
    tui.send(answer)
    if answer == "y":
        assert tui.exit_status(timeout=150) == 0
        assert len(dpkg_runs(sb)) == 2
        return
    tui.wait_for(lambda rows: is_menu(rows) and (rows[21] + rows[22]).rstrip()
                 == LABEL + "Installation Stopped, Archive Older Than The Installed One",
                 timeout=30, what="the stop in the installation menu")
    assert dpkg_runs(sb) == []
    with open(users_wallet, "rb") as f:
        assert f.read() == before
    assert not os.path.exists(os.path.join(ap, "wallet.ico"))
