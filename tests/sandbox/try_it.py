#!/usr/bin/python3
# Runs the installer in this terminal inside a fresh sandbox (temporary HOME, shims instead of
# sudo/apt-get/..., the local FTP archive server), then stops the server and removes the
# sandbox. Usage: try_it.py BINARY [--keep]
import os
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
        print("The installer asks for a password: any text will do, the sudo stand-in accepts it.")
        if sb.keyring_path():
            print("The sample archive is signed (SHA256SUMS, SHA256SUMS.gpg) with a throwaway key "
                  "made for this sandbox;\nthe installer checks it before installing anything.")
        print("Starting the installer; press 0 in its top menu to leave.")
        # The installer owns the terminal; Ctrl-C reaches it, not this script.
        old = signal.signal(signal.SIGINT, signal.SIG_IGN)
        try:
            status = subprocess.call(["./installWalletForLinux"], cwd=sb.program_dir, env=env,
                                     executable=sb.program,
                                     preexec_fn=lambda: signal.signal(signal.SIGINT,
                                                                      signal.SIG_DFL))
        finally:
            signal.signal(signal.SIGINT, old)
        print("\nThe installer ended with status %d." % status)
        calls = summary(sb)
        if calls:
            print("Commands it ran that the sandbox stood in for:")
            print("\n".join(calls[-40:]))
        return 0 if status == 0 else 1

if __name__ == "__main__":
    sys.exit(main())
