# What a new user meets on a real Debian system, read from the pane as the user sees it: a start
# through the real sudo is refused before anything is touched, the first-time setup names the
# password each prompt wants and says when su refused root's, and the real sudo prints no
# prompt of its own while the installer feeds it the password.
import os
import shlex

from bed import (NEWCOMER, NEWCOMER_PASSWORD, RUN_DIR, TESTER, TESTER_PASSWORD, group_members,
                 snapshot)
from conftest import is_top
from sandbox import PROGRAM_NAME

FIRST_TIME_PROMPT = " PLEASE ENTER YOUR USER PASSWORD TO CONTINUE >>> "
ROOT_PASSWORD_LINE = " NOW su ASKS FOR THE PASSWORD OF root (NOT YOUR OWN; TYPING IS NOT SHOWN):"
REFUSAL = ("installWalletForLinux: run it as the user who will use the wallet, without sudo: "
           "it asks for root rights itself when it needs them")


def joined_screen(tui):
    """The pane's rows with wrapped lines joined (as the program wrote them)."""
    return tui.tmux("capture-pane", "-p", "-J", "-t", "corvane").splitlines()


def test_a_start_through_sudo_is_refused_before_anything_is_touched(bed, tui):
    before = snapshot(bed, "/home")
    status = RUN_DIR + "/" + TESTER + "/sudo-status"
    tui.type_line("cd /home/%s/installer && sudo ./%s; echo $? > %s"
                  % (TESTER, PROGRAM_NAME, shlex.quote(status)))
    tui.wait_for(lambda rows: any("[sudo] password for %s" % TESTER in r for r in rows),
                 timeout=20, what="the real sudo asking for tester's password")
    tui.send(TESTER_PASSWORD, ready=False)
    tui.key("Enter", ready=False)
    tui.wait_for(lambda rows: os.path.exists(bed.path(status)), timeout=30,
                 what="the program to end")
    with open(bed.path(status)) as f:
        assert int(f.read()) == 1
    screen = joined_screen(tui)
    print("\n".join(screen))  # for the record: the refusal as the user sees it
    assert REFUSAL in screen, "\n".join(screen)
    # Nothing of it in the user's folders (no hash.txt, sudoPassword.txt, tempout.txt), and
    # nobody was put into group sudo.
    assert snapshot(bed, "/home") == before
    assert group_members(bed, "sudo") == []


def test_first_time_setup_names_both_passwords_and_says_that_su_failed(bed, open_session):
    tui = open_session(NEWCOMER)
    tui.launch()
    rows = tui.wait_for(FIRST_TIME_PROMPT.strip(), timeout=30, what="the first-time prompt")
    print("\n".join(rows))  # for the record: the first-time screen
    assert "   You will be asked for TWO passwords: first your user password, then root's" in rows
    assert "      usermod -aG sudo %s" % NEWCOMER in rows
    tui.type_line(NEWCOMER_PASSWORD)
    rows = tui.wait_for(lambda rows: any(r.rstrip().endswith("Password:") for r in rows),
                        timeout=30, what="su asking for root's password")
    assert ROOT_PASSWORD_LINE in rows
    # A wrong root password: the real su refuses it and the installer goes on to its menu.
    tui.send("not-the-root-password", ready=False)
    tui.key("Enter", ready=False)
    rows = tui.wait_for(is_top, timeout=60, what="the top screen after su failed")
    print("\n".join(rows))  # for the record: the top screen after su failed
    assert rows[21:23] == [
        "APPLICATION STATUS= FIRST-TIME SETUP FAILED, su ended with status 1".ljust(80),
        "Ask someone with root rights to run  usermod -aG sudo %s  then log in again" % NEWCOMER]
    assert tui.running()
    assert NEWCOMER not in group_members(bed, "sudo")
    tui.send("0")
    assert tui.exit_status() == 0


def test_the_real_sudo_prints_no_prompt_while_it_gets_the_password(bed, tui):
    tui.start_with_password()
    assert TESTER in group_members(bed, "sudo"), "sudo ran usermod with the typed password"
    tui.send("0")
    assert tui.exit_status() == 0
    # Every byte the pane received: sudo's "[sudo] password for tester: " never among them.
    out = tui.output()
    assert b"WALLET LINUX INSTALLER" in out
    assert b"password for" not in out, out[-2000:]
