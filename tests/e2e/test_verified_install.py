# End-to-end checks of the archive check: the sandbox's archive carries SHA256SUMS signed by a
# throwaway key whose keyring the binary reads. A good archive installs and says it was
# verified; an altered, truncated or strangely signed one stops the flow before anything is
# copied, made executable or given to dpkg; an archive without sums installs as it always did.
import os
import time

import pytest

from sandbox import DEB_FILES
from test_install import (AWAITING, apt_runs, dpkg_runs_but_queries, is_menu,
                          open_installation_menu, sudo_commands)
from test_manual_menu import MENU_TITLE, change_path, press, status

LABEL = "APPLICATION STATUS= "
VERIFIED = "archive verified (signed SHA256SUMS)"
NOT_VERIFIED = "archive not verified (no SHA256SUMS)"
UNVERIFIED_QUESTION = " Install these packages without verification? [y/N]"


def refused(file, reason):
    return "Installation Stopped, Not Verified: %s (%s)" % (file, reason)


def read(path):
    with open(path, "rb") as f:
        return f.read()


def made_executable(sb):
    """Every path given to "chmod a+x" through sudo (none: the installer makes the user's own
    files executable itself)."""
    return [a[1] for a in sudo_commands(sb, "chmod") if len(a) == 2 and a[0] == "a+x"]


DAY = 86400


def pad_file(sb, name, size, top="archive/wallet/current"):
    """Makes the server's file name exactly size bytes (blank lines after its content)."""
    path = os.path.join(sb.ftp_root, top, name)
    with open(path, "ab") as f:
        f.write(b"\n" * (size - os.path.getsize(path)))


# (what the server holds, how to make it, the status text, whether it installs). An archive
# without a good signature installs only after the y of apt's question (the question has its
# own tests in test_trust.py).
VARIANT_A_CASES = [
    ("signed and correct", lambda sb: None, VERIFIED, True),
    ("no sums", lambda sb: sb.unsign_archive(), NOT_VERIFIED, True),
    ("signed by an expired key of the keyring",
     lambda sb: sb.sign_archive(key="expired", trusted=True, key_expires="1d",
                                at=int(time.time()) - 3 * DAY),
     refused("SHA256SUMS.gpg", "expired key"), False),
    ("an expired signature by a key of the keyring",
     lambda sb: sb.sign_archive(key="dated", trusted=True, at=int(time.time()) - 3 * DAY,
                                sig_expires="1d"),
     refused("SHA256SUMS.gpg", "expired signature"), False),
    ("sums larger than 1 MiB", lambda sb: pad_file(sb, "SHA256SUMS", (1 << 20) + 1),
     refused("SHA256SUMS", "larger than 1 MiB"), False),
    ("a signature larger than 64 KiB", lambda sb: pad_file(sb, "SHA256SUMS.gpg", (64 << 10) + 1),
     refused("SHA256SUMS.gpg", "larger than 64 KiB"), False),
    ("one byte of the program changed", lambda sb: sb.alter_archive_file("Linux/wallet"),
     refused("Linux/wallet", "sum mismatch"), False),
    ("sums signed by another key", lambda sb: sb.sign_archive(key="stranger"),
     refused("SHA256SUMS.gpg", "unknown signer"), False),
    # Caught before the check: the file is shorter than the server's listing said.
    ("the server sends half of a package", lambda sb: sb.send_half("Linux/" + DEB_FILES[0]),
     "Installation Stopped, Download Failed: transfer cut short", False),
]


@pytest.mark.parametrize("name,prepare,text,installs", VARIANT_A_CASES,
                         ids=[c[0] for c in VARIANT_A_CASES])
def test_variant_a_installs_only_an_archive_that_passes(tui, name, prepare, text, installs):
    sb = tui.sb
    assert sb.keyring_path(), "this binary reads its keyring outside the sandbox (sanitize preset?)"
    prepare(sb)
    ap = os.path.join(sb.home, "wallet")
    # A wallet the user already had: a refused archive must leave it as it was.
    users_wallet = read(sb.install_sample_wallet(ap))
    with open(os.path.join(ap, "wallet"), "ab") as f:
        f.write(b"# the user's own copy\n")
    users_wallet += b"# the user's own copy\n"
    tui.start()
    open_installation_menu(tui)
    tui.send("2")
    tui.answer_plan("y")
    current = os.path.join(ap, "archive/wallet/current")
    if installs and text != VERIFIED:
        tui.wait_for(UNVERIFIED_QUESTION, timeout=90)
        tui.send("y")
    if installs:
        assert tui.exit_status(timeout=150) == 0
        # Said once, between the download and the copies.
        assert tui.count_output(LABEL + text) == 1
        other = NOT_VERIFIED if text == VERIFIED else VERIFIED
        assert tui.count_output(other) == 0
        assert read(os.path.join(ap, "wallet")) == read(os.path.join(current, "Linux/wallet"))
        assert os.access(os.path.join(ap, "wallet"), os.X_OK) and made_executable(sb) == []
        assert [a[-1] for a in sudo_commands(sb, "dpkg")] == [
            os.path.join(current, "Linux", d) for d in DEB_FILES]
        return

    rows = tui.wait_for(lambda rows: is_menu(rows) and (rows[21] + rows[22]).rstrip() == LABEL + text,
                        timeout=90, what="the refusal in the installation menu")
    assert rows[15].startswith(" > PRESS 7..")
    # Nothing left the archive: no dpkg, no chmod, no copy, no launcher, no record.
    assert dpkg_runs_but_queries(sb) == [] and sudo_commands(sb, "dpkg") == []
    assert made_executable(sb) == []
    assert read(os.path.join(ap, "wallet")) == users_wallet
    assert not os.path.exists(os.path.join(ap, "wallet.ico"))
    assert not os.path.exists(os.path.join(ap, "wallet.cfg"))
    assert not os.path.exists(os.path.join(sb.desktop, "Corvane wallet.desktop"))
    assert apt_runs(sb) == []
    # The download itself is kept for the user to look at.
    assert os.path.isfile(os.path.join(current, "SHA256SUMS"))
    # The program goes on: the next key redraws the menu with the waiting text.
    tui.send("x")
    tui.wait_for(lambda rows: is_menu(rows) and rows[21] == AWAITING, what="the redrawn menu")


def test_folder_download_of_an_altered_archive_is_not_copied(tui):
    """The manual menu's download (the second server's folder) says what it found, and its
    copy option refuses the archive: nothing copied, nothing made executable."""
    sb = tui.sb
    sb.alter_archive_file("Linux/wallet", top="current")
    tui.start()
    tui.send("2")
    tui.wait_for(MENU_TITLE)
    ip = os.path.join(sb.home, "wallet")
    change_path(tui, ip)
    stop = " " + LABEL + refused("Linux/wallet", "sum mismatch")
    assert status(press(tui, "2")) == stop
    assert os.path.isfile(os.path.join(ip, "archive/current/Linux/wallet"))
    assert status(press(tui, "3")) == stop
    for copied in ("wallet", "wallet.ico", "control/applications/wallet/tellerData/tellers"):
        assert not os.path.exists(os.path.join(ip, copied)), copied
    assert made_executable(sb) == []
    # Option 5 takes no icon from the refused archive either.
    assert status(press(tui, "5")) == " %sSORRY, wallet.ico IS NOT PRESENT IN %s/" % (LABEL, ip)
