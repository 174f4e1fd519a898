#!/usr/bin/python3
# Package provisioning on a machine that already has every available package, side by side in
# one run: the old way (one elevated `apt-get -y install` per list entry, 85 runs, and the
# licence answer) replayed command by command through the same sudo line the program used,
# against the installer's own provisioning (variant A in tmux, timed on its screen from the
# records' status text to the program's end, and by the run log's command durations).
# In the sandbox (shims) always; with --real-root TARBALL (as root) also in a Debian root of the
# real-system layer (real sudo and apt-get, the local repository).
#
#   bench/provision_timing.py [BINARY] [--real-root TARBALL]
import argparse
import os
import re
import shlex
import subprocess
import sys
import time

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(REPO, "tests", "sandbox"))
sys.path.insert(0, os.path.join(REPO, "tests", "realsys"))
import package_list  # noqa: E402
from sandbox import Sandbox  # noqa: E402
from tmux_session import TOP_HEADER, TmuxSession  # noqa: E402

PASSWORD = "secret"
ELEVATED = "sudo -kS sh -c 'exec \"$@\" </dev/null' sh "
DEBCONF = ("sh -c 'echo ttf-mscorefonts-installer msttcorefonts/accepted-mscorefonts-eula "
           "select true | debconf-set-selections'")
PROVISIONING_STARTS = b"APPLICATION STATUS= Updating configuration file"
COMMAND_LINE = re.compile(r"\S+ exit=\d+ duration=(\d+\.\d+)s command: (.*)")
LOGGING_ON = " > PRESS 3.. TO TOOGLE LOGGING= ENABLED"


def old_way_commands():
    """The command lines the installer ran before: the three terminal emulators (missing on
    a machine that lacks them, so counted here), then every entry of the four groups, the
    font group as it was ("dpkg-reconfigure ttf-mscorefonts-installer" given to apt-get, then
    the package), the licence answer before it."""
    groups = package_list.groups()
    lines = [ELEVATED + "apt-get -y install " + t for t in package_list.TERMINALS]
    for name, entries in groups.items():
        if name == "PACKAGES_FONTS":
            lines.append(ELEVATED + DEBCONF)
            entries = ["dpkg-reconfigure ttf-mscorefonts-installer"] + entries
        lines += [ELEVATED + "apt-get -y install " + e for e in entries]
    return lines


def old_way_script(commands, password):
    """One shell script that runs the old command lines in turn, each with the password on
    sudo's standard input, output thrown away."""
    return "".join("printf '%%s\\n' %s | %s >/dev/null 2>&1\n" % (shlex.quote(password), c)
                   for c in commands)


def provisioning_commands(runlog):
    """(count, seconds) of the commands the provisioning ran: the run log from the package
    lists' refresh on."""
    with open(runlog, encoding="utf-8") as f:
        lines = f.read().splitlines()
    found = [COMMAND_LINE.fullmatch(line) for line in lines]
    commands = [(float(m.group(1)), m.group(2)) for m in found if m]
    start = max(i for i, (_, c) in enumerate(commands) if c.endswith(" apt-get update"))
    return len(commands) - start, sum(d for d, _ in commands[start:])


def enable_logging(tui):
    tui.send("8")
    tui.wait_for(lambda rows: rows[6].startswith(" > PRESS 3.. TO TOOGLE LOGGING= "),
                 what="the advanced menu")
    tui.send("3")
    tui.wait_for(lambda rows: rows[6].rstrip() == LOGGING_ON, what="logging enabled")
    tui.send("0")
    tui.wait_for(lambda rows: rows[0].startswith(TOP_HEADER), what="the top screen")


def new_way(tui, runlog, start_kwargs, timeout=600):
    """Variant A with logging on; returns (wall seconds from the records' status to the end,
    commands run, their seconds)."""
    tui.start(**start_kwargs)
    enable_logging(tui)
    tui.send("1")
    tui.wait_for(lambda rows: rows[0].startswith(" MAIN MENU-INSTALLATION"), timeout=20)
    tui.send("2")
    tui.answer_plan("y", timeout=60)
    began = tui.wait_output_count(PROVISIONING_STARTS, 1, timeout=timeout, poll=0.005)
    tui.exit_status(timeout=timeout)
    wall = time.monotonic() - began
    count, seconds = provisioning_commands(runlog)
    return wall, count, seconds


def report(where, old_count, old_seconds, wall, count, seconds):
    print("%s, every available package installed:" % where)
    print("  old way: %3d commands  %8.2f s" % (old_count, old_seconds))
    print("  new way: %3d commands  %8.2f s of commands, %.2f s on the screen "
          "(records' status to the end)" % (count, seconds, wall))
    print("  ratio new/old: %.4f (screen time) = 1/%.0f" % (wall / old_seconds,
                                                             old_seconds / wall))


def in_sandbox(binary):
    with Sandbox.up(binary=binary) as sb:
        names = package_list.distinct()
        sb.set_packages(installed=names, foreign_architectures=["i386"])
        commands = old_way_commands()
        t0 = time.monotonic()
        r = subprocess.run(["/bin/sh", "-c", old_way_script(commands, PASSWORD)], env=sb.env(),
                           cwd=sb.program_dir, stdin=subprocess.DEVNULL, timeout=900)
        old_seconds = time.monotonic() - t0
        assert r.returncode == 0
        assert len(sb.log("apt-get")) == 85, len(sb.log("apt-get"))
        tui = TmuxSession(sb)
        try:
            wall, count, seconds = new_way(tui, os.path.join(sb.program_dir, "runlog.txt"), {})
        finally:
            tui.close()
        # The terminal checks test this machine's /usr/bin: what is missing here is installed
        # again, as the old way did; nothing else is.
        again = [e["argv"][-1] for e in sb.log("apt-get")[85:] if e["argv"] != ["update"]]
        missing = [t for t in package_list.TERMINALS if not os.path.exists("/usr/bin/" + t)]
        assert again == missing, again
        if missing:
            print("(the sandbox's terminal checks find %s missing on this machine: the new way "
                  "installs them as the old way did)" % ", ".join(missing))
        report("sandbox", len(commands), old_seconds, wall, count, seconds)


def in_debian_root(binary, tarball):
    import tempfile
    from bed import GROUP_PACKAGES, MISSING_FROM_REPOSITORY, TESTER, TESTER_PASSWORD, Base
    from conftest import RealSession
    work = tempfile.mkdtemp(prefix="corvane-bench-", dir="/var/tmp")
    base = Base(tarball, binary, work)
    bed = None
    try:
        bed = base.new_bed()
        available = [p for p in GROUP_PACKAGES if p != MISSING_FROM_REPOSITORY]
        bed.run("DEBIAN_FRONTEND=noninteractive apt-get -y -q install %s >/dev/null"
                % " ".join(shlex.quote(p) for p in available), timeout=900)
        commands = old_way_commands()
        t0 = time.monotonic()
        bed.run(old_way_script(commands, TESTER_PASSWORD), user=TESTER, timeout=1800,
                check=False)
        old_seconds = time.monotonic() - t0
        tui = RealSession(bed)
        try:
            wall, count, seconds = new_way(tui, bed.path("/home/%s/installer/runlog.txt" % TESTER),
                                           {"password": TESTER_PASSWORD, "timeout": 30})
        finally:
            tui.close()
        report("Debian 12 root (real sudo, apt-get, dpkg)", len(commands), old_seconds, wall,
               count, seconds)
        bed.close()
        bed = None
        programs = [p for p in package_list.groups()["PACKAGES_PROGRAMS"]
                    if p in available and p != "wget"]
        group_against_each(base, programs)
    finally:
        if bed is not None:
            bed.close()
        base.close()


def group_against_each(base, names):
    """On a machine that lacks them: the same packages installed by one apt-get run per
    package, and (in a fresh bed) by one run for all after `apt-get -s` resolved them."""
    from bed import TESTER, TESTER_PASSWORD
    times = {}
    for way in ("each", "group"):
        bed = base.new_bed()
        try:
            if way == "each":
                script = old_way_script([ELEVATED + "apt-get -y install " + n for n in names],
                                        TESTER_PASSWORD)
            else:
                joined = " ".join(shlex.quote(n) for n in names)
                script = ("apt-get -s -y install %s >/dev/null 2>&1 && " % joined
                          + old_way_script([ELEVATED + "apt-get -y install " + joined],
                                           TESTER_PASSWORD))
            t0 = time.monotonic()
            bed.run(script, user=TESTER, timeout=1800)
            times[way] = time.monotonic() - t0
            missing = bed.run("dpkg-query -W -f='${Status}\\n' %s | grep -vc ' installed$'"
                              % " ".join(shlex.quote(n) for n in names), check=False).stdout
            assert missing.strip() == "0", (way, missing)
        finally:
            bed.close()
    print("installing %d missing packages (group D's), real apt-get:" % len(names))
    print("  one run per package: %8.2f s" % times["each"])
    print("  one run for all:     %8.2f s (after apt-get -s)" % times["group"])
    print("  ratio group/each: %.3f" % (times["group"] / times["each"]))


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("binary", nargs="?",
                    default=os.path.join(REPO, "build", "sanitize", "installWalletForLinux"))
    ap.add_argument("--real-root", help="cached Debian root tarball (scripts/debian-root.sh)")
    args = ap.parse_args()
    binary = os.path.abspath(args.binary)
    in_sandbox(binary)
    if args.real_root:
        in_debian_root(binary, args.real_root)


if __name__ == "__main__":
    main()
