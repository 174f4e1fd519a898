# Screens compared with golden files: tests/golden/screens/NAME.txt holds a screen as tmux
# captures it (80 columns, trailing blanks stripped per line), with what changes from run to run
# replaced by placeholders. `pytest --update-golden` (or CORVANE_UPDATE_GOLDEN=1) writes them.
import difflib
import os
import re
import time

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))
GOLDEN_DIR = os.path.join(REPO, "tests", "golden")
SCREENS_DIR = os.path.join(GOLDEN_DIR, "screens")
UPDATE_ENV = "CORVANE_UPDATE_GOLDEN"
UPDATE_HOW = "pytest --update-golden (or %s=1)" % UPDATE_ENV
SPINNER_COLUMN = 77  # row 1 from column 78 on holds the spinner

DATE_FORMS = (
    (re.compile(r"\b\d{4}-\d{2}-\d{2}-\d{2}-\d{2}-\d{2}\b"), "<STAMP>"),
    (re.compile(r"\b\d{4}-\d{2}-\d{2}\b"), "<DATE>"),
    (re.compile(r"\b\d{2}:\d{2}:\d{2}\b"), "<TIME>"),
)
SANDBOX_PATH = re.compile(r"/tmp/corvane-sb-[A-Za-z0-9_]+")


def updating():
    return os.environ.get(UPDATE_ENV, "") not in ("", "0")


def project_version():
    with open(os.path.join(REPO, "CMakeLists.txt"), encoding="utf-8") as f:
        found = re.search(r"\bproject\([^)]*\bVERSION\s+([0-9.]+)", f.read())
    return found.group(1) if found else None


def normalise(rows, sandbox=None, subs=()):
    """The screen as a golden file holds it: the spinner's columns left out, trailing blanks
    stripped, the sandbox's folder as <SANDBOX>, dates and times, the version as <VERSION>;
    subs: more (regex, placeholder) pairs of the caller (e.g. a value of this machine)."""
    version = project_version()
    roots = [sandbox.root] if sandbox is not None else []
    out = []
    for i, row in enumerate(rows):
        if i == 0:
            row = row[:SPINNER_COLUMN]
        for root in roots:
            row = row.replace(root, "<SANDBOX>")
        row = SANDBOX_PATH.sub("<SANDBOX>", row)
        for pattern, placeholder in DATE_FORMS:
            row = pattern.sub(placeholder, row)
        if version:
            row = row.replace(version, "<VERSION>")
        row = row.rstrip()
        for pattern, placeholder in subs:
            row = re.sub(pattern, placeholder, row)
        out.append(row)
    return "\n".join(out) + "\n"


def golden_path(name):
    return os.path.join(SCREENS_DIR, name + ".txt")


def read_golden(name):
    path = golden_path(name)
    if not os.path.exists(path):
        raise AssertionError("no golden file %s: run %s to write it"
                             % (os.path.relpath(path, REPO), UPDATE_HOW))
    with open(path, encoding="utf-8") as f:
        return f.read()


def difference(name, want, got):
    return "".join(difflib.unified_diff(
        want.splitlines(True), got.splitlines(True),
        "tests/golden/screens/%s.txt" % name, "the screen")) + (
        "\n(%s writes the screen as the golden file)" % UPDATE_HOW)


def expect_screen(tui, name, subs=(), timeout=5.0):
    """Waits (bounded) until the normalised screen is the golden screen NAME and returns the
    rows; fails with a unified diff of the last screen. When updating, waits until the screen
    settles and writes it."""
    if updating():
        rows = tui.wait_stable()
        os.makedirs(SCREENS_DIR, exist_ok=True)
        with open(golden_path(name), "w", encoding="utf-8") as f:
            f.write(normalise(rows, tui.sb, subs))
        return rows
    want = read_golden(name)
    deadline = time.monotonic() + timeout
    while True:
        rows = tui.rows()
        got = normalise(rows, tui.sb, subs)
        if got == want:
            return rows
        if time.monotonic() > deadline:
            raise AssertionError(difference(name, want, got))
        time.sleep(0.03)


def is_screen(rows, name, sandbox=None):
    """True when rows are the golden screen NAME (a predicate for waits)."""
    return normalise(rows, sandbox) == read_golden(name)
