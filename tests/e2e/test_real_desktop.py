# Launchers on a real display: Xvfb with a session bus and gvfs's metadata daemon, a real xterm
# on PATH. The installed launchers are started the way a desktop starts them on a double-click
# (gio launch), and the wallet must run in the terminal, from the folder the launcher names; the
# desktop launcher must carry what the desktops ask for before they start it (GNOME, MATE and
# Xfce read gvfs metadata, KDE the executable bit), and the icon it names must load. Top key 3
# is checked the same way. A failing test keeps a PNG of the display beside its report.
import contextlib
import hashlib
import os
import shutil
import signal
import subprocess
import time

import gi
import pytest

gi.require_version("GdkPixbuf", "2.0")
gi.require_version("Gio", "2.0")
gi.require_version("GLib", "2.0")
from gi.repository import GdkPixbuf, Gio, GLib  # noqa: E402

from sandbox import ARCHIVE_TOPS, Sandbox, default_binary  # noqa: E402
from install_helpers import LAUNCHER, run_installation  # noqa: E402
from tmux_session import TOP_HEADER  # noqa: E402

TOOLS = ("Xvfb", "dbus-daemon", "gio", "xterm", "uxterm", "import", "/usr/libexec/gvfsd-metadata",
         "/usr/lib/x86_64-linux-gnu/girepository-1.0/Libxfce4util-1.0.typelib")
MISSING = [t for t in TOOLS if not shutil.which(t, path="/usr/bin:/bin")
           and not os.path.exists(t)]
# Xfce's own test of a launcher's safety flag (libxfce4util 4.18, which Thunar and xfdesktop
# ask), run where the session bus and the metadata store are.
XFCE_IS_TRUSTED = ("import sys, gi\n"
                   "gi.require_version('Libxfce4util', '1.0')\n"
                   "from gi.repository import Gio, Libxfce4util\n"
                   "sys.exit(0 if Libxfce4util.g_file_is_trusted("
                   "Gio.File.new_for_path(sys.argv[1]), None) else 1)\n")
pytestmark = pytest.mark.skipif(bool(MISSING), reason="not installed: %s" % ", ".join(MISSING))

RUN_WAIT = 30  # seconds for a terminal to come up and the wallet to report
# Beside the test reports: the build folder of the binary under test (ctest's own folder).
SCREENSHOTS = os.environ.get("CORVANE_SCREENSHOT_DIR") or os.path.join(
    os.path.dirname(os.path.abspath(default_binary())), "e2e-screenshots")


def wallet_script(report):
    """The sandbox's wallet program, telling besides its usual line where and how it ran: its
    path, working folder, DISPLAY, whether its input is a terminal, and the commands of the
    processes above it (one line of tab-separated fields)."""
    return ("#!/bin/sh\n# Corvane sample wallet of the real-display tests: says how it ran.\n"
            "p=$$ chain=\n"
            "while [ \"$p\" -gt 1 ] 2>/dev/null; do\n"
            "  chain=\"$chain $(cat /proc/$p/comm 2>/dev/null)\"\n"
            "  p=$(sed -n 's/^PPid:[[:space:]]*//p' /proc/$p/status 2>/dev/null)\n"
            "done\n"
            "if [ -t 0 ]; then tty=tty; else tty=notty; fi\n"
            "printf '%%s\\t%%s\\t%%s\\t%%s\\t%%s\\n' \"$0\" \"$(pwd)\" \"${DISPLAY:-}\" \"$tty\" "
            "\"$chain\" >> '%s'\n" % report)


class Desktop:
    """A display (Xvfb) and a session bus whose activation starts gvfs's metadata daemon, both
    with the sandbox's HOME (the metadata store lives there); the installer's environment gets
    DISPLAY, the bus, and the real xterm and uxterm ahead of the sandbox's stand-ins."""

    def __init__(self, sb):
        self.sb = sb
        self.report = os.path.join(sb.log_dir, "desktop-runs.tsv")
        self.terminals = os.path.join(sb.root, "terminals")
        os.makedirs(self.terminals)
        for t in ("xterm", "uxterm"):
            os.symlink("/usr/bin/" + t, os.path.join(self.terminals, t))
        self.processes = []
        self.display = ":%s" % self._start_with_fd(
            ["Xvfb", "-displayfd", "{fd}", "-screen", "0", "1024x768x24", "-nolisten", "tcp",
             "-noreset"], "Xvfb")
        self.bus = self._start_with_fd(
            ["dbus-daemon", "--session", "--nofork", "--nopidfile",
             "--address=unix:path=%s" % os.path.join(sb.run_dir, "bus"),
             "--print-address={fd}"], "dbus")
        self.base_env = {"HOME": sb.home, "USER": "tester", "LANG": "C.UTF-8",
                         "PATH": "/usr/bin:/bin", "DISPLAY": self.display,
                         "DBUS_SESSION_BUS_ADDRESS": self.bus}

    def _start_with_fd(self, argv, what, timeout=20):
        """Starts a daemon that writes one line (its display or address) to a pipe."""
        r, w = os.pipe()
        argv = [a.replace("{fd}", str(w)) for a in argv]
        log = open(os.path.join(self.sb.log_dir, what + ".log"), "ab")
        env = {"HOME": self.sb.home, "PATH": "/usr/bin:/bin", "LANG": "C.UTF-8"}
        p = subprocess.Popen(argv, pass_fds=(w,), stdin=subprocess.DEVNULL, stdout=log,
                             stderr=log, env=env, start_new_session=True)
        os.close(w)
        log.close()
        self.processes.append(p)
        line = b""
        deadline = time.monotonic() + timeout
        os.set_blocking(r, False)
        try:
            while not line.endswith(b"\n"):
                if p.poll() is not None or time.monotonic() > deadline:
                    raise RuntimeError("%s did not start (see %s.log)" % (what, what))
                try:
                    chunk = os.read(r, 256)
                except BlockingIOError:
                    chunk = None
                if chunk == b"":
                    raise RuntimeError("%s closed its pipe" % what)
                if chunk:
                    line += chunk
                else:
                    time.sleep(0.02)
        finally:
            os.close(r)
        return line.decode().strip()

    def installer_env(self, env):
        env = dict(env, DISPLAY=self.display, DBUS_SESSION_BUS_ADDRESS=self.bus)
        env["PATH"] = self.terminals + ":" + env["PATH"]
        return env

    def close(self):
        for p in reversed(self.processes):
            if p.poll() is None:
                os.killpg(p.pid, signal.SIGTERM)
                try:
                    p.wait(10)
                except subprocess.TimeoutExpired:
                    os.killpg(p.pid, signal.SIGKILL)
                    p.wait(10)

    # ------------------------------------------------------------ what a desktop does

    def gio(self, *args, timeout=20):
        return subprocess.run(["gio", *args], env=self.base_env, capture_output=True, text=True,
                              timeout=timeout, stdin=subprocess.DEVNULL, cwd=self.sb.root)

    def attributes(self, path, which="metadata::*"):
        """{attribute: value} of what a desktop reads for path (gio info -a which)."""
        r = self.gio("info", "-a", which, path)
        assert r.returncode == 0, r.stderr
        out = {}
        for line in r.stdout.splitlines()[r.stdout.splitlines().index("attributes:") + 1:]:
            key, sep, value = line.strip().partition(": ")
            if sep:
                out[key] = value
        return out

    # What each desktop asks of a launcher in the Desktop folder before it starts it.

    def gnome_trusts(self, path):
        """GNOME's desktop icons (Ubuntu's desktop, DING 47): GLib reads the file as a desktop
        entry, it is executable, metadata::trusted is "true", and neither the launcher nor the
        Desktop folder is writable by others."""
        a = self.attributes(path, "standard::content-type,access::can-execute,unix::mode,"
                                  "metadata::trusted")
        folder = self.attributes(os.path.dirname(path), "unix::mode")
        return (a.get("standard::content-type") == "application/x-desktop"
                and Gio.DesktopAppInfo.new_from_filename(path) is not None
                and a.get("access::can-execute") == "TRUE"
                and a.get("metadata::trusted") == "true"
                and not int(a["unix::mode"]) & 0o002 and not int(folder["unix::mode"]) & 0o002)

    def mate_trusts(self, path):
        """Caja: the launcher carries metadata::caja-trusted-launcher "true" and is executable."""
        return (self.attributes(path).get("metadata::caja-trusted-launcher") == "true"
                and os.access(path, os.X_OK))

    def xfce_trusts(self, path):
        """Xfce 4.18: libxfce4util's own check (metadata::xfce-exe-checksum is the SHA-256 of
        the launcher as it is now)."""
        r = subprocess.run(["/usr/bin/python3", "-c", XFCE_IS_TRUSTED, path], env=self.base_env,
                           capture_output=True, text=True, timeout=30, stdin=subprocess.DEVNULL)
        assert r.returncode in (0, 1), r.stderr
        return r.returncode == 0

    @staticmethod
    def kde_trusts(path):
        """KDE starts a desktop file outside the application folders when it is executable."""
        return os.stat(path).st_mode & 0o111 == 0o111

    def runs(self):
        if not os.path.exists(self.report):
            return []
        with open(self.report, encoding="utf-8") as f:
            return [dict(zip(("program", "cwd", "display", "tty", "chain"), line.split("\t")))
                    for line in f.read().splitlines()]

    def wait_runs(self, count, timeout=RUN_WAIT):
        deadline = time.monotonic() + timeout
        while len(self.runs()) < count and time.monotonic() < deadline:
            time.sleep(0.1)
        return self.runs()

    def double_click(self, launcher):
        """Starts the launcher as the desktop would; returns the wallet's report of its run."""
        before = len(self.runs())
        r = self.gio("launch", launcher)
        assert r.returncode == 0, "gio launch %s: %s" % (launcher, r.stderr)
        runs = self.wait_runs(before + 1)
        assert len(runs) > before, "the wallet did not run from " + launcher
        return runs[before]

    def screenshot(self, name):
        """A PNG of the whole display; returns its path."""
        os.makedirs(SCREENSHOTS, exist_ok=True)
        safe = "".join(c if c.isalnum() or c in "-_[]" else "_" for c in name)
        path = os.path.join(SCREENSHOTS, safe + ".png")
        r = subprocess.run(["import", "-window", "root", path], env=self.base_env, timeout=30,
                           stdin=subprocess.DEVNULL, capture_output=True, text=True)
        if r.returncode != 0:
            raise RuntimeError("import failed: " + r.stderr.strip())
        return path

    @contextlib.contextmanager
    def screenshot_on_failure(self, name):
        try:
            yield
        except BaseException as e:
            if not isinstance(e, Exception):
                raise
            try:
                e.add_note("screenshot of the display: " + self.screenshot(name))
            except Exception as shot_error:  # the display may be gone: say so, keep the failure
                e.add_note("no screenshot: %s" % shot_error)
            raise


def replace_sample_wallet(sb, script):
    """Puts the reporting wallet into both archive folders of the servers, sums and signature
    made anew."""
    for top in ARCHIVE_TOPS:
        path = os.path.join(sb.ftp_root, top, "Linux", "wallet")
        with open(path, "w", encoding="utf-8") as f:
            f.write(script)
        os.chmod(path, 0o755)
    if sb.keyring_path():
        sb.sign_archive()
    else:
        for top in ARCHIVE_TOPS:
            sb.write_sums(top)


@pytest.fixture
def desktop():
    with Sandbox.up() as sb:
        d = Desktop(sb)
        try:
            replace_sample_wallet(sb, wallet_script(d.report))
            plain_env = sb.env
            sb.env = lambda: d.installer_env(plain_env())
            yield d
        finally:
            d.close()


@pytest.fixture
def sandbox(desktop):
    """The sandbox of the tui fixture: the one with the display."""
    return desktop.sb


def launcher_keys(path):
    kf = GLib.KeyFile()
    assert kf.load_from_file(path, GLib.KeyFileFlags.NONE)
    return {k: kf.get_string("Desktop Entry", k) for k in kf.get_keys("Desktop Entry")[0]}


def in_terminal(run):
    return run["tty"] == "tty" and "xterm" in run["chain"].split()


@pytest.mark.parametrize("variant,program,form_path", [
    ("A", "wallet/wallet", "wallet"),  # menu key 2: the wallet folder, named in Path
    ("B", "wallet", None),             # menu key 3: straight into the home folder, no Path
], ids=["A", "B"])
def test_installed_launchers_start_the_wallet_on_a_real_display(tui, desktop, request, variant,
                                                                program, form_path):
    sb = desktop.sb
    with desktop.screenshot_on_failure(request.node.name):
        run_installation(tui, variant, "default")
        program = os.path.join(sb.home, program)
        desk = os.path.join(sb.desktop, LAUNCHER)
        menu = os.path.join(sb.home, ".local/share/applications", LAUNCHER)
        for launcher in (desk, menu):
            keys = launcher_keys(launcher)
            run = desktop.double_click(launcher)
            assert os.path.samefile(run["program"], program), (launcher, run)
            assert in_terminal(run), (launcher, run)
            assert run["display"] == desktop.display
            if form_path:
                assert keys.get("Path") == os.path.join(sb.home, form_path), keys
            if "Path" in keys:
                assert os.path.samefile(run["cwd"], keys["Path"]), (launcher, run)
            # The icon the launcher names is one the desktop can show.
            icon = GdkPixbuf.Pixbuf.new_from_file(keys["Icon"])
            assert icon.get_width() > 0 and icon.get_height() > 0

        # Every desktop starts the launcher on the Desktop without asking first.
        with open(desk, "rb") as f:
            checksum = hashlib.sha256(f.read()).hexdigest()
        metadata = desktop.attributes(desk)
        assert metadata.get("metadata::xfce-exe-checksum") == checksum, metadata
        trusted = {d: getattr(desktop, d + "_trusts")(desk) for d in ("gnome", "mate", "xfce",
                                                                       "kde")}
        assert trusted == dict.fromkeys(trusted, True), (trusted, metadata)


def test_top_key_3_starts_the_wallet_in_a_terminal_on_the_display(tui, desktop, request):
    sb = desktop.sb
    program = os.path.join(sb.home, "wallet", "wallet")
    os.makedirs(os.path.dirname(program))
    with open(program, "w", encoding="utf-8") as f:
        f.write(wallet_script(desktop.report))
    os.chmod(program, 0o755)
    with desktop.screenshot_on_failure(request.node.name):
        tui.start()
        drawn = tui.count_output(TOP_HEADER.encode())
        tui.send("3")
        tui.wait_output_count(TOP_HEADER.encode(), drawn + 1, timeout=RUN_WAIT)
        runs = desktop.wait_runs(1)
        shown = [r for r in runs if in_terminal(r) and r["display"] == desktop.display]
        assert shown and all(os.path.samefile(r["program"], program) for r in shown), runs
