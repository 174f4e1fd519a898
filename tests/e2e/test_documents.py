# The documents against the program: the manual page's key lists and FILES against the golden
# list that the program's menus are tested against too (tests/unit/app/documented_test.cpp),
# the files the program makes in its folder against the same list, the --help text, and the
# manual page read from its source.
import os
import re
import shutil
import subprocess

import pytest

from test_run_log import toggle_logging
from test_scan import scan
from tmux_session import TOP_HEADER

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
MANUAL = os.path.join(REPO, "docs", "installWalletForLinux.1")
GOLDEN = os.path.join(REPO, "tests", "golden", "manual.txt")
# Subsections of MENUS AND KEYS that are no menu of their own.
NOT_MENUS = {"A terminal that is too small"}


def golden():
    """({subsection title: set of keys}, [FILES entries]) of the golden list."""
    keys, files = {}, []
    with open(GOLDEN, encoding="utf-8") as f:
        for line in f:
            line = line.rstrip("\n")
            if line.startswith("keys "):
                title, _, listed = line[5:].partition(": ")
                keys[title] = set(listed.split())
            elif line.startswith("file "):
                files.append(line[5:])
    return keys, files


def roff_text(line):
    """The words of a roff line (".B x", ".IB path /wallet.cfg", plain text) without the
    request, the quotes and the escapes that only shape the text."""
    words = line.split(None, 1)[1] if line.startswith(".") and " " in line else line
    words = words.replace("\\-", "-").replace("\\fI", "").replace("\\fP", "").replace("\\fR", "")
    return words.replace('"', "")


def manual_sections():
    """{section: [lines]} and {subsection of MENUS AND KEYS: [lines]} of the manual page."""
    sections, subsections = {}, {}
    section = subsection = None
    with open(MANUAL, encoding="utf-8") as f:
        for line in f:
            line = line.rstrip("\n")
            if line.startswith(".SH "):
                section, subsection = roff_text(line), None
                sections[section] = []
            elif line.startswith(".SS ") and section == "MENUS AND KEYS":
                subsection = roff_text(line)
                subsections[subsection] = []
            elif section is not None:
                sections[section].append(line)
                if subsection is not None:
                    subsections[subsection].append(line)
    return sections, subsections


def test_the_manual_lists_the_keys_and_files_of_the_golden_list():
    keys, files = golden()
    sections, subsections = manual_sections()
    # A key is a line ".B N" in its menu's subsection (as a .TP item or in a running list).
    listed = {title: {roff_text(l) for l in lines if re.fullmatch(r"\.B \d", l)}
              for title, lines in subsections.items() if title not in NOT_MENUS}
    assert {t: k for t, k in listed.items() if k} == keys
    # A FILES entry is the first line after each .TP.
    lines = sections["FILES"]
    entries = [roff_text(lines[i + 1]).replace(" ", "")
               for i, l in enumerate(lines) if l == ".TP"]
    assert entries == files


def test_help_names_every_file_the_installer_keeps_in_its_folder():
    _, files = golden()
    r = subprocess.run([os.environ.get("CORVANE_BINARY") or os.path.join(
        REPO, "build", "sanitize", "installWalletForLinux"), "--help"], capture_output=True,
        text=True, timeout=20)
    assert r.returncode == 0
    for name in files:
        if not name.startswith("/"):
            assert name.replace("path/", "") in r.stdout, name
    assert all(len(line) <= 80 for line in r.stdout.splitlines()), r.stdout


@pytest.mark.skipif(shutil.which("man") is None, reason="no man to render the page")
def test_the_manual_read_from_its_source_shows_no_placeholder():
    r = subprocess.run(["man", "-l", MANUAL], capture_output=True, text=True, timeout=60,
                       env=dict(os.environ, MANWIDTH="80", MAN_KEEP_FORMATTING="", PAGER="cat"))
    assert r.returncode == 0, r.stderr
    assert "@" not in r.stdout.replace("maker@", ""), r.stdout
    assert "installWalletForLinux version" in r.stdout


def test_the_installer_makes_in_its_folder_only_the_files_the_manual_lists(tui):
    # A start (sudo probe, system detection, password), logging on, a scan (the profile, find's
    # complaints; the scan's listing passes through tempout.txt and is removed): what the
    # installer's own folder held on the way is exactly the FILES entries that live there.
    sb = tui.sb
    _, files = golden()
    before = set(os.listdir(sb.program_dir))

    def made():
        out = set()
        for name in set(os.listdir(sb.program_dir)) - before:
            out.add(name + "/" if os.path.isdir(os.path.join(sb.program_dir, name)) else name)
        return out

    tui.start()
    toggle_logging(tui, "ENABLED")
    seen = made()
    drawn = scan(tui)
    tui.wait_output_count(TOP_HEADER, drawn + 1, 60)
    tui.send("0")
    assert tui.exit_status() == 0
    seen |= made()
    assert seen == {f for f in files if "/" not in f.rstrip("/")}
    assert os.listdir(os.path.join(sb.program_dir, "temp")) == ["tempout.txt"]
