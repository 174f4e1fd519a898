# End-to-end checks of the installation when the archive server fails: a server that is down
# and one that accepts but never answers. The flow stops within its bounds, names what wget
# said and leaves the program usable. (Own file, so ctest runs these long waits beside the rest.)
import os
import socket
import time

import pytest

from test_install import (AWAITING, MENU_TITLE, apt_runs, is_menu, open_installation_menu,
                          press_and_wait_redraw)
from tmux_session import TOP_HEADER


@pytest.mark.parametrize("key,variant", [("2", "A"), ("3", "B")])
def test_server_down_stops_within_the_bound_and_the_program_goes_on(tui, key, variant):
    sb = tui.sb
    sb.server_down()
    tui.start()
    open_installation_menu(tui)
    started = time.monotonic()
    tui.send(key)
    if key == "2":
        tui.answer_plan("y")
    # Named from wget's exit status at once: no copy waits for files that cannot come.
    status = "APPLICATION STATUS= Installation Stopped, Download Failed: network unreachable"
    rows = tui.wait_for(lambda rows: is_menu(rows) and rows[21].rstrip() == status
                        and not rows[22].strip(),
                        timeout=90, what="the stop status in the installation menu")
    elapsed = time.monotonic() - started
    assert elapsed < 60, elapsed
    assert not os.path.exists(os.path.join(sb.home, "wallet.ico"))
    assert not os.path.exists(os.path.join(sb.home, "wallet", "wallet.ico"))
    assert rows[15].startswith(" > PRESS 7..")  # the menu form, not the progress form
    assert not os.path.exists(os.path.join(sb.desktop, "Corvane wallet.desktop"))
    assert apt_runs(sb) == []
    # Still usable: the next key redraws with the waiting text; 0 twice ends normally.
    press_and_wait_redraw(tui, "x", MENU_TITLE)
    assert tui.row(22) == AWAITING
    tui.send("0")
    tui.wait_for(lambda rows: rows[0].startswith(TOP_HEADER), what="the top screen")
    tui.send("0")
    assert tui.exit_status() == 0


def test_silent_server_is_given_up_within_the_wget_bound(tui):
    """A server that accepts but never greets: wget's own defaults would wait 900 s twenty
    times; the private wgetrc gives up after 2 tries of 20 s, and the flow stops at once."""
    sb = tui.sb
    sb.stop_ftp()
    silent = socket.socket()
    silent.bind(("127.0.0.1", 0))
    silent.listen(8)
    try:
        sb.config["servers"]["port"] = silent.getsockname()[1]
        sb.save_config()
        with open(os.path.join(sb.home, ".wgetrc"), "w") as f:
            f.write("tries = 0\n")  # the user's own file (unbounded tries) is kept but bounded
        tui.start()
        open_installation_menu(tui)
        started = time.monotonic()
        tui.send("3")
        status = "APPLICATION STATUS= Installation Stopped, Download Failed: network unreachable"
        tui.wait_for(lambda rows: is_menu(rows) and rows[21].rstrip() == status, timeout=150,
                     what="the stop status")
        elapsed = time.monotonic() - started
        assert 35 < elapsed < 110, elapsed
        assert len(sb.log("wget")) == 1
        assert b"Giving up." in tui.output()
    finally:
        silent.close()
    tui.send("0")
    tui.wait_for(lambda rows: rows[0].startswith(TOP_HEADER), what="the top screen")
    tui.send("0")
    assert tui.exit_status() == 0
