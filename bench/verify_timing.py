#!/usr/bin/python3
# What the archive check adds to a variant-A installation in the sandbox: the same installation
# of the sample archive, signed (SHA256SUMS + SHA256SUMS.gpg: two more files to fetch, gpgv,
# the in-process hashes) and unsigned (no sums: nothing checked), side by side in one run,
# alternating. The span measured runs from the refresh's "DOWNLOADING" line (then its 2 s pause
# and wget) to the verdict on the status line, so it holds the fetch of the two files and the
# check; the whole installation is given too. Usage: bench/verify_timing.py [BINARY] [--pairs N]
import argparse
import os
import statistics
import sys
import time

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(REPO, "tests", "sandbox"))
from sandbox import Sandbox  # noqa: E402
from tmux_session import TmuxSession  # noqa: E402

DOWNLOADING = "ARCHIVE FILES CHECK..................... DOWNLOADING"
VERDICTS = {True: "APPLICATION STATUS= archive verified (signed SHA256SUMS)",
            False: "APPLICATION STATUS= archive not verified (no SHA256SUMS)"}


def one_run(binary, signed):
    """(download-to-verdict seconds, whole installation seconds)."""
    with Sandbox.up(binary=binary, ftp=False) as sb:
        if not signed:
            sb.unsign_archive()
        elif not sb.keyring_path():
            raise SystemExit("%s reads its keyring outside the sandbox; build it with "
                             "-DCORVANE_ARCHIVE_KEYRING=archive-keyring.gpg (bench preset)"
                             % binary)
        sb.start_ftp()
        tui = TmuxSession(sb)
        try:
            tui.start()
            tui.send("1")
            tui.wait_for(lambda rows: rows[0].startswith(" MAIN MENU-INSTALLATION"), timeout=10)
            tui.send("2")
            tui.answer_plan("y")
            start = time.monotonic()
            downloading = tui.wait_output_count(DOWNLOADING, 1, timeout=180, poll=0.002)
            verdict = tui.wait_output_count(VERDICTS[signed], 1,
                                            timeout=180 - (downloading - start), poll=0.002)
            if tui.exit_status(timeout=180) != 0:
                raise RuntimeError("the installation failed\n" + tui.screen_text())
            return verdict - downloading, time.monotonic() - start
        finally:
            tui.close()

def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("binary", nargs="?",
                    default=os.path.join(REPO, "build", "bench", "installWalletForLinux"))
    ap.add_argument("--pairs", type=int, default=3)
    args = ap.parse_args()
    binary = os.path.abspath(args.binary)
    runs = {True: [], False: []}
    for _ in range(args.pairs):
        for signed in (False, True):
            runs[signed].append(one_run(binary, signed))
    print("variant A in the sandbox, %d pair(s), %s" % (args.pairs, binary))
    print("%-34s %12s %12s %10s" % ("median seconds", "no sums", "signed", "added"))
    for i, name in enumerate(("DOWNLOADING to verdict", "whole installation")):
        plain = statistics.median(r[i] for r in runs[False])
        checked = statistics.median(r[i] for r in runs[True])
        print("%-34s %12.3f %12.3f %+10.3f" % (name, plain, checked, checked - plain))
    for signed in (False, True):
        print("  %-8s runs: %s" % ("signed" if signed else "no sums", ", ".join(
            "%.3f/%.2f" % r for r in runs[signed])))


if __name__ == "__main__":
    main()
