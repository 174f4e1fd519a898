# End-to-end checks of the advanced menu (top-level key "8"): its screen, the logging toggle,
# the run-log keys, the information pages and both help submenus with their pages. The screens
# are the golden files tests/golden/screens/advanced_*.txt.
import os

import pytest

from golden import expect_screen
from test_spine import TERMINALS
from tmux_session import TOP_HEADER

ADVANCED_TITLE = " MAIN MENU-ADVANCED   "
NOT_FOUND = "runlog.txt NOT FOUND, Waiting for user input"
# The help submenus: key, golden name of the submenu, keys of its pages.
HELP_SUBMENUS = [("1", "advanced_menu_help", "12345678"),
                 ("2", "advanced_general_help", "12345")]


def status_row(rows):
    found = [r for r in rows if r.startswith(" APPLICATION STATUS= ")]
    assert len(found) == 1, rows
    return found[0]


def title_is(row, title):
    """Row 1 holds the title, and from column 78 on the spinner once it has turned."""
    if len(row) > 77 and row[77:].strip():
        return row[:77].rstrip() == title.rstrip()
    return row == title


def on_advanced(rows):
    return title_is(rows[0], ADVANCED_TITLE)


def open_advanced(tui):
    tui.start()
    tui.send("8")
    tui.wait_for(on_advanced, what="the advanced menu")
    return expect_screen(tui, "advanced_menu")


def press(tui, key, until, what=None):
    """Sends key, waits for the next frame, then until: a predicate or a golden screen's name."""
    before = tui.count_output(b"\x1b")
    tui.send(key)
    tui.wait_output_count(b"\x1b", before + 1)
    if isinstance(until, str):
        return expect_screen(tui, until)
    return tui.wait_for(until, what=what)


def test_advanced_menu_screen_and_logging_toggle(tui):
    open_advanced(tui)
    press(tui, "3", "advanced_menu_logging_enabled")
    press(tui, "3", "advanced_menu")
    # Back to the top menu with "0"; the program goes on.
    press(tui, "0", lambda rows: rows[0].startswith(TOP_HEADER), "the top screen")
    expect_screen(tui, "top_screen")
    assert tui.running()


@pytest.mark.parametrize("key", ["4", "5"])
def test_run_log_keys_without_a_run_log(tui, key):
    open_advanced(tui)
    rows = press(tui, key, "advanced_menu_run_log_not_found")
    assert status_row(rows) == " APPLICATION STATUS= " + NOT_FOUND
    assert tui.sb.log("gedit") == []


def test_run_log_keys_with_a_run_log(tui):
    runlog = os.path.join(tui.sb.program_dir, "runlog.txt")
    with open(runlog, "w") as f:
        f.write("a run\n")
    tui.type_line("export DISPLAY=:0")  # a graphical session, where gedit is the viewer
    open_advanced(tui)
    # "5" opens the run log in gedit (the shim records the call); the menu comes back.
    tui.send("5")
    tui.wait_for(lambda rows: tui.sb.log("gedit"), what="gedit to be run")
    tui.wait_for(on_advanced)
    assert [e["argv"] for e in tui.sb.log("gedit")] == [[runlog]]
    # "4" deletes it, then a second "4" finds nothing.
    rows = press(tui, "4", lambda r: "DELETED" in status_row(r))
    assert status_row(rows) == " APPLICATION STATUS= runlog.txt DELETED, Waiting for user input"
    assert not os.path.exists(runlog)
    press(tui, "4", lambda r: NOT_FOUND in status_row(r))


def test_run_log_that_cannot_be_deleted_is_not_reported_deleted(tui):
    # A folder of that name cannot be removed as a file: the deletion fails, and says so.
    runlog = os.path.join(tui.sb.program_dir, "runlog.txt")
    os.makedirs(os.path.join(runlog, "kept"))
    open_advanced(tui)
    rows = press(tui, "4", lambda r: "DELETED" in status_row(r))
    assert status_row(rows) == (" APPLICATION STATUS= runlog.txt NOT DELETED, "
                                "Waiting for user input")
    assert os.path.isdir(os.path.join(runlog, "kept"))


def expected_terminal():
    return next((t for t in TERMINALS if os.path.exists("/usr/bin/" + t)), "")


@pytest.mark.parametrize("key,name", [("6", "product"), ("7", "legal"), ("8", "author"),
                                      ("9", "technical")])
def test_information_pages(tui, key, name):
    open_advanced(tui)
    before = tui.count_output(b"\x1b")
    tui.send(key)
    tui.wait_output_count(b"\x1b", before + 1)
    # The technical page names the terminal emulator found on this machine.
    term = r"ExecutableFileName = ?%s$" % expected_terminal()
    expect_screen(tui, "advanced_information_" + name,
                  subs=[(term, "ExecutableFileName = <TERMINAL>")])
    # Any key returns to the advanced menu.
    press(tui, "z", "advanced_menu")


@pytest.mark.parametrize("submenu,name,pages", HELP_SUBMENUS)
def test_help_submenus_and_pages(tui, submenu, name, pages):
    open_advanced(tui)
    press(tui, submenu, name)
    for key in pages:
        press(tui, key, "%s_%s" % (name, key))
        press(tui, "x", name)
    # A key that is no entry redraws the submenu; "0" goes back to the advanced menu.
    press(tui, "9", name)
    press(tui, "0", "advanced_menu")
    assert tui.running()
