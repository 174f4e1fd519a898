#!/usr/bin/python3
# Runs the installer in this terminal inside a fresh sandbox (temporary HOME, shims instead of
# sudo/apt-get/..., the local FTP archive server), then stops the server and removes the
# sandbox. Usage: try_it.py BINARY [--keep]
import os
import select
import signal
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from sandbox import Sandbox  # noqa: E402


def summary(sb):
    lines = []
    for e in sb.log():
        if e["tool"] == "sudo" and e.get("ran"):
            continue  # the command it ran has its own line, or changed only the sandbox
        lines.append("  %s %s" % (e["tool"], " ".join(e["argv"])))
    return lines


def main():
    args = [a for a in sys.argv[1:] if a != "--keep"]
    keep = "--keep" in sys.argv[1:]
    if len(args) != 1:
        print("usage: try_it.py BINARY [--keep]", file=sys.stderr)
        return 2
    if not (sys.stdin.isatty() and sys.stdout.isatty()):
        print("try-it needs a terminal (run it in a terminal window)", file=sys.stderr)
        return 2
    binary = os.path.abspath(args[0])
    with Sandbox.up(binary=binary, keep=keep) as sb:
        env = sb.env()
        env["TERM"] = os.environ.get("TERM", "xterm")
        for name in ("ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"):
            env.pop(name, None)
        print("Sandbox: %s (HOME=%s, archive server ftp://127.0.0.1:%d)"
              % (sb.root, sb.home, sb.ftp_port))
        print("The installer runs as %s from %s and keeps its own files there;\n"
              "an installation goes below HOME." % (env["USER"], sb.program_dir))
        print("It asks for a password: any text will do, the sudo stand-in accepts it.")
        if sb.keyring_path():
            print("The sample archive is signed (SHA256SUMS, SHA256SUMS.gpg) with a throwaway key "
                  "made for this sandbox;\nthe installer checks it before installing anything.")
        print("In its top menu, 1 installs, 8 shows help and 0 leaves.")
        if not wait_for_enter():
            print("\nInterrupted before the installer started.")
            return 1
        # The installer owns the terminal; Ctrl-C reaches it, not this script.
        old = signal.signal(signal.SIGINT, signal.SIG_IGN)
        try:
            status = subprocess.call(["./installWalletForLinux"], cwd=sb.program_dir, env=env,
                                     executable=sb.program,
                                     preexec_fn=lambda: signal.signal(signal.SIGINT,
                                                                      signal.SIG_DFL))
        finally:
            signal.signal(signal.SIGINT, old)
        print("\n" + ending(status))
        calls = summary(sb)
        if calls:
            print("Commands it ran that the sandbox stood in for:")
            print("\n".join(calls[-40:]))
        return 0 if status == 0 else 1


# How long the opening text waits for Enter before the installer starts anyway.
ENTER_WAIT_SECONDS = 600


def wait_for_enter():
    """Keeps the opening text on the screen until Enter (the installer's first screen would
    wipe it at once); False when Ctrl-C was pressed instead."""
    print("Press Enter to start the installer (Ctrl-C leaves). ", end="", flush=True)
    try:
        ready, _, _ = select.select([sys.stdin], [], [], ENTER_WAIT_SECONDS)
        if ready:
            sys.stdin.readline()
    except KeyboardInterrupt:
        return False
    return True


def ending(status):
    """The closing line for the installer's exit status (a signal's is negative)."""
    if status == -signal.SIGINT:
        return "The installer was interrupted (Ctrl-C)."
    if status < 0:
        return "The installer was ended by %s." % signal.Signals(-status).name
    return "The installer ended with exit status %d." % status


if __name__ == "__main__":
    sys.exit(main())
