# On a real Debian system: an archive whose signature a man in the middle dropped (and whose
# package he swapped, with sums to match) reaches root's dpkg only after the user's y to apt's
# question. The planted package's maintainer script writes a marker as root: it never appears
# after a no.
import os
import shutil
import time

import pytest

from bed import (ARCHIVE_DEB_VERSION, ARCHIVE_TOPS, ASAN_DIR, DEB_FILES, RUN_DIR, TESTER_PASSWORD,
                 Bed, build_deb, run)
from conftest import RealSession

INSTALL_MENU_TITLE = " MAIN MENU-INSTALLATION"
QUESTION = " Install these packages without verification? [y/N]"
MARKER = "/var/lib/corvane-planted-marker"
LABEL = "APPLICATION STATUS= "


def plant(server_root):
    """The swapped archive: miniupnpc18 replaced by a package whose postinst writes MARKER
    as root, SHA256SUMS written anew for it, SHA256SUMS.gpg dropped."""
    linux = os.path.join(server_root, "ftp", "archive/wallet/current/Linux")
    deb = DEB_FILES[1]
    os.unlink(os.path.join(linux, deb))
    postinst = b"#!/bin/sh\nid -u > %s\n" % MARKER.encode()
    build_deb(linux, deb.split("_")[0], ARCHIVE_DEB_VERSION, "amd64",
              {"DEBIAN/postinst": (postinst, 0o755)}, multi_arch=False,
              out=os.path.join(linux, deb))
    for top in ARCHIVE_TOPS:
        here = os.path.join(server_root, "ftp", top)
        os.unlink(os.path.join(here, "SHA256SUMS.gpg"))
        names = sorted(os.path.relpath(os.path.join(d, f), here)
                       for d, _, fs in os.walk(here) for f in fs if f != "SHA256SUMS")
        with open(os.path.join(here, "SHA256SUMS"), "w") as f:
            f.write(run(["sha256sum", "--"] + names, cwd=here).stdout)


@pytest.fixture
def planted(base, request):
    server_root = os.path.join(base.work, "planted-server-%d" % os.getpid())
    shutil.rmtree(server_root, ignore_errors=True)
    shutil.copytree(base.server_root, server_root)
    plant(server_root)
    bed = Bed(base.root, base.work)
    session = None
    try:
        bed.run("mkdir -p %s %s && chmod 1777 %s %s" % (RUN_DIR, ASAN_DIR, RUN_DIR, ASAN_DIR))
        bed.start_ftp(server_root)
        session = RealSession(bed)
        request.node._corvane_session = session
        yield bed, session
    finally:
        if session is not None:
            session.close()
        reports = os.listdir(bed.path(ASAN_DIR)) if os.path.isdir(bed.path(ASAN_DIR)) else []
        bed.close()
        shutil.rmtree(server_root, ignore_errors=True)
    assert not reports, "sanitizer reports: %s" % reports


@pytest.mark.parametrize("answer", ["n", "Enter", "y"])
def test_a_planted_package_runs_as_root_only_after_yes(planted, answer):
    bed, session = planted
    session.start(password=TESTER_PASSWORD, timeout=30)
    session.send("1")
    session.wait_for(lambda rows: rows[0].startswith(INSTALL_MENU_TITLE),
                     what="the installation menu")
    session.send("2")
    session.answer_plan("y", timeout=60)
    rows = session.wait_for(QUESTION, timeout=180)
    assert any(r.rstrip() == "   " + DEB_FILES[1] for r in rows)
    assert not os.path.exists(bed.path(MARKER))
    if answer == "Enter":
        session.key("Enter")
    else:
        session.send(answer)
    if answer == "y":
        deadline = time.monotonic() + 180
        while not os.path.exists(bed.path(MARKER)):
            assert time.monotonic() < deadline, "the planted package was not installed after y"
            time.sleep(0.2)
        with open(bed.path(MARKER)) as f:
            assert f.read().strip() == "0"  # it ran as root: the question guarded root
        return
    session.wait_for(lambda rows: (rows[21] + rows[22]).rstrip()
                     == LABEL + "Installation Stopped, Not Authenticated (not signed)",
                     timeout=60, what="the stop in the installation menu")
    time.sleep(1)
    assert not os.path.exists(bed.path(MARKER))
    states = bed.run("dpkg-query -W -f '${Status}' %s" % DEB_FILES[1].split("_")[0],
                     check=False).stdout
    assert "installed" not in states.replace("not-installed", "")
