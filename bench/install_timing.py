#!/usr/bin/python3
# Time of a variant-A installation in the sandbox (local FTP server, real wget, shims for sudo,
# dpkg and apt-get), split into the documented pauses and the rest, phase by phase from the
# screen texts as they appear. Usage: bench/install_timing.py [BINARY] [--runs N]
import argparse
import os
import sys
import time

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(REPO, "tests", "sandbox"))
from sandbox import Sandbox  # noqa: E402
from tmux_session import TmuxSession  # noqa: E402

# Phase markers in the order the screen shows them, and the documented pauses inside each
# phase (seconds): the refresh's 5 s + 2 s, the 5 s after the program copy, the launcher's 1 s,
# the three 5 s heading pauses of the provisioning (no key is pressed, so they run out).
PHASES = [
    ("folders", "ARCHIVE FILES CHECK..................... CHECKING", 0),
    ("refresh check", "ARCHIVE FILES CHECK..................... DOWNLOADING", 5),
    ("download, copies, packages", "APPLICATION STATUS= Creating desktop shortcut", 2 + 5),
    ("launcher", "APPLICATION STATUS= Updating configuration file", 1),
    ("records", " INSTALLING 32BIT LIBRARIES - PLEASE WAIT", 0),
    ("group A", " INSTALLING 64BIT LIBRARIES - PLEASE WAIT", 5),
    ("groups B and C", "INSTALLING PROGRAMS - PLEASE WAIT", 5),
    ("group D and end", None, 5),
]


def one_run(binary):
    with Sandbox.up(binary=binary) as sb:
        tui = TmuxSession(sb)
        try:
            tui.start()
            tui.send("1")
            tui.wait_for(lambda rows: rows[0].startswith(" MAIN MENU-INSTALLATION"), timeout=10)
            marks = []
            tui.send("2")
            tui.answer_plan("y")  # the clock starts at the plan's yes
            start = time.monotonic()
            for name, marker, _ in PHASES:
                if marker is None:  # the program's end
                    status = tui.exit_status(timeout=180)
                    marks.append(time.monotonic() - start)
                else:
                    marks.append(tui.wait_output_count(marker, 1, timeout=180, poll=0.005)
                                 - start)
            assert status == 0
            return marks
        finally:
            tui.close()

def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("binary", nargs="?",
                    default=os.path.join(REPO, "build", "bench", "installWalletForLinux"))
    ap.add_argument("--runs", type=int, default=1)
    args = ap.parse_args()
    runs = [one_run(os.path.abspath(args.binary)) for _ in range(args.runs)]
    pauses_total = sum(p for _, _, p in PHASES)
    print("variant A in the sandbox, %d run(s), %s" % (len(runs), args.binary))
    print("%-28s %8s %8s %8s" % ("phase", "total s", "pauses", "rest"))
    for i, (name, _, pause) in enumerate(PHASES):
        spans = [m[i] - (m[i - 1] if i else 0.0) for m in runs]
        mean = sum(spans) / len(spans)
        print("%-28s %8.2f %8.2f %8.2f" % (name, mean, pause, mean - pause))
    total = sum(m[-1] for m in runs) / len(runs)
    print("%-28s %8.2f %8.2f %8.2f" % ("whole installation", total, pauses_total,
                                       total - pauses_total))


if __name__ == "__main__":
    main()
