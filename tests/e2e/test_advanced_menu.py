# End-to-end checks of the advanced menu (top-level key "8"): its screen, the logging toggle,
# the run-log keys, the information pages and both help submenus with their pages.
import os

import pytest

from test_spine import TERMINALS, is_top_screen

ADVANCED_TITLE = " MAIN MENU-ADVANCED   "
ENTRIES = [
    " > PRESS 1.. TO VIEW MENU HELP",
    " > PRESS 2.. TO VIEW GENERAL HELP",
    None,  # the logging entry, wording by state
    " > PRESS 4.. TO CLEAR THE RUNLOG",
    " > PRESS 5.. TO VIEW THE RUNLOG",
    " > PRESS 6.. TO VIEW PRODUCT INFORMATION",
    " > PRESS 7.. TO VIEW LEGAL INFORMATION",
    " > PRESS 8.. TO VIEW AUTHOR INFORMATION",
    " > PRESS 9.. TO VIEW TECHNICAL INFORMATION",
    " > PRESS 0.. TO GO BACK",
]
LOGGING = " > PRESS 3.. TO TOOGLE LOGGING= %s"
NOT_FOUND = "runlog.txt NOT FOUND, Waiting for user input"
ANY_KEY = " PRESS ANY KEY TO EXIT"

MENU_HELP_TITLE = " MAIN MENU-ADVANCED-VIEW MENU HELP"
MENU_HELP_ENTRIES = [
    " > PRESS 1.. TO VIEW AUTO INSTALLATION HELP",
    " > PRESS 2.. TO VIEW MANUAL INSTALLATION HELP",
    " > PRESS 3.. TO VIEW LAUNCHING WALLET APPLICATION HELP",
    " > PRESS 4.. TO VIEW SCANNING MACHINE FOR WALLETS HELP",
    " > PRESS 5.. TO VIEW REINSTALLING WALLET APPLICAITON HELP",
    " > PRESS 6.. TO VIEW UNINSTALLING WALLET APPLICATION HELP",
    " > PRESS 7.. TO VIEW DELETING ALL WALLET RUNTIME FILES HELP",
    " > PRESS 8.. TO VIEW ADVANCED OPTIONS, PREFENCES AND INFO HELP",
    " > PRESS 0.. TO GO BACK",
]
MANUAL_HELP = ["This option lets the user to manually download and install",
               "the wallet progam into the operating system step by step."]
MENU_HELP_PAGES = {
    "1": ("AUTO INSTALLATION HELP", ["This option downloads and automatically installs the wallet"]),
    "2": ("MANUAL INSTALLATION HELP", MANUAL_HELP),
    "3": ("LAUNCHING WALLET HELP", ["This option launches the wallet application in this device"]),
    "4": ("SCANNING MACHINE FOR WALLETS HELP",
          ["This option shows all installed wallets in this device",
           "and allows the user to select and launch one of the wallets"]),
    "5": ("AUTO REINSTALLATION HELP",
          ["This option redownloads and automatically reinstalls the wallet"]),
    "6": ("AUTO UNINSTALLATION HELP",
          ["This option uninstalls the wallet from the operating system"]),
    "7": ("DELETING RUNTIME WALLET FILES HELP",
          ["This option deletes all the runtime wallet files", "in the operating system"]),
    "8": ("ADVANCED OPTIONS HELP", ["This option provides other user options and preferences"]),
}
GENERAL_HELP_TITLE = "MAIN MENU-ADVANCED-VIEW GENERAL HELP"
GENERAL_HELP_ENTRIES = [
    " > PRESS 1.. TO VIEW GETTING THE INSTALLER",
    " > PRESS 2.. TO VIEW LAUNCHING THE INSTALLER",
    " > PRESS 3.. TO VIEW NAVIGATING THE INSTALLER",
    " > PRESS 4.. TO VIEW INSTALLATION MENU CHOICES",
    " > PRESS 5.. TO VIEW UPGRADING THE INSTALLER",
    " > PRESS 0.. TO GO BACK",
]
GENERAL_HELP_PAGES = {
    "1": ("GETTING THE INSTALLER", None),  # one line naming the maker's web site
    "2": ("LAUNCHING THE INSTALLER", MANUAL_HELP),
    "3": ("NAVIGATING THE INSTALLER", ["Press the number keys on your keyboard to choose options"]),
    "4": ("INSTALLATION MENU CHOICES",
          ["Please do not experiment with menu choices unless you have",
           "read the entire help section"]),
    "5": ("UPGRADING THE INSTALLER", ["Only use this option when directed by technical support"]),
}


def menu_rows(title, entries):
    """Title, then the entries with a line of one blank before each."""
    rows = [title]
    for e in entries:
        rows += [" ", e]
    return rows


def advanced_rows(logging="DISABLED"):
    return menu_rows(ADVANCED_TITLE, [e or LOGGING % logging for e in ENTRIES])


def status_row(rows):
    found = [r for r in rows if r.startswith(" APPLICATION STATUS= ")]
    assert len(found) == 1, rows
    return found[0]


def title_is(row, title):
    """Row 1 holds the title, and from column 78 on the spinner once it has turned."""
    if len(row) > 77 and row[77:].strip():
        return row[:77].rstrip() == title.rstrip()
    return row == title


def same_screen(rows, expected):
    """The rows begin with the expected lines (the title row may carry the spinner)."""
    return title_is(rows[0], expected[0]) and rows[1:len(expected)] == expected[1:]


def on_advanced(rows):
    return title_is(rows[0], ADVANCED_TITLE)


def open_advanced(tui):
    tui.start()
    tui.send("8")
    return tui.wait_for(on_advanced, what="the advanced menu")


def press(tui, key, until, what=None):
    before = tui.count_output(b"\x1b")
    tui.send(key)
    tui.wait_output_count(b"\x1b", before + 1)
    return tui.wait_for(until, what=what)


def test_advanced_menu_screen_and_logging_toggle(tui):
    rows = open_advanced(tui)
    assert same_screen(rows, advanced_rows("DISABLED")), rows
    # The status line follows the last entry (" > PRESS 0.. TO GO BACK", row 21).
    assert rows[21] == status_row(rows)
    rows = press(tui, "3", lambda r: r[6] == LOGGING % "ENABLED", "ENABLED")
    assert same_screen(rows, advanced_rows("ENABLED")), rows
    rows = press(tui, "3", lambda r: r[6] == LOGGING % "DISABLED", "DISABLED")
    assert same_screen(rows, advanced_rows("DISABLED")), rows
    # Back to the top menu with "0"; the program goes on.
    rows = press(tui, "0", is_top_screen, "the top screen")
    assert tui.running()


@pytest.mark.parametrize("key", ["4", "5"])
def test_run_log_keys_without_a_run_log(tui, key):
    open_advanced(tui)
    rows = press(tui, key, lambda r: NOT_FOUND in status_row(r), NOT_FOUND)
    assert status_row(rows) == " APPLICATION STATUS= " + NOT_FOUND
    assert same_screen(rows, advanced_rows()), rows
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


@pytest.mark.parametrize("key,name", [("6", "PRODUCT INFORMATION"), ("7", "LEGAL INFORMATION"),
                                      ("8", "AUTHOR INFORMATION"),
                                      ("9", "TECHNICAL INFORMATION")])
def test_information_pages(tui, key, name):
    open_advanced(tui)
    rows = press(tui, key, lambda r: title_is(r[0], " MAIN MENU-ADVANCED-" + name), name)
    text = [r for r in rows if r.strip()]
    assert text[1] == "  " + name
    assert text[-1] == ANY_KEY
    body = text[2:-1]
    assert body and all(line.startswith("   ") for line in body), body
    if key == "9":
        term = expected_terminal()
        assert body == ["   TERMINAL EMULATOR VALUES",
                        "    defaultTerminalEmulatorExecutableFileName = " + term,
                        "    currentTerminalEmulatorExecutableFileName = " + term]
    elif key == "6":
        assert "   Made in the USA" in body
        assert any("Corvane" in line for line in body)
    else:
        assert any("Corvane" in line or "reserved" in line.lower() for line in body)
    # Any key returns to the advanced menu.
    rows = press(tui, "z", on_advanced)
    assert same_screen(rows, advanced_rows()), rows


def check_help_page(rows, title, heading, body):
    text = [r for r in rows if r.strip()]
    assert title_is(text[0], title)
    assert text[1] == "  " + heading
    assert text[-1] == ANY_KEY
    if body is not None:
        assert text[2:-1] == ["   " + b for b in body]
    else:
        assert len(text[2:-1]) == 1 and text[2].startswith("   ")


@pytest.mark.parametrize("submenu", ["1", "2"])
def test_help_submenus_and_pages(tui, submenu):
    if submenu == "1":
        title, entries, pages = MENU_HELP_TITLE, MENU_HELP_ENTRIES, MENU_HELP_PAGES
        page_title = " MAIN MENU-ADVANCED-VIEW HELP WITH WALLET MENU ENTRIES"
    else:
        title, entries, pages = GENERAL_HELP_TITLE, GENERAL_HELP_ENTRIES, GENERAL_HELP_PAGES
        page_title = " MAIN MENU-ADVANCED-VIEW GENERAL HELP "
    on_submenu = lambda r: title_is(r[0], title)  # noqa: E731
    open_advanced(tui)
    rows = press(tui, submenu, on_submenu, title)
    assert same_screen(rows, menu_rows(title, entries)), rows
    for key, (heading, body) in sorted(pages.items()):
        rows = press(tui, key, lambda r: title_is(r[0], page_title), page_title)
        check_help_page(rows, page_title, heading, body)
        press(tui, "x", on_submenu, title)
    # A key that is no entry redraws the submenu; "0" goes back to the advanced menu.
    rows = press(tui, "9", on_submenu, title)
    assert same_screen(rows, menu_rows(title, entries)), rows
    press(tui, "0", on_advanced)
    assert tui.running()
