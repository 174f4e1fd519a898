# End-to-end checks of the run log and of the progress shown during long steps: an
# installation logged command by command (never the start-up password), nothing logged once
# logging is off, nothing masked whatever the password, a deleted log that stays deleted until
# the next command, the log shown in a pager outside a graphical session, and a partition of
# 200,000 entries listed with its folder and a growing count on the screen.
import os
import re
import stat
import sys

import pytest

from test_advanced_menu import on_advanced, press
from test_install import AWAITING, is_menu, open_installation_menu
from test_scan import scan
from tmux_session import TOP_HEADER

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))),
                                "sandbox"))
from scan_tree import ensure_scan_tree  # noqa: E402

PASSWORD = "Qz7-startup pw"
LINE = re.compile(rb"\d{4}-\d{2}-\d{2}T\d{2}:\d{2}:\d{2} "
                  rb"(?:exit=(\d+) duration=\d+\.\d{3}s command: (.*)|status: (.*))")


def on_top(rows):
    return rows[0].startswith(TOP_HEADER)


def toggle_logging(tui, wording):
    tui.send("8")
    tui.wait_for(on_advanced, what="the advanced menu")
    press(tui, "3", lambda r: r[6] == " > PRESS 3.. TO TOOGLE LOGGING= " + wording, wording)
    press(tui, "0", on_top, "the top menu")


def test_an_installation_is_logged_until_logging_is_turned_off(tui):
    sb = tui.sb
    runlog = os.path.join(sb.program_dir, "runlog.txt")
    tui.start(password=PASSWORD)
    toggle_logging(tui, "ENABLED")
    before = len(sb.log())
    open_installation_menu(tui)
    tui.send("3")  # install for this user and stay in the installer
    tui.wait_output_count(b"APPLICATION STATUS= Installation Complete, Awating user input", 1,
                          timeout=60)
    tui.wait_for(lambda rows: is_menu(rows) and rows[21] == AWAITING, what="the menu again")
    tui.send("0")
    tui.wait_for(on_top, what="the top menu")
    toggle_logging(tui, "DISABLED")

    with open(runlog, "rb") as f:
        log = f.read()
    assert stat.S_IMODE(os.stat(runlog).st_mode) == 0o600
    assert PASSWORD.encode() not in log and b"Qz7" not in log
    commands, statuses = [], []
    for line in log.splitlines():
        m = LINE.fullmatch(line)
        assert m, line
        if m.group(3) is not None:
            statuses.append(m.group(3).decode())
        else:
            commands.append((int(m.group(1)), m.group(2).decode()))
    # Every command that reached sudo is there, as the shell was given it (the shims record
    # it as their parent), with its exit status; and the download, with wget's own status.
    shell = "/bin/sh -c "
    after = sb.log()[before:]
    run = [e["parent"][len(shell):] for e in after
           if e["tool"] == "sudo" and e["parent"].startswith(shell)]
    # (Variant B into the home folder may ask root for nothing: the user's own folders and
    # files are made by the installer itself; the download below is always there.)
    for command in run:
        assert (0, command) in commands, (command, commands)
    downloads = [c for c in commands if re.match(r"(timeout .* )?wget ", c[1])]
    assert len(downloads) == len([e for e in after if e["tool"] == "wget"]) == 1, commands
    for text in ("APPLICATION STATUS= Creating Directories",
                 "APPLICATION STATUS= Downloading Files",
                 "APPLICATION STATUS= Creating desktop shortcut",
                 "APPLICATION STATUS= Installation Complete, Awating user input"):
        assert statuses.count(text) == 1, (text, statuses)

    # Logging off: a scan runs its commands and shows its texts; the log stays as it was.
    drawn = scan(tui)
    tui.wait_output_count(TOP_HEADER, drawn + 1, 60)
    assert len(sb.log("df")) >= 1
    with open(runlog, "rb") as f:
        assert f.read() == log


def test_the_run_log_is_shown_in_the_pager_without_a_graphical_session(tui):
    sb = tui.sb
    seen = os.path.join(sb.log_dir, "pager-saw.txt")
    pager = os.path.join(sb.root, "pager")
    with open(pager, "w") as f:
        f.write("#!/bin/sh\n# Pager stand-in: records its arguments and what it was shown.\n"
                "{ echo \"args: $*\"; cat \"$1\"; } > %s\n" % seen)
    os.chmod(pager, 0o755)
    tui.type_line("export PAGER=%s" % pager)  # no DISPLAY in the sandbox
    tui.start()
    tui.send("8")
    tui.wait_for(on_advanced, what="the advanced menu")
    press(tui, "3", lambda r: r[6].endswith("LOGGING= ENABLED"), "ENABLED")
    tui.send("5")
    tui.wait_for(lambda rows: os.path.exists(seen), what="the pager to run")
    # The menu takes the terminal back and answers keys again.
    press(tui, "9", lambda r: r[0].startswith(" MAIN MENU-ADVANCED-TECHNICAL"), "a page")
    press(tui, "x", on_advanced, "the advanced menu")
    runlog = os.path.join(sb.program_dir, "runlog.txt")
    with open(seen) as f:
        shown = f.read()
    assert shown.startswith("args: %s\n" % runlog), shown
    assert "status: " in shown
    assert sb.log("gedit") == []


def test_a_large_partition_shows_its_folder_and_a_growing_count(tui):
    sb = tui.sb
    tree = ensure_scan_tree(200_000)
    sb.set_df(rows=[("/dev/sda1", "458G", "113G", "323G", "26%", tree)])
    # The real find, its listing passed on in slices: on an idle machine find alone lists this
    # tree between two progress updates, and the count must be seen growing whatever the load.
    slow_find = os.path.join(sb.bin, "find")
    with open(slow_find, "w") as f:
        f.write("#!/usr/bin/python3\n"
                "import subprocess, sys, time\n"
                "p = subprocess.Popen(['/usr/bin/find'] + sys.argv[1:], stdout=subprocess.PIPE)\n"
                "for chunk in iter(lambda: p.stdout.read(512 * 1024), b''):\n"
                "    sys.stdout.buffer.write(chunk)\n"
                "    sys.stdout.buffer.flush()\n"
                "    time.sleep(0.1)\n"
                "sys.exit(p.wait())\n")
    os.chmod(slow_find, 0o755)
    tui.start()
    scan(tui)
    done = "   %s/ (/dev/sda1) 200000 ENTRIES, 0 WALLETS" % tree
    tui.wait_output_count(done, 1, 60)
    out = tui.output()
    listing = re.escape(("   %s/ (/dev/sda1) LISTING... " % tree).encode()) + rb"(\d+) ENTRIES"
    end = out.index(done.encode())
    counts = [int(c) for c in re.findall(listing, out[:end])]
    # Drawn first with 0, then growing while find still ran, all before the done line.
    assert counts[0] == 0 and counts == sorted(counts), counts
    assert len({c for c in counts if 0 < c < 200_000}) >= 2, counts
    # find's error lines never reach the screen: they went to the error file.
    assert b"find: " not in out


@pytest.mark.parametrize("password", ["a", "wallet"])
def test_the_log_reads_as_it_ran_and_stays_deleted_until_the_next_command(tui, password):
    # Passwords whose text stands in ordinary words and paths: nothing in the log is masked.
    sb = tui.sb
    runlog = os.path.join(sb.program_dir, "runlog.txt")
    tui.start(password=password)
    toggle_logging(tui, "ENABLED")
    open_installation_menu(tui)
    tui.send("3")  # install for this user and stay in the installer
    tui.wait_output_count(b"APPLICATION STATUS= Installation Complete, Awating user input", 1,
                          timeout=60)
    tui.wait_for(lambda rows: is_menu(rows) and rows[21] == AWAITING, what="the menu again")
    tui.send("0")
    tui.wait_for(on_top, what="the top menu")

    with open(runlog, "rb") as f:
        log = f.read()
    assert b"**" not in log, log  # (one "*" stands in wget's --reject=index.html*)
    lines = log.splitlines()
    assert all(LINE.fullmatch(line) for line in lines), log
    assert b" status: APPLICATION STATUS= Awaiting user input" in log
    assert b" status: APPLICATION STATUS= Installation Complete, Awating user input" in log
    # The download's command line as it ran, with its paths ("archive/wallet/current").
    download = [line for line in lines if re.search(rb"command: (timeout .* )?wget ", line)]
    assert len(download) == 1 and b"/wallet" in download[0], lines

    # Deleted with logging on, it stays deleted: "NOT FOUND" then, until a command runs.
    tui.send("8")
    tui.wait_for(on_advanced, what="the advanced menu")
    press(tui, "4", lambda r: "runlog.txt DELETED, Waiting for user input" in r[21], "DELETED")
    assert not os.path.exists(runlog)
    press(tui, "5", lambda r: "runlog.txt NOT FOUND, Waiting for user input" in r[21],
          "NOT FOUND")
    assert not os.path.exists(runlog)
    press(tui, "0", on_top, "the top menu")
    assert not os.path.exists(runlog)
    tui.send("3")  # starts the installed wallet: a command, logged
    tui.wait_for(lambda rows: os.path.exists(runlog), what="the log to be made again")
    tui.wait_for(on_top, what="the top menu")
    with open(runlog, "rb") as f:
        again = f.read().splitlines()
    assert again[0].endswith(b" status: runlog.txt DELETED, Waiting for user input"), again
    assert LINE.fullmatch(again[-1]).group(2).endswith(b"/wallet"), again
