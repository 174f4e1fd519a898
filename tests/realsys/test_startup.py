# Sudo access at start-up against the real sudo, su and skill of a Debian system: the typed
# password is kept privately and opens sudo, a refused one is asked again and never kept, and
# the first-time setup of a user without sudo rights goes through su and ends the session.
import os
import stat
import time

from bed import NEWCOMER, NEWCOMER_PASSWORD, ROOT_PASSWORD, TESTER, TESTER_PASSWORD, group_members
from conftest import is_top
from tmux_session import PASSWORD_PROMPT

FIRST_TIME_PROMPT = " PLEASE ENTER YOUR USER PASSWORD TO CONTINUE >>> "
REFUSED_STATUS = "APPLICATION STATUS= SUDO DID NOT ACCEPT THE PASSWORD, NOTHING WAS STORED"
SECRET_FILES = ("sudoPassword.txt", "hash.txt")


def installer_file(bed, user, name):
    return bed.path("/home/%s/installer/%s" % (user, name))


def test_typed_password_is_kept_privately_opens_sudo_and_is_not_asked_again(bed, tui):
    assert TESTER not in group_members(bed, "sudo")  # tester may use sudo by its own rule
    rows = tui.start(password=None)
    assert any(PASSWORD_PROMPT in r for r in rows)
    tui.type_line(TESTER_PASSWORD)
    tui.wait_for(is_top, timeout=30, what="the top screen")
    # The real `sudo -kS usermod -aG sudo tester` took the typed password.
    assert TESTER in group_members(bed, "sudo")
    for name in SECRET_FILES:
        st = os.stat(installer_file(bed, TESTER, name))
        assert (stat.S_IMODE(st.st_mode), st.st_uid) == (0o600, tui_uid(bed, TESTER)), name
    tui.send("0")
    assert tui.exit_status() == 0

    bed.run("gpasswd -d %s sudo" % TESTER)
    rows = tui.start(password=None)
    assert is_top(rows), "asked again although the password is stored"
    tui.wait_for(lambda rows: TESTER in group_members(bed, "sudo") or None, timeout=20,
                 what="the stored password to run usermod")
    tui.send("0")
    assert tui.exit_status() == 0


def tui_uid(bed, user):
    return int(bed.run("id -u %s" % user).stdout)


def test_refused_password_is_asked_again_three_times_and_never_stored(bed, tui):
    # What the real sudo does with a wrong password on its standard input: one "Sorry, try
    # again.", then no second line to read, and exit status 1.
    r = bed.run("echo wrong | sudo -kS -v", user=TESTER, check=False)
    assert r.returncode == 1 and "Sorry, try again." in r.stderr, r

    rows = tui.start(password=None)
    assert any(PASSWORD_PROMPT in r for r in rows)
    for attempt in (1, 2, 3):
        tui.type_line("wrong-%d" % attempt)
        if attempt < 3:
            rows = tui.wait_for(
                lambda rows: any(PASSWORD_PROMPT in r for r in rows) and any(
                    "NOT ACCEPTED" in r and "TRY %d OF 3" % (attempt + 1) in r for r in rows),
                timeout=30, what="the password asked again")
    rows = tui.wait_for(is_top, timeout=30, what="the top screen")
    assert rows[21].rstrip() == REFUSED_STATUS
    for name in ("sudoPassword.txt",):
        assert not os.path.exists(installer_file(bed, TESTER, name)), name
    assert TESTER not in group_members(bed, "sudo")
    tui.send("0")
    assert tui.exit_status() == 0

    # The next start asks again, and a right password is then accepted and kept.
    tui.start(password=TESTER_PASSWORD, timeout=30)
    assert TESTER in group_members(bed, "sudo")
    assert os.path.exists(installer_file(bed, TESTER, "sudoPassword.txt"))


def test_first_time_setup_through_su_joins_group_sudo_and_logs_the_user_out(bed, open_session):
    tui = open_session(NEWCOMER)
    assert NEWCOMER not in group_members(bed, "sudo")
    tui.launch()
    tui.wait_for(FIRST_TIME_PROMPT.strip(), timeout=30, what="the first-time prompt")
    tui.type_line(NEWCOMER_PASSWORD)
    tui.wait_for(lambda rows: any(r.rstrip().endswith("Password:") for r in rows), timeout=30,
                 what="su asking for the root password")
    # su reads the terminal itself while the installer waits for it.
    tui.send(ROOT_PASSWORD, ready=False)
    tui.key("Enter", ready=False)
    # skill ends every process of the user: the installer, and the user's interactive shell
    # too (which ignores SIGTERM), so the session ends as a logout would.
    uid = tui_uid(bed, NEWCOMER)
    deadline = time.monotonic() + 60
    while time.monotonic() < deadline and (tui.running() or user_processes(bed, uid)):
        time.sleep(0.1)
    assert not tui.running(), "the installer still runs\n" + tui.screen_text()
    assert not user_processes(bed, uid), tui.screen_text()
    assert NEWCOMER in group_members(bed, "sudo")


def user_processes(bed, uid):
    """(pid, name) of the live processes of uid in the bed (zombies are already ended)."""
    out = []
    for pid in bed.members():
        try:
            with open("/proc/%d/status" % pid) as f:
                fields = dict(line.split(":", 1) for line in f if ":" in line)
        except OSError:
            continue
        if int(fields["Uid"].split()[0]) == uid and not fields["State"].strip().startswith("Z"):
            out.append((pid, fields["Name"].strip()))
    return out
