# The pytest hook both tmux suites share: a failed test whose session is still known gets the
# installer's screen and output (TmuxSession.failure_report) as a section of its report. A
# conftest takes it with `from failure_report_hook import pytest_runtest_makereport`.
import pytest


@pytest.hookimpl(hookwrapper=True)
def pytest_runtest_makereport(item, call):
    outcome = yield
    report = outcome.get_result()
    session = getattr(item, "_corvane_session", None)
    if session is not None and report.failed and report.when == "call":
        report.sections.append(("corvane installer", session.failure_report()))
