# Launchers checked by the desktop's own tools: desktop-file-validate reports nothing but the
# documented first line, and GLib reads from Exec the wallet program as one argument, with and
# without a terminal part, for paths with and without blanks and other reserved characters.
import os
import shutil
import subprocess
import tempfile

import gi
import pytest

gi.require_version("Gio", "2.0")
gi.require_version("GLib", "2.0")
from gi.repository import Gio, GLib  # noqa: E402

from sandbox import Sandbox, default_binary  # noqa: E402
import test_install as flows  # noqa: E402

FIRST_LINE_ERROR = (": error: line \" \" starts with a space. Comment, group and key-value lines "
                    "should not start with a space. The validation will continue, with the "
                    "leading spaces ignored.\n")
TERMINALS = ("gnome-terminal", "mate-terminal", "xfce4-terminal", "uxterm", "xterm")


def validate(path):
    r = subprocess.run(["desktop-file-validate", path], capture_output=True, text=True)
    return r.returncode, r.stdout + r.stderr


def exec_argv(path):
    """The Exec line as GLib's key file reads it, split as GLib splits it."""
    kf = GLib.KeyFile()
    assert kf.load_from_file(path, GLib.KeyFileFlags.NONE)
    ok, argv = GLib.shell_parse_argv(kf.get_string("Desktop Entry", "Exec"))
    assert ok
    return argv


def program_of(argv):
    """The program the launcher starts: after -x as it stands, after -e split again like a
    shell (as gnome-terminal does), else the command itself."""
    if argv[0] in TERMINALS:
        assert argv[1] == "--title=Corvane Wallet" or argv[1] in ("-e", "-x")
        i = argv.index("-x") if "-x" in argv else argv.index("-e")
        rest = argv[i + 1:]
        if argv[i] == "-e":
            assert len(rest) == 1
            ok, rest = GLib.shell_parse_argv(rest[0])
            assert ok
        return rest
    return argv


def check_launcher(path, program):
    rc, out = validate(path)
    assert (rc, out) == (1, path + FIRST_LINE_ERROR), out
    assert program_of(exec_argv(path)) == [program]
    # Gio loads it (it refuses a launcher whose command it cannot find) and runs the same.
    info = Gio.DesktopAppInfo.new_from_filename(path)
    assert info is not None, path
    ok, argv = GLib.shell_parse_argv(info.get_commandline())
    assert ok and program_of(argv) == [program]


@pytest.fixture
def terminal_path(monkeypatch):
    """PATH with stand-ins for the terminal emulators, so that Gio finds them."""
    d = tempfile.mkdtemp(prefix="corvane-terms-")
    for t in TERMINALS:
        p = os.path.join(d, t)
        with open(p, "w") as f:
            f.write("#!/bin/sh\nexit 0\n")
        os.chmod(p, 0o755)
    monkeypatch.setenv("PATH", d + ":" + os.environ.get("PATH", "/usr/bin:/bin"))
    yield d
    shutil.rmtree(d, ignore_errors=True)


def test_every_form_and_terminal_for_plain_and_reserved_paths(terminal_path):
    samples = os.path.join(os.path.dirname(os.path.abspath(default_binary())),
                           "launcher_samples")
    if not os.path.exists(samples):
        pytest.skip("launcher_samples not built")
    dump = tempfile.mkdtemp(prefix="corvane-launchers-")
    try:
        r = subprocess.run([samples, dump], capture_output=True, text=True, timeout=120)
        assert r.returncode == 0, r.stdout + r.stderr
        with open(os.path.join(dump, "manifest.tsv")) as f:
            entries = [line.rstrip("\n").split("\t") for line in f if line.strip()]
        assert len(entries) == 30
        for launcher, program in entries:
            os.makedirs(os.path.dirname(program), exist_ok=True)
            with open(program, "w") as f:
                f.write("#!/bin/sh\n")
            os.chmod(program, 0o755)
        for launcher, program in entries:
            check_launcher(launcher, program)
    finally:
        shutil.rmtree(dump, ignore_errors=True)


@pytest.fixture(params=["plain", "blank"])
def sandbox(request):
    """Sandboxes whose home folder has no blank, and one with a blank (the tui fixture of
    conftest takes this one). Only the home folder moves: the sanitizer's log path must not
    hold a blank."""
    with Sandbox.up() as sb:
        if request.param == "blank":
            sb.move_home(os.path.join(sb.root, "jo smith"))
        yield sb


def test_launcher_of_variant_a_opens_the_installed_wallet(tui, terminal_path):
    sb = tui.sb
    assert flows.run_variant_a(tui)[0] == 0
    program = os.path.join(sb.home, "wallet", "wallet")
    assert os.access(program, os.X_OK)
    for launcher in (os.path.join(sb.desktop, "Corvane wallet.desktop"),
                     os.path.join(sb.home, ".local/share/applications/Corvane wallet.desktop")):
        check_launcher(launcher, program)


def test_launcher_of_variant_b_names_the_installed_program(tui, terminal_path):
    sb = tui.sb
    tui.start()
    flows.open_installation_menu(tui)
    tui.send("3")
    tui.wait_output_count(b"APPLICATION STATUS= Installation Complete, Awating user input", 1,
                          timeout=60)
    # Into the home folder, variant B puts the program at HOME/wallet: the launchers start it.
    for launcher in (os.path.join(sb.desktop, "Corvane wallet.desktop"),
                     os.path.join(sb.home, ".local/share/applications/Corvane wallet.desktop")):
        check_launcher(launcher, os.path.join(sb.home, "wallet"))
