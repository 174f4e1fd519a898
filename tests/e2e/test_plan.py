# The plan before a root-level installation (installation key 2, selected-wallet key 3): what
# it shows of the sandbox's package table, that any key but yes changes nothing, that f leaves
# the system packages out, and that the user's own installations (B, C) ask nothing.
import os
import sys

import pytest

from install_helpers import SELECTED_LAST_ENTRY, at_top, run_installation, tree
from test_install import is_menu, open_installation_menu, sudo_commands
from test_scan import status_at_row_21

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))),
                                "sandbox"))
import package_list  # noqa: E402
from tmux_session import PLAN_MORE, shown_rows  # noqa: E402

PLAN_TITLE = " BEFORE ANYTHING CHANGES: WHAT THIS INSTALLATION WILL DO"
CONTINUED = " WHAT THIS INSTALLATION WILL DO (CONTINUED)"  # the top of a further page
DECLINED = "Installation Cancelled, Nothing Changed"
# The questions the plan asks of dpkg and apt, as the user; nothing else may run before a yes.
QUERIES = {"dpkg-query", "apt-cache", "dpkg", "apt-get"}
TABLE = dict(foreign_architectures=[], installed=["binutils", "curl", "openssh-client", "gvfs"],
             unavailable=["realpath", "ntp", "r8168-dkms", "pysdm"])


def plan_text(pages):
    """The pages' lines as one text (wrapped lines go on after a blank), without their key
    lines."""
    return " ".join(r.strip() for rows in pages for r in rows
                    if r.strip() and not r.startswith(PLAN_MORE) and r.rstrip() != CONTINUED)


def only_queries(entries):
    """True when every logged command is one of the plan's read-only questions."""
    for e in entries:
        argv = e["argv"]
        if e["tool"] not in QUERIES:
            return False
        if e["tool"] == "apt-get" and "--print-uris" not in argv:
            return False
        if e["tool"] == "dpkg" and not all(a.startswith("--print-") for a in argv):
            return False
    return True


def open_selected_menu(tui):
    tui.send("5")
    tui.wait_for(SELECTED_LAST_ENTRY)


@pytest.mark.parametrize("variant", ["A", "D"])
def test_the_plan_waits_and_any_key_but_yes_changes_nothing(tui, variant):
    sb = tui.sb
    sb.set_packages(**TABLE)
    tui.start()
    if variant == "A":
        open_installation_menu(tui)
    else:
        open_selected_menu(tui)
    # (The installer's own folder holds its scratch file, tempout.txt, not the user's.)
    before = tree(sb.home, *sb.mounts, skip=(sb.program_dir,))
    logged = len(sb.log())
    tui.send("2" if variant == "A" else "3")
    pages = tui.answer_plan("n")
    text = plan_text(pages)
    if variant == "A":
        tui.wait_for(lambda rows: is_menu(rows) and rows[21].rstrip() ==
                            "APPLICATION STATUS= " + DECLINED, what="the menu, nothing changed")
    else:
        tui.wait_for(lambda rows: DECLINED in status_at_row_21(rows) and
                            SELECTED_LAST_ENTRY in rows, what="the menu, nothing changed")
    assert tree(sb.home, *sb.mounts, skip=(sb.program_dir,)) == before
    assert only_queries(sb.log()[logged:]), sb.log()[logged:]
    assert PLAN_TITLE in pages[0]
    assert all(shown_rows(rows)[0] == CONTINUED for rows in pages[1:])
    assert all(len(r.rstrip()) <= 80 for rows in pages for r in rows)
    if variant == "D":
        assert "/usr/share/applications/Corvane wallet.desktop" in text
        assert "dpkg -i" not in text and "System packages" not in text
        assert pages[-1][22].rstrip().endswith("? [y/N]")
        return
    # For the record: the plan as drawn (CORVANE_PLAN_CAPTURE names the file).
    with open(os.environ.get("CORVANE_PLAN_CAPTURE", os.path.join(sb.run_dir, "plan.txt")), "w", encoding="utf-8") as f:
        f.write("\n\n".join("\n".join(r.rstrip() for r in rows) for rows in pages))
    # The sandbox's table: what is there, what apt has no candidate for, what needs i386.
    names = package_list.distinct()
    i386 = [n for n in names if n.endswith(":i386")]
    terminals = [t for t in package_list.TERMINALS if not os.path.exists("/usr/bin/" + t)]
    installs = len(set(names) | set(terminals)) - len(i386) - 8
    assert "4 already installed" in text
    missing = [n for n in names if n in TABLE["unavailable"]]
    assert "4 with no install candidate on this system: " + " ".join(missing) in text
    assert ("%d need the i386 architecture (dpkg --add-architecture i386, not run): %s"
            % (len(i386), " ".join(i386))) in text
    # The sandbox's apt says three packages of 1.5 MB each per name.
    assert ("%d to install (%d new packages with what they need, download "
            % (installs, 3 * installs)) in text, text
    assert "dpkg -i libminiupnpc18_2.2.8-2+b2_amd64.deb" in text
    assert "ttf-mscorefonts-installer" in text
    assert "openssh-server: a service that listens on the network at once" in text
    assert "dkms: builds kernel modules" in text and "r8168-dkms:" not in text
    assert "ntp:" not in text  # not available here, so it changes nothing


def test_f_installs_the_wallet_and_the_archives_packages_but_no_system_package(tui):
    sb = tui.sb
    tui.start()
    open_installation_menu(tui)
    tui.send("2")
    tui.answer_plan("f")
    assert tui.exit_status(timeout=150) == 0
    assert [e["argv"] for e in sb.log("apt-get") if "--print-uris" not in e["argv"]] == []
    assert [c[0] for c in sudo_commands(sb, "dpkg")] == ["-i", "-i"]
    assert os.path.isfile(os.path.join(sb.home, "wallet", "wallet"))
    assert os.path.isfile(os.path.join(sb.home, "wallet", "wallet.cfg"))
    assert "SKIPPED system packages (left out, as you chose)" in tui.screen_text()


@pytest.mark.parametrize("variant", ["B", "C"])
def test_the_users_own_installations_ask_nothing(tui, variant):
    run_installation(tui, variant, "default")
    assert PLAN_TITLE.encode() not in tui.output()
    assert at_top(tui)
