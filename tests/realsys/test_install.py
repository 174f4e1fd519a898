# Variant A of the installation on a real Debian system: real apt-get installs every package
# of the groups that the local repository has (the run log names the one it lacks and the one
# the root had already), real dpkg installs the archive's two packages, the
# launchers pass desktop-file-validate and start the wallet, and what the installation makes
# belongs to the user and is closed to everybody else.
import os
import re
import shlex

import pytest

from bed import (ALREADY_INSTALLED, ASAN_DIR, DEB_FILES, GROUP_PACKAGES, MISSING_FROM_REPOSITORY,
                 TESTER, TESTER_PASSWORD, desktop_exec, group_members, launcher_problems,
                 open_to_others, package_states, snapshot, user_ids, wallet_runs)
from conftest import RealSession
from tmux_session import TOP_HEADER

HOME = "/home/" + TESTER
LAUNCHERS = (HOME + "/Desktop/Corvane wallet.desktop",
             HOME + "/.local/share/applications/Corvane wallet.desktop")
INSTALL_MENU_TITLE = " MAIN MENU-INSTALLATION"
AWAITING = "APPLICATION STATUS= Awaiting user input"
VARIANT_A_TIMEOUT = 420
LOGGING_ON = " > PRESS 3.. TO TOOGLE LOGGING= ENABLED"
RUN_LOG = HOME + "/installer/runlog.txt"


class Installed:
    pass


@pytest.fixture(scope="module")
def variant_a(base):
    """One variant A installation (it takes a while), examined by the tests below."""
    bed = base.new_bed()
    session = None
    try:
        result = Installed()
        result.bed = bed
        result.before = snapshot(bed)
        session = RealSession(bed)
        session.start(password=TESTER_PASSWORD, timeout=30)
        # The run log on (advanced menu, key 3): it says how each package ended.
        session.send("8")
        session.wait_for(lambda rows: rows[6].startswith(" > PRESS 3.. TO TOOGLE LOGGING= "),
                         what="the advanced menu")
        session.send("3")
        session.wait_for(lambda rows: rows[6].rstrip() == LOGGING_ON, what="logging enabled")
        session.send("0")
        session.wait_for(lambda rows: rows[0].startswith(TOP_HEADER), what="the top screen")
        session.send("1")
        session.wait_for(lambda rows: rows[0].startswith(INSTALL_MENU_TITLE)
                         and rows[21].rstrip() == AWAITING, what="the installation menu")
        session.send("2")
        session.answer_plan("y", timeout=60)
        result.status = session.exit_status(timeout=VARIANT_A_TIMEOUT)
        result.screen = session.screen_text()
        result.after = snapshot(bed)
        yield result
    finally:
        if session is not None:
            session.close()
        reports = os.listdir(bed.path(ASAN_DIR))
        bed.close()
    assert not reports, "sanitizer reports: %s" % reports


def test_variant_a_installs_every_package_and_its_launchers_start_the_wallet(variant_a):
    bed = variant_a.bed
    assert variant_a.status == 0, variant_a.screen
    states = package_states(bed, GROUP_PACKAGES)
    missing = {p: s for p, s in states.items() if s != "install ok installed"}
    assert missing == {MISSING_FROM_REPOSITORY: "not installed"}, missing
    archive = package_states(bed, [d.split("_")[0] for d in DEB_FILES])
    assert set(archive.values()) == {"install ok installed"}, archive
    assert TESTER in group_members(bed, "sudo")

    for launcher in LAUNCHERS:
        assert launcher_problems(bed, launcher) is None, launcher
        with open(bed.path(launcher), encoding="utf-8") as f:
            folder, argv = desktop_exec(f.read())
        runs_before = wallet_runs(bed)
        r = bed.run("cd %s && exec %s" % (shlex.quote(folder or HOME),
                                          " ".join(shlex.quote(a) for a in argv)),
                    user=TESTER, check=False, timeout=30)
        assert r.returncode == 0, (launcher, argv, r.stderr)
        assert wallet_runs(bed)[len(runs_before):] == [
            "sample wallet ran: %s/wallet/wallet " % HOME], (launcher, argv)


def test_the_run_log_names_the_missing_package_and_the_installed_one_got_no_apt_get(variant_a):
    with open(variant_a.bed.path(RUN_LOG), encoding="utf-8") as f:
        log = f.read()
    ends = dict(re.findall(r" status: package (\S+): (.*)", log))
    assert ends[MISSING_FROM_REPOSITORY] == "not available on this system"
    assert ends[ALREADY_INSTALLED] == "already installed"
    # The i386 libraries came from the repository: the root has the architecture enabled.
    assert ends["libc6:i386"] in ("installed", "already installed")
    assert set(ends) == set(GROUP_PACKAGES)
    installs = " ".join(re.findall(r" command: sudo -kS .* apt-get -y install (.*)$", log,
                                   re.M)).split()
    assert installs and ALREADY_INSTALLED not in installs
    assert MISSING_FROM_REPOSITORY not in installs
    assert len(re.findall(r" command: sudo -kS .* apt-get update$", log, re.M)) == 1


def test_what_the_installation_makes_is_the_users_and_closed_to_others(variant_a):
    bed = variant_a.bed
    before, after = variant_a.before, variant_a.after
    made = {p: e for p, e in after.items() if p not in before}
    changed = {p: e for p, e in after.items() if p in before and before[p] != e}
    open_ones = sorted(p for p, e in {**made, **changed}.items() if open_to_others(e))
    assert not open_ones, open_ones
    uid, gid = user_ids(bed, TESTER)
    in_home = {p: e for p, e in made.items() if p.startswith(HOME + "/")}
    foreign = sorted(p for p, e in in_home.items() if (e[1], e[2]) != (uid, gid))
    assert not foreign, foreign
    # Everything the user will run or that holds a secret is among what was made.
    for path in (HOME + "/wallet/wallet", HOME + "/wallet/wallet.ico", HOME + "/wallet/wallet.cfg",
                 HOME + "/installer/sudoPassword.txt", HOME + "/installer/hash.txt") + LAUNCHERS:
        assert path in in_home, path
    tellers = HOME + "/wallet/control/applications/wallet/tellerData"
    assert in_home[tellers][3] == 0o700
    for secret in ("sudoPassword.txt", "hash.txt"):
        assert in_home[HOME + "/installer/" + secret][3] == 0o600


