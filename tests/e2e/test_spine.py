# End-to-end checks of the spine on the real binary: the top screen, the spinner, keys that
# only redraw, the exit and the terminal restored on every way out, the wallet launch. The top
# screen is the golden file tests/golden/screens/top_screen.txt.
import os
import signal
import subprocess
import time

import pytest

from golden import expect_screen, is_screen
from tmux_session import TOP_HEADER

NO_WALLET = "APPLICATION STATUS= NO WALLET PROGRAM FOUND, install one first (key 1)"
SPINNER_FRAMES = ["---", " \\ ", " | ", " / "]
TERMINALS = ["gnome-terminal", "xfce4-terminal", "mate-terminal", "uxterm", "xterm"]


def is_top_screen(rows):
    return rows[0].startswith(TOP_HEADER) and is_screen(rows, "top_screen")


def spinner(rows):
    return rows[0][77:80]


def test_top_screen_row_by_row(tui):
    tui.start()
    rows = expect_screen(tui, "top_screen")
    # Row 1: the header, blanks, and the spinner in columns 78-80 (blank until first drawn).
    assert spinner(rows) in SPINNER_FRAMES + ["   ", ""]
    # What the golden file's stripped rows do not show: rows 2-17 exactly as printed (a line of
    # one blank is one blank, nothing more), nothing printed on rows 18-21, 23 and 24, and the
    # status text on row 22 padded with printed blanks to 80 columns (capture keeps them).
    assert all(r == " " for r in rows[1:17] if not r.strip())
    assert rows[17:21] + rows[22:] == [""] * 6
    assert len(rows[21]) == 80
    assert tui.running()


def test_spinner_turns_once_per_second_in_order(tui):
    tui.start()
    seen = []
    deadline = time.monotonic() + 6.0
    while len(seen) < 3 and time.monotonic() < deadline:
        frame = spinner(tui.rows())
        if frame in SPINNER_FRAMES and (not seen or seen[-1] != frame):
            seen.append(frame)
        time.sleep(0.05)
    assert len(seen) >= 3, "the spinner did not turn: %r" % seen
    for a, b in zip(seen, seen[1:]):
        assert SPINNER_FRAMES.index(b) == (SPINNER_FRAMES.index(a) + 1) % 4, seen


@pytest.mark.parametrize("keys", [("9",), ("x",), ("Up",), ("Right",), ("F1",), ("Home",)])
def test_keys_that_select_nothing_redraw_once(tui, keys):
    tui.start()
    tui.wait_stable()
    header = TOP_HEADER.encode()
    drawn = tui.count_output(header)
    for k in keys:
        if len(k) == 1:
            tui.send(k)
        else:
            tui.key(k)
    tui.wait_output_count(header, drawn + 1, timeout=5)
    rows = tui.wait_stable()
    # One key, one redraw: an escape sequence must not count as several keys.
    assert tui.count_output(header) == drawn + 1
    assert is_top_screen(rows), tui.screen_text()
    assert tui.running()
    # The program still reacts: "0" ends it normally.
    tui.send("0")
    assert tui.exit_status() == 0


def test_key_0_exits_with_status_0_and_restores_the_terminal(tui):
    tui.start()
    during = subprocess.run(["stty", "-a", "-F", tui.pane_tty()], capture_output=True,
                            text=True).stdout
    tui.send("0")
    assert tui.exit_status() == 0
    before, after = tui.stty()
    assert during != before, "the program never changed the terminal mode"
    assert after == before


@pytest.mark.parametrize("sig", [signal.SIGTERM, signal.SIGINT, signal.SIGHUP, signal.SIGQUIT,
                                 signal.SIGABRT])
def test_a_signal_restores_the_terminal_and_ends_as_the_signal(tui, sig):
    tui.start()
    tui.signal(sig)
    status = tui.exit_status()
    before, after = tui.stty()
    assert after == before
    assert {"icanon", "echo"} <= set(after.split()), after
    assert status == 128 + sig


def test_end_of_input_ends_the_program(tui):
    tui.start()
    # Closing the pane ends the terminal: the program must end, not spin.
    pid = tui.pid
    tui.tmux("kill-session", "-t", "corvane")
    deadline = time.monotonic() + 5
    while tui.running() and time.monotonic() < deadline:
        time.sleep(0.05)
    assert not tui.running(), "the program outlived its terminal (pid %d)" % pid


def expected_terminal():
    for name in TERMINALS:
        if os.path.exists("/usr/bin/" + name):
            return name
    return None


@pytest.mark.parametrize("with_wallet", [True, False])
def test_key_3_launches_the_wallet_once(tui, with_wallet):
    # The sandbox's terminal emulators run what follows -e/-x, as xterm does: the wallet starts
    # in the terminal when the machine has one, directly when it has none, once either way.
    wallet = os.path.join(tui.sb.home, "wallet", "wallet")
    if with_wallet:
        tui.sb.install_sample_wallet()
    tui.start()
    header = TOP_HEADER.encode()
    drawn = tui.count_output(header)
    tui.send("3")
    tui.wait_output_count(header, drawn + 1, timeout=10)
    rows = expect_screen(tui, "top_screen" if with_wallet else "top_screen_no_wallet")
    assert with_wallet or rows[21].rstrip() == NO_WALLET
    assert tui.running()
    runs = tui.sb.wallet_runs()
    assert runs == (["sample wallet ran: %s " % wallet] if with_wallet else [])
    terminal = expected_terminal()
    launches = [e for e in tui.sb.log() if e["tool"] in TERMINALS]
    if terminal is None or not with_wallet:
        assert launches == []
    else:
        option = "-x" if terminal == "mate-terminal" else "-e"
        assert [(e["tool"], e["argv"]) for e in launches] == [(terminal, [option, wallet])]


def test_key_3_in_a_later_run_starts_the_installed_wallet_once(tui):
    # Install-and-stay into the home folder puts the program at HOME/wallet (a file, so there
    # is no HOME/wallet/wallet); a new start finds it through the record at the installation
    # path and starts it once.
    from install_helpers import COMPLETE_B, at_top
    from test_install import open_installation_menu
    sb = tui.sb
    tui.start()
    open_installation_menu(tui)
    done = tui.count_output(COMPLETE_B.encode())
    tui.send("3")
    tui.wait_output_count(COMPLETE_B.encode(), done + 1, timeout=90)
    tui.send("0")
    at_top(tui)
    tui.send("0")
    assert tui.exit_status() == 0
    assert sb.wallet_runs() == []

    tui.start(password=None)  # the stored password: straight to the top screen
    header = TOP_HEADER.encode()
    drawn = tui.count_output(header)
    tui.send("3")
    tui.wait_output_count(header, drawn + 1, timeout=10)
    assert is_top_screen(tui.wait_stable())
    program = os.path.join(sb.home, "wallet")
    assert sb.wallet_runs() == ["sample wallet ran: %s " % program]
    terminal = expected_terminal()
    launches = [(e["tool"], e["argv"]) for e in sb.log() if e["tool"] in TERMINALS]
    if terminal is None:
        assert launches == []
    else:
        assert launches == [(terminal, ["-x" if terminal == "mate-terminal" else "-e", program])]
