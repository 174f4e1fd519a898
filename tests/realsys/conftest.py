# Fixtures of the real-system tests: the prepared root (once per run), a fresh throwaway
# system per test with the archive server listening in it, and the installer in tmux as an
# ordinary user of that system. Run by scripts/test-real-system.sh (as root), which names the
# cached root tarball in CORVANE_REAL_ROOT. A failing test shows the screen and the keys sent.
import os
import shlex
import sys
import tempfile
import time

import pytest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(os.path.dirname(HERE), "sandbox"))
from bed import ASAN_DIR, RUN_DIR, TESTER, TESTER_PASSWORD, Base  # noqa: E402
from sandbox import PROGRAM_NAME, default_binary  # noqa: E402
from failure_report_hook import pytest_runtest_makereport  # noqa: E402,F401
from tmux_session import TOP_HEADER, TmuxSession  # noqa: E402


class BedUser:
    """What the tmux driver needs to know of the user's side of a bed (host views)."""

    def __init__(self, bed, user):
        self.bed, self.user = bed, user
        self.home = "/home/" + user
        self.program = bed.path("%s/installer/%s" % (self.home, PROGRAM_NAME))
        self.run_dir = bed.path(RUN_DIR + "/" + user)
        bed.run("mkdir -p %s && chown %s: %s" % (RUN_DIR + "/" + user, user, RUN_DIR + "/" + user))


class RealSession(TmuxSession):
    """The installer's terminal inside a bed: the pane runs an interactive sh as the user."""

    def __init__(self, bed, user=TESTER):
        self.bed = bed
        self.prefix = bed.path("")
        argv = bed.enter(user, bed.user_env(user)) + ["/bin/sh", "-i"]
        super().__init__(BedUser(bed, user), pane_command="exec " + shlex.join(argv))
        # A logout ends the pane's shell; its last screen stays readable.
        self.tmux("set-option", "-g", "remain-on-exit", "on")

    def inside(self, path):
        return path[len(self.prefix):] or "/" if path.startswith(self.prefix) else path

    def find_pid(self, program, timeout=10.0, launched_by_run_line=True):
        name = os.path.basename(program)[:15]
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            for pid in self.bed.members():
                try:
                    with open("/proc/%d/comm" % pid) as f:
                        if f.read().strip() == name:
                            return pid
                except OSError:
                    continue
            if launched_by_run_line and os.path.exists(self.status_file):
                return None
            time.sleep(0.01)
        raise AssertionError("the program did not start\n" + self.screen_text())

    def start_with_password(self, password=TESTER_PASSWORD, timeout=30.0):
        return self.start(password=password, timeout=timeout)


@pytest.fixture(scope="session")
def base():
    tarball = os.environ.get("CORVANE_REAL_ROOT")
    if not tarball:
        pytest.skip("no Debian root (scripts/test-real-system.sh names it in CORVANE_REAL_ROOT)")
    work = tempfile.mkdtemp(prefix="corvane-rs-", dir=os.environ.get("CORVANE_RS_WORK",
                                                                       "/var/tmp"))
    b = Base(tarball, default_binary(), work)
    yield b
    b.close()


@pytest.fixture
def bed(base):
    b = base.new_bed()
    yield b
    try:
        reports = []
        folder = b.path(ASAN_DIR)
        for name in sorted(os.listdir(folder)):
            with open(os.path.join(folder, name), errors="replace") as f:
                reports.append("== %s\n%s" % (name, f.read()))
    finally:
        b.close()
    assert not reports, "sanitizer report(s):\n" + "\n".join(reports)


@pytest.fixture
def open_session(bed, request):
    """open_session(user) brings up a tmux pane as that user inside the bed."""
    sessions = []

    def make(user=TESTER):
        s = RealSession(bed, user)
        sessions.append(s)
        request.node._corvane_session = s
        return s

    yield make
    for s in sessions:
        s.close()


@pytest.fixture
def tui(open_session):
    return open_session(TESTER)


def is_top(rows):
    return rows[0].startswith(TOP_HEADER)
