# End-to-end checks of sudo access at start-up on the real binary: the prompt that does not
# echo, the stored private password file, the first-time setup through su, and passwords
# that would run commands if they ever reached a command line.
import os
import stat

import pytest

from tmux_session import PASSWORD_PROMPT, TOP_HEADER

FIRST_TIME_PROMPT = " PLEASE ENTER YOUR USER PASSWORD TO CONTINUE >>> "
FIRST_TIME_LINES = [
    "   Your user password is required to setup this installer.",
    "   You will be asked for TWO passwords: first your user password, then root's",
    "   (the second prompt, \"Password:\", comes from su and wants root's password)",
    "   You will not see your key-presses while typing either password",
    "   After you type in root's password, you will be logged out",
    "   No root password (as on Ubuntu)? Ask someone with root rights to run",
    "      usermod -aG sudo tester",
]
# The top screen after su failed: what happened on the status row, what to do on the next.
SU_FAILED_ROWS = [
    "APPLICATION STATUS= FIRST-TIME SETUP FAILED, su ended with status 1".ljust(80),
    "Ask someone with root rights to run  usermod -aG sudo tester  then log in again",
]
REFUSAL = "Sorry, user tester may not run sudo on vm.\n"
# Every sudo that reads the password: -k, -S, and an empty prompt (sudo prints none).
SUDO_OPTIONS = ["-kS", "-p", ""]
VALIDATE_ARGV = SUDO_OPTIONS + ["-v"]


def mode(path):
    return stat.S_IMODE(os.stat(path).st_mode)


def is_top(rows):
    return rows[0].startswith(TOP_HEADER)


def sudo_calls(sb):
    """The elevated commands (the probe and sudo's password checks left out)."""
    return [e for e in sb.log("sudo") if not e.get("probe") and e["argv"] != VALIDATE_ARGV]


def password_checks(sb):
    return [e["stdin"] for e in sb.log("sudo") if e["argv"] == VALIDATE_ARGV]


def assert_private_files(sb):
    folder = sb.program_dir
    for name in ("sudoPassword.txt", "hash.txt", "tempout.txt"):
        assert mode(os.path.join(folder, name)) == 0o600, name


def test_password_prompt_hides_typing_stores_privately_and_joins_the_group(tui):
    sb = tui.sb
    sb.set_sudo(password="open sesame")
    rows = tui.start(password=None)
    assert any(PASSWORD_PROMPT in r for r in rows)
    assert any(r.strip() == "WALLET INSTALLER VERSION = 0.10.61" for r in rows)
    assert " Your user password is required for this installer to continue." in rows
    tui.send("open sesame")
    tui.wait_stable(quiet=0.3)
    assert not any("open sesame" in r for r in tui.rows()), "typing was echoed"
    tui.key("Enter")
    tui.wait_for(is_top, what="the top screen")

    probes = [e for e in sb.log("sudo") if e.get("probe")]
    assert len(probes) == 1 and probes[0]["argv"] == ["-vn"]
    calls = sudo_calls(sb)
    assert [c["command"] for c in calls] == [["usermod", "-aG", "sudo", "tester"]]
    assert calls[0]["argv"][:3] == SUDO_OPTIONS
    assert calls[0]["stdin"] == "open sesame\n" and calls[0]["ran"]
    assert password_checks(sb) == ["open sesame\n"]
    assert [e["argv"] for e in sb.log("usermod")] == [["-aG", "sudo", "tester"]]

    stored = open(os.path.join(sb.program_dir, "sudoPassword.txt"), "rb").read()
    assert stored.startswith(b"password=") and stored.endswith(b"\r\n")
    digits = stored[len(b"password="):-2]
    assert digits.isdigit() and len(digits) == 3 * len("open sesame")
    assert_private_files(sb)
    tui.send("0")
    assert tui.exit_status() == 0


def test_second_start_uses_the_stored_password_without_asking(tui):
    sb = tui.sb
    sb.set_sudo(password="st0red pw")
    tui.start(password="st0red pw")
    tui.send("0")
    assert tui.exit_status() == 0

    open(sb.log_file, "w").close()
    rows = tui.start(password=None)
    assert is_top(rows), "asked again although the password is stored"
    calls = sudo_calls(sb)
    assert [c["command"] for c in calls] == [["usermod", "-aG", "sudo", "tester"]]
    assert calls[0]["argv"][:3] == SUDO_OPTIONS
    assert calls[0]["stdin"] == "st0red pw\n" and calls[0]["ran"]
    assert_private_files(sb)


def test_refusal_shows_first_time_setup_and_a_failed_su_reaches_the_menu(tui):
    sb = tui.sb
    sb.set_sudo(probe_stderr=REFUSAL)
    tui.launch()
    rows = tui.wait_for(FIRST_TIME_PROMPT.strip(), what="the first-time prompt")
    for line in FIRST_TIME_LINES:
        assert line in rows, line
    assert any(r.strip() == "WALLET INSTALLER VERSION = 0.10.61" for r in rows)
    tui.send("root-ish pw")
    tui.wait_stable(quiet=0.3)
    assert not any("root-ish pw" in r for r in tui.rows()), "typing was echoed"
    tui.key("Enter")
    rows = tui.wait_for(is_top, what="the top screen after su failed")
    assert rows[21:23] == SU_FAILED_ROWS

    su = sb.log("su")
    assert len(su) == 1
    assert su[0]["argv"] == [
        "-c", "apt install sudo ; /usr/sbin/adduser tester sudo ; skill -TERM -u tester"
        " ; sleep 2 ; skill -KILL -u tester"]
    assert sudo_calls(sb) == [], "no elevated command in the first-time branch"
    assert all("root-ish pw" not in e["parent"] for e in sb.log())


def test_missing_sudo_under_dash_counts_as_first_time(tui):
    sb = tui.sb
    sb.set_sudo(probe_stderr="sh: 1: sudo: not found\n")
    tui.launch()
    tui.wait_for(FIRST_TIME_PROMPT.strip(), what="the first-time prompt")
    tui.type_line("pw")
    tui.wait_for(is_top, what="the top screen")
    assert len(sb.log("su")) == 1


HOSTILE = [
    "it's",
    'say "hi"',
    "x; touch {canary}",
    "$(touch {canary})",
    "`touch {canary}`",
    "two words | tee {canary}",
    "back\\slash\\",
    "$HOME $1 $$",
    "a'b\"c;d$(e)`f` g\\h > {canary}",
]


@pytest.mark.parametrize("template", HOSTILE)
def test_hostile_password_reaches_sudo_intact_and_runs_nothing(tui, template):
    sb = tui.sb
    canary = os.path.join(sb.root, "canary")
    password = template.format(canary=canary)
    sb.set_sudo(password=password)
    tui.start(password=password)
    tui.send("0")
    assert tui.exit_status() == 0
    # Once typed, once from the stored file.
    tui.start(password=None)
    tui.send("0")
    assert tui.exit_status() == 0

    assert not os.path.exists(canary), "the password ran as a command"
    calls = sudo_calls(sb)
    assert len(calls) == 2
    for c in calls:
        assert c["argv"][:3] == SUDO_OPTIONS
        assert c["command"] == ["usermod", "-aG", "sudo", "tester"]
        assert c["stdin"] == password + "\n"
        assert c.get("refused") is None and c["ran"]
    for e in sb.log():
        assert password not in e["parent"], e
        assert all(password not in a for a in e["argv"]), e
