# End-to-end checks of the wallet scan against hostile or unusual names on a scanned partition:
# a folder name holding a line feed does not inject a wallet path, an escape sequence in a name
# shows as text and never acts on the terminal, a found wallet is always confirmed with a key,
# and a wallet on a partition mounted below another one is offered once.
import os
import subprocess

import pytest

from test_scan import SCAN_TIMEOUT, listed_paths, open_selected_wallet_menu, scan

TITLE_NAME = "t\x1b]0;owned\x07\x1b[2J"


def pane_title(tui):
    return tui.tmux("display-message", "-p", "-t", "corvane", "#{pane_title}").strip()


def selection_rows(tui, title):
    return tui.wait_for(lambda rows: rows[0][:77].rstrip() == title, SCAN_TIMEOUT,
                        what="the selection screen " + title)


def test_a_line_feed_in_a_folder_name_injects_no_wallet_and_cannot_be_picked(tui):
    sb = tui.sb
    # find without zero bytes would print ".../x" and "/any/path/wallet" on two lines.
    os.makedirs(os.path.join(sb.mounts[0], "x\n", "any", "path", "wallet"))
    tui.start()
    drawn = scan(tui)
    rows = selection_rows(tui, " FOUND 1 WALLET")
    shown = os.path.join(sb.mounts[0], "x\\n", "any", "path", "wallet")
    assert listed_paths(rows) == {1: shown}
    assert rows[3:7] == [" ", " > PRESS 1 TO SELECT THE WALLET", " ", " > PRESS 0 TO EXIT"]

    # Its key only draws the list again; "0" leaves with nothing picked.
    count = tui.count_output(" FOUND 1 WALLET")
    tui.send("1")
    tui.wait_output_count(" FOUND 1 WALLET", count + 1)
    tui.send("0")
    rows = open_selected_wallet_menu(tui, drawn)
    assert rows[2] == " CURRENT PATH= " + sb.home
    assert not any("/any/path" in " ".join(e["argv"]) for e in sb.log())


def test_escape_sequences_in_names_show_as_text_and_a_clean_wallet_is_picked(tui):
    sb = tui.sb
    os.makedirs(os.path.join(sb.mounts[0], TITLE_NAME, "wallet"))
    os.makedirs(os.path.join(sb.mounts[1], "plain", "wallet"))
    tui.start()
    title_before = pane_title(tui)
    drawn = scan(tui)
    rows = selection_rows(tui, " FOUND 2 WALLETS")
    paths = listed_paths(rows)
    hostile = os.path.join(sb.mounts[0], "t\\e]0;owned\\x07\\e[2J", "wallet")
    plain = os.path.join(sb.mounts[1], "plain", "wallet")
    assert sorted(paths.values()) == sorted([hostile, plain])
    assert pane_title(tui) == title_before != "owned"
    # Nothing cleared the screen after the list was drawn: its last lines are still there.
    assert rows[4:8] == [" ", " > PRESS 1-2 TO SELECT A WALLET", " ", " > PRESS 0 TO EXIT"]

    hostile_key = next(i for i, p in paths.items() if p == hostile)
    count = tui.count_output(" FOUND 2 WALLETS")
    tui.send(str(hostile_key))
    tui.wait_output_count(" FOUND 2 WALLETS", count + 1)
    tui.send(str(3 - hostile_key))
    rows = open_selected_wallet_menu(tui, drawn)
    assert rows[2] == " CURRENT PATH= " + os.path.dirname(plain)


@pytest.fixture
def nested_mount(sandbox):
    """A real file system (tmpfs) mounted below the first partition's folder."""
    where = os.path.join(sandbox.mounts[0], "usb")
    os.makedirs(where)
    r = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=1m", "tmpfs", where],
                       capture_output=True, text=True)
    if r.returncode != 0:
        pytest.skip("cannot mount a tmpfs here (needs root): " + r.stderr.strip())
    try:
        yield where
    finally:
        subprocess.run(["umount", "-l", where], check=False)


def test_a_wallet_on_a_partition_mounted_below_another_is_offered_once(tui, nested_mount):
    sb = tui.sb
    os.makedirs(os.path.join(nested_mount, "w", "wallet"))
    os.makedirs(os.path.join(sb.mounts[0], "home-w", "wallet"))
    sb.set_df(rows=[
        ("/dev/sda1", "458G", "113G", "323G", "26%", sb.mounts[0]),
        ("/dev/sdb1", "29G", "1.2G", "28G", "5%", nested_mount),
    ])
    tui.start()
    scan(tui)
    rows = selection_rows(tui, " FOUND 2 WALLETS")
    assert sorted(listed_paths(rows).values()) == sorted([
        os.path.join(sb.mounts[0], "home-w", "wallet"),
        os.path.join(nested_mount, "w", "wallet"),
    ])
