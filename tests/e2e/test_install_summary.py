# End-to-end checks of how an installation ends when steps fail: a step nothing else needs
# fails alone, the flow goes on, and the summary names every failed step with its object and
# cause; nothing says "Complete". Also: a download that wget reports as failed is named at
# once and never installed, the user's own wget keeps its bytes, and key 1 of the installation
# menu moves the installation.
import os
import shutil
import time

import pytest

from install_helpers import (FLOW_TIMEOUT, SELECTED_LAST_ENTRY, SUMMARY_PROBLEMS, at_top,
                             summary_items)
from test_install import is_menu, open_installation_menu
from test_scan import status_at_row_21

FAILING_PACKAGES = ["libgtk-3-dev", "dkms", "pkg-config"]
ALL_USERS = "/usr/share/applications/Corvane wallet.desktop"


def debs(sb):
    linux = os.path.join(sb.home, "wallet/archive/wallet/current/Linux")
    return [os.path.join(linux, d) for d in ("libminiupnpc18_2.2.8-2+b2_amd64.deb",
                                             "miniupnpc18_2.2.8-2+b2_amd64.deb")]


CASES = {
    # what fails: (variant, how the sandbox makes it fail, the summary's items)
    "dpkg": ("A", lambda sb: sb.set_tool("dpkg", rc=1),
             lambda sb: [" FAILED  install package: %s (dpkg -i exit status 1)" % d
                         for d in debs(sb)]),
    "three-packages": ("A", lambda sb: sb.set_tool("apt-get", fail_for=FAILING_PACKAGES),
                       lambda sb: [" FAILED  system package: %s (apt-get exit status 100)" % p
                                   for p in FAILING_PACKAGES]),
    "all-users-launcher": ("D", lambda sb: sb.set_tool("install", rc=1),
                           lambda sb: [" FAILED  all-users launcher: %s (sudo install exit "
                                       "status 1)" % ALL_USERS]),
}


@pytest.mark.parametrize("what", sorted(CASES))
def test_a_failed_step_ends_with_the_summary_naming_it_never_complete(tui, what):
    variant, make_fail, expected = CASES[what]
    sb = tui.sb
    make_fail(sb)
    tui.start()
    if variant == "A":
        open_installation_menu(tui)
        tui.send("2")
        tui.answer_plan("y")
        # The summary stays in the terminal after the program ended, with exit status 1.
        assert tui.exit_status(timeout=200) == 1
        summary = tui.rows()
    else:
        tui.send("5")
        tui.wait_for(SELECTED_LAST_ENTRY)
        tui.send("3")
        tui.answer_plan("y")
        summary = tui.wait_for(lambda rows: rows[0].startswith(SUMMARY_PROBLEMS), FLOW_TIMEOUT,
                               what="the summary screen")
        assert summary[22].rstrip() == " > PRESS ANY KEY TO GO BACK TO THE MENU"
        tui.send("x")
        rows = tui.wait_for(lambda rows: SELECTED_LAST_ENTRY in rows, what="the menu")
        assert status_at_row_21(rows).endswith("Installation Finished With Problems, 1 Failed")
        tui.send("0")
        at_top(tui)
    assert summary[0].startswith(SUMMARY_PROBLEMS), summary
    items = summary_items(summary)
    for item in expected(sb):
        assert item in items, (item, items)
    assert b"Complete" not in tui.output()


WGET_FAILURES = [
    # how the download fails, the words of the stop status
    ("exit-3", "cannot write files"),
    ("exit-5", "TLS failure"),
    ("exit-6", "login refused"),
    ("exit-8", "server error"),
    ("server-killed", "transfer cut short"),
]


@pytest.mark.parametrize("how,words", WGET_FAILURES, ids=[h for h, _ in WGET_FAILURES])
def test_a_download_that_wget_reports_failed_is_named_and_never_installed(tui, how, words):
    sb = tui.sb
    if how == "server-killed":
        # A slow transfer of a bigger icon, and the server ends in the middle of it.
        sb.stop_ftp()
        with open(os.path.join(sb.ftp_root, "current", "wallet.ico"), "ab") as f:
            f.write(bytes(30000))
        sb.sign_archive()
        sb.config["ftp"]["bytes_per_second"] = 3000
        sb.save_config()
        sb.start_ftp()
    else:
        sb.config["wget"] = {"rc": int(how.split("-")[1])}
        sb.save_config()
    tui.start()
    tui.send("5")
    tui.wait_for(SELECTED_LAST_ENTRY)
    tui.send("2")
    if how == "server-killed":
        tui.wait_for(lambda rows: sb.log("wget"), what="the download to start")
        time.sleep(2)  # into the icon's transfer
        sb.stop_ftp()
    rows = tui.wait_for(lambda rows: SELECTED_LAST_ENTRY in rows
                        and "Installation Stopped, Download Failed: " in status_at_row_21(rows),
                        FLOW_TIMEOUT, what="the stop status")
    assert status_at_row_21(rows).endswith("Download Failed: " + words)
    # Whatever wget left below the archive folder, nothing of it was installed.
    for name in ("wallet", "wallet.ico", "control/applications/wallet/tellerData/tellers"):
        assert not os.path.exists(os.path.join(sb.home, name)), name
    assert not os.path.exists(os.path.join(sb.desktop, "Corvane wallet.desktop"))
    assert b"Complete" not in tui.output()


def test_the_users_own_wget_keeps_its_bytes_through_two_installations(tui):
    """Started from the installation folder, the wget beside the installer is the target of
    its own copy: it is left alone, not emptied."""
    sb = tui.sb
    keyring = sb.keyring_path()
    program = os.path.join(sb.home, os.path.basename(sb.program))
    shutil.move(sb.program, program)
    sb.program_dir, sb.program = sb.home, program
    if keyring:  # the maker's keyring travels with the program
        shutil.move(keyring, sb.keyring_path())
    own = b"#!/bin/sh\n# the user's own wget\nexec /usr/bin/wget \"$@\"\n"
    with open(os.path.join(sb.home, "wget"), "wb") as f:
        f.write(own)
    tui.start()
    open_installation_menu(tui)
    for _ in range(2):
        done = tui.count_output(b"Installation Complete, Awating user input")
        tui.send("3")
        tui.wait_output_count(b"Installation Complete, Awating user input", done + 1,
                              timeout=FLOW_TIMEOUT)
        tui.wait_for(lambda rows: is_menu(rows), what="the installation menu")
        with open(os.path.join(sb.home, "wget"), "rb") as f:
            assert f.read() == own
    tui.send("0")
    at_top(tui)


def test_key_1_moves_the_installation_that_key_3_makes(tui):
    sb = tui.sb
    typed = os.path.join(sb.mounts[1], "apps")
    tui.start()
    open_installation_menu(tui)
    tui.send("1")
    tui.wait_for("Please specify the new installation path = ")
    tui.type_line(typed)
    tui.wait_for(lambda rows: is_menu(rows) and rows[3] == "  CURRENT INSTALLATION PATH= " + typed)
    done = tui.count_output(b"Installation Complete, Awating user input")
    tui.send("3")
    tui.wait_output_count(b"Installation Complete, Awating user input", done + 1,
                          timeout=FLOW_TIMEOUT)
    assert os.access(os.path.join(typed, "wallet"), os.X_OK)
    with open(os.path.join(typed, "wallet.ico"), "rb") as a, \
            open(os.path.join(sb.ftp_root, "archive/wallet/current/wallet.ico"), "rb") as b:
        assert a.read() == b.read()
    assert not os.path.exists(os.path.join(sb.home, "wallet"))
    assert not os.path.exists(os.path.join(sb.home, "wallet.ico"))
    # The receipt beside wallet.cfg lists what was laid there.
    with open(os.path.join(typed, "wallet.receipt")) as f:
        receipt = f.read()
    for laid in ("wallet", "wallet.ico", "wallet.cfg"):
        assert " %s\n" % os.path.join(typed, laid) in receipt, laid
    assert "launcher " in receipt
