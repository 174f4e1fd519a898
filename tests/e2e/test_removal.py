# End-to-end checks of removal: after an installation and "Delete all files" (confirmed with
# "y") the folder trees are as they were before the installation, file by file; after
# "Uninstall" only wallet.cfg is new. The user's own files stay, a HOME that ends in /wallet
# survives, and a bind mount below the wallet folder is not entered.
import hashlib
import os
import subprocess

import pytest

from sandbox import Sandbox
from install_helpers import at_top, run_installation, tree
from test_install import AWAITING, MENU_TITLE, is_menu, open_installation_menu
from tmux_session import TOP_HEADER

CONFIRM = " > PRESS y..TO DELETE THESE FILES, ANY OTHER KEY TO KEEP THEM"


def user_files(folder):
    """Files of the user's own in the installation folder, some beside the installation's
    names, some inside the folders the installation also uses."""
    for rel, text in (("notes.txt", "mine\n"), ("control/mine.txt", "mine\n"),
                      ("archive/mine.txt", "mine\n"), ("Documents/letter.txt", "mine\n")):
        path = os.path.join(folder, rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "w") as f:
            f.write(text)


def snapshot(sb):
    # The installer's own folder (its scratch and profile files) is not the installation's.
    return tree(sb.home, *sb.mounts, skip=(sb.program_dir,))


def delete_all(tui, from_top):
    """"Delete all files" from the top menu or the installation menu, answered with y."""
    if not from_top:
        open_installation_menu(tui)
    tui.send("7")
    rows = tui.wait_for(lambda rows: CONFIRM in rows, what="the question before deleting")
    tui.send("y")
    if from_top:
        at_top(tui)
    else:
        tui.wait_for(lambda rows: is_menu(rows) and rows[21] == AWAITING)
        tui.send("0")
        at_top(tui)
    return rows


def uninstall(tui):
    open_installation_menu(tui)
    drawn = tui.count_output(MENU_TITLE.encode())
    tui.send("9")
    tui.wait_output_count(MENU_TITLE.encode(), drawn + 1, timeout=20)
    tui.send("0")
    at_top(tui)


REMOVALS = [
    # variant, kind of installation path, removal
    ("A", "default", "delete-top"),
    ("B", "typed-blanks", "delete-menu"),
    ("C", "typed", "uninstall"),
]


@pytest.mark.parametrize("variant,kind,removal", REMOVALS,
                         ids=["%s-%s-%s" % r for r in REMOVALS])
def test_removal_leaves_the_trees_as_before_the_installation(tui, variant, kind, removal):
    sb = tui.sb
    os.makedirs(os.path.join(sb.home, ".local/share/applications"))
    ip = sb.home
    if kind != "default":
        ip = os.path.join(sb.mounts[1], "apps" if kind == "typed" else "My Apps", "wallet")
    user_files(ip)
    before = snapshot(sb)
    assert run_installation(tui, variant, kind) == ip
    installed = snapshot(sb)
    assert len(installed) > len(before) + 5
    if variant == "A":
        tui.start()
    if removal == "uninstall":
        uninstall(tui)
        after = snapshot(sb)
        cfg = os.path.join(ip, "wallet.cfg")
        # An installation with a receipt keeps it, listing wallet.cfg alone.
        receipt = os.path.join(ip, "wallet.receipt")
        if receipt in after:
            with open(receipt, "rb") as f:
                files = [line.split(b" ", 2)[2] for line in f.read().splitlines()[1:]
                         if not line.startswith((b"folder ", b"signed-at "))]
            assert files == [escaped(cfg)]
            del after[receipt]
        assert set(after) - set(before) == {cfg}
        del after[cfg]
    else:
        rows = delete_all(tui, removal == "delete-top")
        # The question shows what will go.
        assert any(r.strip().endswith("/wallet.cfg") for r in rows), rows
        after = snapshot(sb)
    assert after == before
    tui.send("0")
    assert tui.exit_status() == 0


@pytest.fixture
def sandbox(request):
    """The sandbox of the tui fixture; with the parameter "home-wallet" its HOME ends in
    /wallet."""
    with Sandbox.up() as sb:
        if getattr(request, "param", None) == "home-wallet":
            sb.move_home(os.path.join(sb.root, "users", "wallet"))
        yield sb


@pytest.mark.parametrize("sandbox", ["home-wallet"], indirect=True)
def test_home_ending_in_wallet_survives_delete_all(tui):
    sb = tui.sb
    os.makedirs(os.path.join(sb.home, ".local/share/applications"))
    user_files(sb.home)
    with open(os.path.join(sb.home, ".profile"), "w") as f:
        f.write("mine\n")
    before = snapshot(sb)
    run_installation(tui, "B", "default")  # into HOME itself, the top menu's default
    delete_all(tui, from_top=True)
    assert snapshot(sb) == before
    tui.send("0")
    assert tui.exit_status() == 0


def test_bind_mount_below_the_wallet_folder_is_not_entered(tui):
    if os.geteuid() != 0:
        pytest.skip("a bind mount needs root")
    sb = tui.sb
    outside = os.path.join(sb.root, "outside")
    os.makedirs(outside)
    with open(os.path.join(outside, "precious"), "w") as f:
        f.write("keep\n")
    run_installation(tui, "A", "default")
    inside = os.path.join(sb.home, "wallet/archive/wallet/current/Linux/mounted")
    os.makedirs(inside)
    r = subprocess.run(["mount", "--bind", outside, inside], capture_output=True, text=True)
    if r.returncode != 0:
        pytest.skip("mount --bind refused here: " + r.stderr.strip())
    try:
        tui.start()
        delete_all(tui, from_top=True)
        with open(os.path.join(outside, "precious")) as f:
            assert f.read() == "keep\n"
        # Everything else of the installation went; the mount point itself stays.
        assert not os.path.exists(os.path.join(sb.home, "wallet/wallet"))
        # (same file system: only the mount table tells it is still a mount point)
        assert subprocess.run(["mountpoint", "-q", inside]).returncode == 0
    finally:
        subprocess.run(["umount", inside], check=False)
    tui.send("0")
    assert tui.exit_status() == 0


def escaped(path):
    """A path as a receipt line holds it: control bytes, blanks and % as %XX."""
    return b"".join(b"%%%02X" % c if c <= 0x20 or c in (0x25, 0x7f) else bytes([c])
                    for c in os.fsencode(path))


def write_receipt(ip, before, installed):
    """The receipt an installation leaves beside wallet.cfg, made as the installation makes
    it: every folder and file the installation added (each file with the SHA-256 it was laid
    with), its launchers as launchers."""
    lines = [b"corvane-receipt 1"]
    for path in sorted(set(installed) - set(before)):
        what = installed[path]
        if os.path.basename(path) == "wallet.receipt" or what.startswith("link"):
            continue
        if what.startswith("folder"):
            lines.append(b"folder - " + escaped(path))
            continue
        with open(path, "rb") as f:
            digest = hashlib.sha256(f.read()).hexdigest().encode()
        kind = b"launcher" if path.endswith(".desktop") else b"file"
        lines.append(kind + b" " + digest + b" " + escaped(path))
    with open(os.path.join(ip, "wallet.receipt"), "wb") as f:
        f.write(b"\n".join(lines) + b"\n")


@pytest.mark.parametrize("removal", ["delete-menu", "uninstall"])
def test_removal_by_receipt_keeps_what_changed_and_what_was_not_laid(tui, removal):
    """After an installation the user changed the icon and put a wget of their own where an
    installation copies one: keys 7 and 9 take everything the receipt lists except these two,
    list them as kept, and 9 leaves a receipt that lists only wallet.cfg."""
    sb = tui.sb
    os.makedirs(os.path.join(sb.home, ".local/share/applications"))
    before = snapshot(sb)
    ip = run_installation(tui, "C", "typed")
    installed = snapshot(sb)
    write_receipt(ip, before, installed)
    icon, wget = os.path.join(ip, "wallet.ico"), os.path.join(ip, "wget")
    with open(icon, "wb") as f:
        f.write(b"the user's own icon\n")
    with open(wget, "wb") as f:
        f.write(b"#!/bin/sh\n# the user's own wget\n")
    kept = {icon, wget}
    if removal == "delete-menu":
        rows = delete_all(tui, from_top=False)
        assert any(r.strip().endswith("/wallet/wallet.ico (changed since installed)")
                   for r in rows), rows
        assert any(r.strip().endswith("/wallet/wget (not laid by the installer)")
                   for r in rows), rows
    else:
        open_installation_menu(tui)
        tui.send("9")
        rows = tui.wait_for(lambda rows: " > PRESS ANY KEY TO GO BACK" in rows,
                            what="what the uninstallation kept")
        assert any(r.strip().endswith("/wallet/wget (not laid by the installer)")
                   for r in rows), rows
        assert rows[21].startswith("APPLICATION STATUS= Removal done, the files listed were kept")
        tui.send("x")
        tui.wait_for(lambda rows: is_menu(rows) and rows[21] == AWAITING)
        tui.send("0")
        at_top(tui)
        kept |= {os.path.join(ip, "wallet.cfg"), os.path.join(ip, "wallet.receipt")}
        with open(os.path.join(ip, "wallet.receipt"), "rb") as f:
            files = [line.split(b" ", 2)[2] for line in f.read().splitlines()[1:]
                     if not line.startswith(b"folder ")]
        assert files == [escaped(os.path.join(ip, "wallet.cfg"))]
    after = snapshot(sb)
    # The folders that hold what was kept stay; everything else the installation laid is gone.
    holders = set()
    for p in kept:
        while os.path.dirname(p) in set(installed) - set(before):
            p = os.path.dirname(p)
            holders.add(p)
    assert set(after) - set(before) == kept | holders
    assert {p: after[p] for p in before} == before
    with open(wget, "rb") as f:
        assert f.read() == b"#!/bin/sh\n# the user's own wget\n"
    tui.send("0")
    assert tui.exit_status() == 0
