# Hostile values end to end: passwords, typed installation paths, folder and file names on the
# scanned partitions and the outputs of df, hdparm, udevadm and lsb_release that carry quotes,
# $(), backticks, ;, newlines, a leading -, 4,000 bytes or invalid UTF-8. For every value: no
# command line runs what the value carried (its canary file never appears), the screen keeps
# its title on the top row of the 80x24 pane, and the program stays in its menus and leaves
# normally (the fixture-less sessions here check the sanitizer folder themselves).
import contextlib
import os

from sandbox import Sandbox
from test_install import open_installation_menu, sudo_commands
from test_scan import SCAN_TIMEOUT
from tmux_session import PASSWORD_PROMPT, TOP_HEADER, TmuxSession

MANUAL_TITLE = " MAIN MENU-MANUAL INSTALLATION"


def hostile(canary):
    """(name, bytes) of each hostile value; the ones that could run something try to make
    the canary file."""
    touch = b"touch " + canary
    return [
        ("single quotes", b"a'b'; " + touch + b"; '"),
        ("double quotes", b'a"b"; ' + touch + b'; "'),
        ("dollar parens", b"$(" + touch + b")"),
        ("backticks", b"`" + touch + b"`"),
        ("semicolon", b"x; " + touch),
        ("newline", b"x\n" + touch),
        ("leading dash", b"-rf"),
        ("4000 bytes", b"A" * 3980 + b"$(" + touch + b")"),
        ("invalid UTF-8", b"\xff\xfe\xc3(" + b"$(" + touch + b")"),
    ]


def type_bytes(tui, data):
    """Types raw bytes (any byte value) into the pane."""
    tui.wait_ready()
    tui.keys.append(data)
    tui.tmux("send-keys", "-t", "corvane", "-H", *("%02x" % b for b in data))


class Case:
    """One sandbox and one session of the program, for one hostile value."""

    def __init__(self, name, sb):
        self.name = name
        self.sb = sb
        self.canary = b"canary"  # relative: made in whatever folder a command runs in
        self.tui = None

    def session(self):
        self.tui = TmuxSession(self.sb)
        return self.tui

    def check(self):
        """The canary never appeared, no sanitizer report was written."""
        made = [os.path.join(d, n) for d, ds, fs in os.walk(self.sb.root) for n in ds + fs
                if n == "canary"]
        assert not made, "%s: the value ran a command: %s" % (self.name, made)
        reports = self.sb.sanitizer_reports()
        assert not reports, "%s: sanitizer report(s):\n%s" % (self.name, reports)



@contextlib.contextmanager
def case_of(name):
    """A Case in a sandbox of its own, closed and removed afterwards."""
    with Sandbox.up() as sb:
        case = Case(name, sb)
        try:
            yield case
        finally:
            if case.tui:
                case.tui.close()


def leave(case, key_path):
    """From wherever key_path leads back, to the top screen and out with exit status 0."""
    tui = case.tui
    for k in key_path:
        tui.send(k)
    tui.wait_for(lambda rows: rows[0].startswith(TOP_HEADER), what="the top screen (%s)"
                 % case.name)
    tui.send("0")
    assert tui.exit_status(timeout=30) == 0, case.name


def run_cases(values, body):
    """Runs body(case, value) for each (name, value) in its own sandbox; returns the count."""
    for name, value in values:
        with case_of(name) as case:
            body(case, value)
            case.check()
    return len(values)


def test_hostile_passwords_reach_sudo_only_on_its_input():
    def body(case, value):
        tui = case.session()
        tui.start(password=None)
        type_bytes(tui, value + b"\r")
        rows = tui.wait_for(lambda rows: rows[0].startswith(TOP_HEADER), timeout=30,
                            what="the top screen (%s)" % case.name)
        assert PASSWORD_PROMPT not in "".join(rows)
        leave(case, "")

    assert run_cases(hostile(b"canary"), body) == 9


def test_hostile_installation_paths_stay_words_of_their_commands():
    def body(case, value):
        tui = case.session()
        tui.start()
        path = case.sb.home.encode() + b"/" + value if value != b"-rf" else value
        tui.send("2")
        tui.wait_for(lambda rows: rows[0].startswith(MANUAL_TITLE), what="the manual menu")
        tui.send("1")
        tui.wait_for("Please specify the target location = ")
        type_bytes(tui, path.split(b"\n")[0] + b"\r")
        for key in "237":  # download, copy and make executable, record in wallet.cfg
            tui.wait_for(lambda rows: rows[0].startswith(MANUAL_TITLE), timeout=90,
                         what="the manual menu (%s)" % case.name)
            tui.send(key)
        tui.wait_for(lambda rows: rows[0].startswith(MANUAL_TITLE), timeout=90,
                     what="the manual menu (%s)" % case.name)
        leave(case, "0")

    assert run_cases(hostile(b"canary"), body) == 9


def tree(folder):
    """Every path below folder (bytes, relative) with its mode and size."""
    out = {}
    for d, ds, fs in os.walk(folder.encode()):
        for n in ds + fs:
            p = os.path.join(d, n)
            st = os.lstat(p)
            out[os.path.relpath(p, folder.encode())] = (st.st_mode, st.st_size)
    return out


# Typed paths as the installation takes them: a relative one is read against the folder the
# program started in (for the sandbox, the program's folder), so variant A, which changes
# folder on its way, installs below it; a path Linux cannot make is refused as typed.
TYPED_PATHS = [
    # (name, typed, the application folder below the start folder, or the status of refusal)
    ("leading dash", b"-rf", "-rf/wallet/wallet"),
    ("relative", b"apps/corvane", "apps/corvane/wallet/wallet"),
    ("a name too long", b"n" * 300, "Path Refused, A Folder Name Longer Than 255 Bytes"),
    ("too long a path", b"d/" * 2000, "Path Refused, Longer Than 3967 Bytes"),
]


def test_typed_paths_are_read_against_the_start_folder_or_refused():
    def body(case, value):
        typed, want = value
        sb = case.sb
        tui = case.session()
        tui.start()
        before = tree(sb.home)
        logged = len(sb.log())
        tui.send("2")
        tui.wait_for(lambda rows: rows[0].startswith(MANUAL_TITLE), what="the manual menu")
        tui.send("1")
        tui.wait_for("Please specify the target location = ")
        type_bytes(tui, typed + b"\r")
        rows = tui.wait_for(lambda rows: rows[0].startswith(MANUAL_TITLE), what="the menu")
        if want.startswith("Path Refused"):
            # Nothing taken, nothing run, nothing made.
            assert rows[3].rstrip() == " CURRENT PATH= " + sb.home
            assert rows[22].rstrip() == " APPLICATION STATUS= " + want
            assert sb.log()[logged:] == []
            assert tree(sb.home) == before
            leave(case, "0")
            return
        tui.send("0")
        tui.wait_for(lambda rows: rows[0].startswith(TOP_HEADER), what="the top screen")
        open_installation_menu(tui)
        tui.send("2")  # variant A: installs and ends the program
        tui.answer_plan("y")
        assert tui.exit_status(timeout=150) == 0, tui.screen_text()
        ap = os.path.join(sb.program_dir, want)
        assert os.access(os.path.join(ap, "wallet"), os.X_OK)
        linux = os.path.join(ap, "archive/wallet/current/Linux")
        assert sudo_commands(sb, "dpkg") == [
            ["-i", "--", os.path.join(linux, d)]
            for d in ("libminiupnpc18_2.2.8-2+b2_amd64.deb", "miniupnpc18_2.2.8-2+b2_amd64.deb")]
        # Wherever a command names the path, "--" stands before it: never an option.
        ip = os.path.join(sb.program_dir, typed.decode())
        for e in sb.log():
            for words in (e["argv"], e.get("command") or []):
                for i, w in enumerate(words):
                    if ip in w:
                        assert "--" in words[:i], e
        # Nothing that was there was removed or changed in kind or mode (but the installer's own
        # scratch file, which every capture removes after reading it).
        after = tree(sb.home)
        scratch = os.path.relpath(os.path.join(sb.program_dir, "tempout.txt"), sb.home).encode()
        assert [p for p, (mode, _) in before.items()
                if after.get(p, (0,))[0] != mode and p != scratch] == []

    assert run_cases([(n, (t, w)) for n, t, w in TYPED_PATHS], body) == 4


def test_hostile_folder_and_file_names_on_scanned_partitions():
    def body(case, value):
        sb = case.sb
        # A mount folder named by the value (4,000 bytes: folders of 200 bytes, nested), with a
        # wallet below it whose folder is named by the value too.
        parts = [value[i:i + 200] for i in range(0, len(value), 200)]
        mount = os.path.join(sb.root.encode(), b"media", *[p.replace(b"/", b"_") for p in parts])
        below = parts[0].replace(b"/", b"_") if len(parts) == 1 else b"w"  # within PATH_MAX
        folder = os.path.join(mount, below, b"wallet")
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, b"wallet"), "wb") as f:
            f.write(b"#!/bin/sh\n")
        rows = sb.config["df"].rstrip("\n") + "\n/dev/sdc1 29G 1.2G 28G 5% " + mount.decode(
            "utf-8", "surrogateescape") + "\n"
        sb.set_df(text=rows)
        tui = case.session()
        tui.start()
        drawn = tui.count_output(TOP_HEADER)
        tui.send("4")
        tui.wait_for(lambda rows: rows[0].startswith(" FOUND ") or (
            rows[0].startswith(TOP_HEADER) and tui.count_output(TOP_HEADER) > drawn),
            timeout=SCAN_TIMEOUT, what="the scan's result (%s)" % case.name)
        if tui.row(1).startswith(" FOUND "):
            tui.send("1")
        tui.wait_for(lambda rows: rows[0].startswith(TOP_HEADER), timeout=SCAN_TIMEOUT,
                     what="the top screen after the scan (%s)" % case.name)
        leave(case, "")

    assert run_cases(hostile(b"canary"), body) == 9


def test_hostile_tool_outputs_leave_the_survey_in_its_menus():
    """Each case gives all four tools the same kind of output at once."""
    def outputs(canary):
        bad = "/dev/sd$(touch %s)`touch %s`;touch %s" % ((canary.decode(),) * 3)
        big = "x" * 100 + "\n"
        return [
            ("empty", {"df": "", "hdparm": "", "udevadm": "", "lsb": ""}),
            ("truncated", {"df": "Filesystem Size Used Avail Use% Mounted on\n/dev/sda1 45",
                           "hdparm": "\n/dev/sda:\n\nATA device, with non-removable media\n\tMo",
                           "udevadm": "P: /devices/pci0000:00/0000:00:1f.2/ata1/host0/targ",
                           "lsb": "Distributor ID:\tDeb"}),
            ("10 MB", {"df": "Filesystem Size Used Avail Use% Mounted on\n" + big * 100000,
                       "hdparm": big * 100000, "udevadm": big * 100000,
                       "lsb": "Distributor ID:\t" + "D" * 10000000 + "\n"}),
            ("device names", {"df": "Filesystem Size Used Avail Use%% Mounted on\n"
                              "%s 29G 1.2G 28G 5%% /tmp\n" % bad,
                              "hdparm": "\n%s:\n" % bad, "udevadm": "E: DEVNAME=%s\n" % bad,
                              "lsb": "Distributor ID:\t$(touch %s)\n" % canary.decode()}),
        ]

    count = 0
    for name, o in outputs(b"canary"):
        with case_of(name) as case:
            sb = case.sb
            sb.set_df(text=o["df"])
            for dev in ("sda", "sdb", "nvme0n1"):
                sb.set_hdparm(dev, stdout=o["hdparm"])
                sb.set_udevadm(dev, info=o["udevadm"], attr=o["udevadm"])
            sb.set_lsb_release(o["lsb"])
            tui = case.session()
            tui.start(timeout=60)
            drawn = tui.count_output(TOP_HEADER)
            tui.send("4")
            tui.wait_output_count(TOP_HEADER, drawn + 1, SCAN_TIMEOUT)
            tui.wait_for(lambda rows: rows[0].startswith(TOP_HEADER), what="the top screen")
            leave(case, "")
            case.check()
            count += 4
    assert count == 16
