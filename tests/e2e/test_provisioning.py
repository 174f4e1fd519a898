# End-to-end checks of the package provisioning against the sandbox's package table (what is
# installed, what apt has no candidate for, what fails, whether i386 is enabled): the lists
# are refreshed once before the first install, only what is missing and available reaches
# apt-get (a group in one run), a failing package stops nothing (its group's names then run
# one by one), and the run log says how every package ended.
import os
import re
import sys

import pytest

from test_install import apt_runs, open_installation_menu
from test_run_log import toggle_logging

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))),
                                "sandbox"))
import package_list  # noqa: E402

PACKAGE_LINE = re.compile(r"\d{4}-\d{2}-\d{2}T\d{2}:\d{2}:\d{2} status: package (\S+): (.*)")
COMMAND_LINE = re.compile(r"\d{4}-\d{2}-\d{2}T\d{2}:\d{2}:\d{2} exit=(\d+) duration=\S+ "
                          r"command: (.*)")
NEEDS_I386 = "needs the i386 architecture (dpkg --add-architecture i386)"

CASES = {
    # A Debian system nobody enabled i386 on, with a few packages there and a few not in its
    # archive, and one whose installation fails.
    "debian": dict(foreign_architectures=[], installed=["binutils", "curl", "libncurses5-dev"],
                   unavailable=["realpath", "lsb", "r8168-dkms"], failing={"gcc": 100},
                   update_rc=0),
    # Package lists that cannot be refreshed: the installs still run.
    "lists-fail": dict(foreign_architectures=["i386"], installed=[], unavailable=[],
                       failing={}, update_rc=100),
}


def expected_end(name, table):
    if name in table["installed"]:
        return "already installed"
    if name.endswith(":i386") and "i386" not in table["foreign_architectures"]:
        return NEEDS_I386
    if name in table["unavailable"]:
        return "not available on this system"
    if name in table["failing"]:
        return "failed (exit status %d)" % table["failing"][name]
    return "installed"


@pytest.mark.parametrize("case", sorted(CASES))
def test_only_missing_available_packages_are_installed_and_every_end_is_logged(tui, case):
    sb = tui.sb
    table = CASES[case]
    sb.set_packages(**table)
    tui.start()
    toggle_logging(tui, "ENABLED")
    open_installation_menu(tui)
    tui.send("2")
    tui.answer_plan("y")
    tui.exit_status(timeout=240)

    # Terminal emulators missing on this machine come first (the checks test /usr/bin).
    terminals = [t for t in ("xterm", "gnome-terminal", "xfce4-terminal")
                 if not os.path.exists("/usr/bin/" + t)]
    names = terminals + [n for n in package_list.distinct() if n not in terminals]
    ends = {n: expected_end(n, table) for n in names}
    attempted = [n for n in names if ends[n] == "installed" or n in table["failing"]]
    # Each group's names in one run; where that run fails, each of them in a run of its own.
    expected = [["-y", "install", t] for t in terminals if t in attempted]
    for group in package_list.group_runs(terminals):
        group = [n for n in group if n in attempted]
        if len(group) > 1:
            expected.append(["-y", "install"] + group)
        if len(group) == 1 or any(n in table["failing"] for n in group):
            expected += [["-y", "install", n] for n in group]

    apt = [a for a in apt_runs(sb) if "-s" not in a]
    assert apt[0] == ["update"] and apt.count(["update"]) == 1, apt[:3]
    assert apt[1:] == expected
    assert not any("--add-architecture" in e["argv"] for e in sb.log("dpkg"))
    font = expected.index(["-y", "install", "ttf-mscorefonts-installer"])
    assert [e["argv"] for e in sb.log("dpkg-reconfigure")] == [
        ["-f", "noninteractive", "ttf-mscorefonts-installer"]]
    order = [e["tool"] for e in sb.log()
             if e["tool"] in ("debconf-set-selections", "dpkg-reconfigure")
             or (e["tool"] == "apt-get" and "-s" not in e["argv"]
                 and "--print-uris" not in e["argv"])]
    assert order[font:font + 4] == ["apt-get", "debconf-set-selections", "apt-get",
                                    "dpkg-reconfigure"]

    with open(os.path.join(sb.program_dir, "runlog.txt"), encoding="utf-8") as f:
        log = f.read().splitlines()
    logged = [m.groups() for m in map(PACKAGE_LINE.fullmatch, log) if m]
    # One line for each package, when its end is known (those not attempted before the
    # installs of their group).
    assert sorted(logged) == sorted(ends.items())
    commands = [m.groups() for m in map(COMMAND_LINE.fullmatch, log) if m]
    update = [rc for rc, c in commands if c.endswith(" apt-get update")]
    assert update == [str(table["update_rc"])]
