# Fixtures of the end-to-end tests: a sandbox (with its FTP server running) and the real
# installer in a private tmux server. A failing test shows the screen, the keys sent and the
# shim log; every test ends with a check that no sanitizer report was written. With
# --update-golden the screens compared with golden files are written instead (golden.py).
import os
import sys

import pytest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))),
                                "sandbox"))
import golden  # noqa: E402
from sandbox import Sandbox  # noqa: E402
from failure_report_hook import pytest_runtest_makereport  # noqa: E402,F401
from tmux_session import TmuxSession  # noqa: E402


def pytest_addoption(parser):
    parser.addoption("--update-golden", action="store_true",
                     help="write the golden screens (tests/golden/screens) from this run")


def pytest_configure(config):
    if config.getoption("--update-golden"):
        os.environ[golden.UPDATE_ENV] = "1"


@pytest.fixture
def sandbox():
    with Sandbox.up() as sb:
        yield sb


@pytest.fixture
def tui(sandbox, request):
    """The installer's terminal: tui.start(password='secret') brings up the top screen;
    tui.send / tui.key type; tui.rows() / tui.row(n) read; tui.wait_for(text or predicate);
    tui.exit_status(); tui.sb.log() is the shim log; tui.sb holds the sandbox paths."""
    session = TmuxSession(sandbox)
    request.node._corvane_session = session
    try:
        yield session
    finally:
        session.close()
    reports = sandbox.sanitizer_reports()
    assert not reports, "sanitizer report(s):\n" + "\n".join(
        "== %s\n%s" % (name, text) for name, text in reports)
