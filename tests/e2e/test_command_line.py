# End-to-end checks of how the installer is started: its options, its refusal of unknown
# words and of a missing terminal (both before any file is made), where it keeps its files
# when its own folder is read-only, and its wait for a terminal of 80x24.
import os
import pty
import re
import shlex
import stat
import subprocess

import pytest

from tmux_session import PASSWORD_PROMPT, TOP_HEADER, TmuxSession

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


def project_version():
    with open(os.path.join(REPO, "CMakeLists.txt"), encoding="utf-8") as f:
        return re.search(r"project\(\S+ VERSION (\S+)", f.read()).group(1)


def tree(root):
    """Every path below root with its size and modification time, but for the log folder
    (the FTP server writes there at its own pace; the shim log is checked on its own)."""
    seen = {}
    for dirpath, dirnames, filenames in os.walk(root):
        if dirpath == root:
            dirnames.remove("log")
        for name in dirnames + filenames:
            p = os.path.join(dirpath, name)
            st = os.lstat(p)
            seen[os.path.relpath(p, root)] = (st.st_size, st.st_mtime_ns)
    return seen


def run_plain(sb, args, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE):
    r = subprocess.run([sb.program, *args], cwd=sb.home, env=sb.env(), stdin=stdin,
                       stdout=stdout, stderr=subprocess.PIPE, timeout=20)
    return r.returncode, (r.stdout or b"").decode(), r.stderr.decode()


@pytest.mark.parametrize("args, status, out_start, err_start", [
    (["--help"], 0, "Usage: installWalletForLinux [--help | --version]\n", ""),
    (["--version"], 0, "installWalletForLinux %s\n" % project_version(), ""),
    (["-x"], 2, "", "installWalletForLinux: unrecognised argument '-x'\nUsage: "),
    (["--versio"], 2, "", "installWalletForLinux: unrecognised argument '--versio'\nUsage: "),
    # As GNU tools read options: the first of --help and --version answers, whatever follows;
    # an unknown option before it is refused; a word that is no option is refused at the end.
    (["--help", "extra"], 0, "Usage: installWalletForLinux [--help | --version]\n", ""),
    (["--help", "--version"], 0, "Usage: installWalletForLinux [--help | --version]\n", ""),
    (["--version", "--help"], 0, "installWalletForLinux %s\n" % project_version(), ""),
    (["extra", "--version"], 0, "installWalletForLinux %s\n" % project_version(), ""),
    (["-x", "--help"], 2, "", "installWalletForLinux: unrecognised argument '-x'\nUsage: "),
    (["extra"], 2, "", "installWalletForLinux: unrecognised argument 'extra'\nUsage: "),
    (["--", "--help"], 2, "", "installWalletForLinux: unrecognised argument '--help'\nUsage: "),
])
def test_options_answer_and_unknown_words_are_refused_before_any_file(sandbox, args, status,
                                                                       out_start, err_start):
    before = tree(sandbox.root)
    code, out, err = run_plain(sandbox, args)
    assert code == status
    assert out.startswith(out_start) if out_start else out == ""
    assert err.startswith(err_start) if err_start else err == ""
    if status == 0 and args == ["--help"]:
        assert "man installWalletForLinux" in out and ".local/state/corvane-installer" in out
    for line in (out + err).splitlines():
        assert len(line) <= 80, line
    assert tree(sandbox.root) == before
    assert sandbox.log() == []


@pytest.mark.skipif(os.geteuid() != 0, reason="only root can be started as sudo starts it")
@pytest.mark.parametrize("variable, tool", [("SUDO_UID", "sudo"), ("PKEXEC_UID", "pkexec")])
def test_started_through_sudo_it_says_how_to_start_it_and_changes_nothing(sandbox, variable,
                                                                         tool):
    # As root with the variable that sudo (or pkexec) leaves, in a terminal: refused before any
    # file is made. As root without it (as here in every other test) it runs.
    env = sandbox.env
    sandbox.env = lambda: dict(env(), **{variable: "1000"})
    before = tree(sandbox.root)
    master, slave = pty.openpty()
    try:
        code, out, err = run_plain(sandbox, [], stdin=slave, stdout=slave)
    finally:
        os.close(slave)
        os.close(master)
    assert code == 1
    assert err == ("installWalletForLinux: run it as the user who will use the wallet, without "
                   "%s: it asks for root rights itself when it needs them\n" % tool)
    assert tree(sandbox.root) == before
    assert sandbox.log() == []


@pytest.mark.parametrize("stdin_tty, stdout_tty", [(False, False), (True, False), (False, True)])
def test_without_a_terminal_it_says_so_and_changes_nothing(sandbox, stdin_tty, stdout_tty):
    before = tree(sandbox.root)
    master, slave = pty.openpty()
    try:
        code, _, err = run_plain(sandbox, [],
                                 stdin=slave if stdin_tty else subprocess.DEVNULL,
                                 stdout=slave if stdout_tty else subprocess.PIPE)
    finally:
        os.close(slave)
        os.close(master)
    assert code == 1
    assert err == ("installWalletForLinux: needs a terminal: standard input and output must "
                   "both be a terminal\n")
    assert tree(sandbox.root) == before
    assert sandbox.log() == []


def read_only_launch(tui):
    """Starts the program from its folder made read-only (a read-only bind mount in a mount
    namespace of its own when root, whom permissions do not stop; chmod 555 otherwise)."""
    sb = tui.sb
    q = shlex.quote
    folder = sb.program_dir
    if os.geteuid() == 0:
        inner = ("mount --bind %s %s && mount -o remount,bind,ro %s && cd %s && "
                 "./installWalletForLinux" % (q(folder), q(folder), q(folder), q(folder)))
        run = "unshare --mount --propagation private sh -c %s" % q(inner)
    else:
        os.chmod(folder, 0o555)
        run = "cd %s && ./installWalletForLinux" % q(folder)
    tui.type_line("cd %s && (%s; echo $? > %s)" % (q(sb.home), run, q(tui.status_file)))
    tui.pid = tui.find_pid(sb.program)


@pytest.mark.parametrize("xdg", [None, "xdg-state"])
def test_read_only_program_folder_keeps_the_files_in_the_state_folder(sandbox, xdg):
    if xdg:
        xdg = os.path.join(sandbox.root, xdg)
        env = sandbox.env
        sandbox.env = lambda: dict(env(), XDG_STATE_HOME=xdg)
    tui = TmuxSession(sandbox)
    try:
        listing = sorted(os.listdir(sandbox.program_dir))
        read_only_launch(tui)
        tui.wait_for(PASSWORD_PROMPT, timeout=15)
        tui.type_line("secret")
        tui.wait_for(lambda rows: rows[0].startswith(TOP_HEADER), timeout=15)
        state = os.path.join(xdg or os.path.join(sandbox.home, ".local", "state"),
                             "corvane-installer")
        assert stat.S_IMODE(os.stat(state).st_mode) == 0o700
        for name in ("sudoPassword.txt", "hash.txt"):
            assert stat.S_IMODE(os.stat(os.path.join(state, name)).st_mode) == 0o600
        assert sorted(os.listdir(sandbox.program_dir)) == listing
        assert not os.path.exists(os.path.join(sandbox.home, "sudoPassword.txt"))
        for call in sandbox.log("sudo"):
            words = " ".join(call["argv"])
            assert "mkdir" not in words and "chmod" not in words, call
        tui.send("0")
        assert tui.exit_status() == 0
    finally:
        tui.close()
        os.chmod(sandbox.program_dir, 0o755)
    assert not sandbox.sanitizer_reports()


def too_small_line(cols, rows):
    return "Terminal too small: needs 80x24, has %dx%d" % (cols, rows)


def assert_centred(tui, cols, rows):
    text = too_small_line(cols, rows)
    screen = tui.wait_for(text, timeout=10)
    row = (rows + 1) // 2
    assert screen[row - 1].strip() == text
    assert screen[row - 1].index(text) == (cols - len(text)) // 2
    assert sum(1 for r in screen if r.strip()) == 1


def test_small_terminal_shows_its_size_and_redraws_when_large_enough(sandbox):
    tui = TmuxSession(sandbox, width=70, height=20)
    try:
        tui.launch()
        # Before the first screen: the password page waits for room.
        assert_centred(tui, 70, 20)
        tui.send("x")
        tui.tmux("resize-window", "-t", "corvane", "-x", "80", "-y", "23")
        assert_centred(tui, 80, 23)
        tui.tmux("resize-window", "-t", "corvane", "-x", "80", "-y", "24")
        tui.wait_for(PASSWORD_PROMPT, timeout=10)
        tui.type_line("secret")
        tui.wait_for(lambda rows: rows[0].startswith(TOP_HEADER), timeout=15)
        top = tui.wait_stable()

        # In a menu: keys wait (no menu opens), the process sleeps, the screen comes back.
        tui.tmux("resize-window", "-t", "corvane", "-x", "79", "-y", "24")
        assert_centred(tui, 79, 24)
        tui.send("1")
        tui.wait_ready()
        assert tui.waiting_for_input()
        assert_centred(tui, 79, 24)
        tui.tmux("resize-window", "-t", "corvane", "-x", "80", "-y", "24")
        tui.wait_for(lambda rows: rows[0].startswith(TOP_HEADER), timeout=10)
        assert [r[:77] for r in tui.wait_stable()] == [r[:77] for r in top]

        # "0" still ends the program while the terminal is too small.
        tui.tmux("resize-window", "-t", "corvane", "-x", "60", "-y", "24")
        assert_centred(tui, 60, 24)
        tui.send("0")
        assert tui.exit_status() == 0
    finally:
        tui.close()
    assert not sandbox.sanitizer_reports()
