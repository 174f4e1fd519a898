# End-to-end checks that the user's password reaches sudo and nothing else: with a sudo that
# never reads its standard input (a NOPASSWD rule, a fingerprint login) no command under it
# receives the password, and stored secret files that are not private files of this user
# (a FIFO, a link, a file that others may read, a file of another user) are never read: they
# are removed and the password is asked for again.
import os
import stat

import pytest

from test_install import run_variant_a
from tmux_session import PASSWORD_PROMPT, TOP_HEADER

LOG_ONLY = ("usermod", "dpkg", "apt-get", "debconf-set-selections")


def test_a_sudo_that_does_not_read_stdin_leaves_no_command_the_password(tui):
    sb = tui.sb
    sb.set_sudo(reads_stdin=False)
    status, _ = run_variant_a(tui, timeout=300)  # 82 package runs: slow on a busy machine
    assert status == 0
    ran = {tool: sb.log(tool) for tool in LOG_ONLY}
    assert all(ran.values()), "every kind of elevated command ran: %r" % {
        t: len(v) for t, v in ran.items()}
    for tool, entries in ran.items():
        for e in entries:
            assert "secret" not in e["stdin"], (tool, e)
    assert all(e["stdin"] == "" for e in sb.log("sudo"))


def make_fifo(path):
    os.unlink(path)
    os.mkfifo(path, 0o600)


def make_readable(path):
    os.chmod(path, 0o644)


def make_foreign(path):
    if os.geteuid() != 0:
        pytest.skip("giving a file to another user needs root")
    os.chown(path, 12345, 12345)


def make_link(path):
    os.rename(path, path + ".real")
    os.symlink(os.path.basename(path) + ".real", path)


@pytest.mark.parametrize("name,tamper", [
    ("sudoPassword.txt", make_fifo),
    ("hash.txt", make_fifo),
    ("sudoPassword.txt", make_readable),
    ("hash.txt", make_foreign),
    ("sudoPassword.txt", make_link),
])
def test_a_secret_file_that_is_not_private_is_removed_and_the_password_asked_again(
        tui, name, tamper):
    sb = tui.sb
    tui.start(password="secret")
    tui.send("0")
    assert tui.exit_status() == 0
    path = os.path.join(sb.program_dir, name)
    tamper(path)

    rows = tui.start(password=None)
    assert any(PASSWORD_PROMPT in r for r in rows), "the stored password was used"
    tui.type_line("secret")
    tui.wait_for(lambda rows: rows[0].startswith(TOP_HEADER), what="the top screen")
    st = os.lstat(path)
    assert stat.S_ISREG(st.st_mode) and stat.S_IMODE(st.st_mode) == 0o600
    assert st.st_uid == os.geteuid()
    tui.send("0")
    assert tui.exit_status() == 0
