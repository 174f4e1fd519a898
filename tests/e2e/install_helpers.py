# Shared steps of the installation end-to-end tests: run a variant into a path of a given
# kind, read the launchers it wrote, run their Exec lines, and snapshot folder trees.
import hashlib
import os
import subprocess

from tmux_session import TOP_HEADER
from test_install import open_installation_menu
from test_launchers import exec_argv, program_of
from test_scan import make_wallet, open_selected_wallet_menu, scan, status_at_row_21

FLOW_TIMEOUT = 90
SELECTED_LAST_ENTRY = " > PRESS 3.. TO FULLY INSTALL THE CORVANE WALLET FOR ALL USERS"
COMPLETE_B = "APPLICATION STATUS= Installation Complete, Awating user input"
LAUNCHER = "Corvane wallet.desktop"


def at_top(tui):
    return tui.wait_for(lambda rows: rows[0].startswith(TOP_HEADER), what="the top screen")


def typed_path(sb, kind):
    """The line typed at the selected-wallet menu's key 1, and the installation path it gives."""
    base = sb.mounts[1]
    typed = {"typed": os.path.join(base, "apps"),
             "typed-slash": os.path.join(base, "apps") + "/",
             "typed-blanks": os.path.join(base, "My Apps")}[kind]
    return typed, typed if typed.endswith("wallet") else typed + "/wallet"


def run_installation(tui, variant, kind):
    """Starts the installer and runs variant A-D into a path of the kind "default", "typed",
    "typed-slash", "typed-blanks" or "picked"; returns the installation path. Variant A ends
    the program; the others leave it at the top screen."""
    sb = tui.sb
    ip = sb.home
    if kind == "picked":
        make_wallet(os.path.join(sb.mounts[0], "apps"))
    tui.start()
    in_selected_menu = False
    if kind == "picked":
        drawn = scan(tui)
        rows = tui.wait_for(" FOUND 2 WALLETS", 60)
        pick = next(r for r in rows if r.rstrip().endswith("/wallet/wallet"))[5]
        tui.send(pick)
        open_selected_wallet_menu(tui, drawn)
        ip = os.path.join(sb.mounts[0], "apps", "wallet")
        in_selected_menu = True
    elif kind.startswith("typed"):
        typed, ip = typed_path(sb, kind)
        tui.send("5")
        tui.wait_for(SELECTED_LAST_ENTRY)
        tui.send("1")
        tui.wait_for("Please specify the target location = ")
        tui.type_line(typed)
        tui.wait_for(" CURRENT PATH= " + ip)
        in_selected_menu = True
    elif variant in "CD":
        tui.send("5")
        tui.wait_for(SELECTED_LAST_ENTRY)
        in_selected_menu = True

    if variant in "AB":
        if in_selected_menu:
            tui.send("0")
            at_top(tui)
        open_installation_menu(tui)
        if variant == "A":
            tui.send("2")
            tui.answer_plan("y")
            assert tui.exit_status(timeout=150) == 0
        else:
            done = tui.count_output(COMPLETE_B.encode())
            tui.send("3")
            tui.wait_output_count(COMPLETE_B.encode(), done + 1, timeout=FLOW_TIMEOUT)
            tui.send("0")
            at_top(tui)
        return ip
    if not in_selected_menu:
        tui.send("5")
        tui.wait_for(SELECTED_LAST_ENTRY)
    tui.send("2" if variant == "C" else "3")
    if variant == "D":
        tui.answer_plan("y")
    tui.wait_for(lambda rows: "Installation Complete, Awating user input" in status_at_row_21(rows)
                 and SELECTED_LAST_ENTRY in rows, FLOW_TIMEOUT, what="the installation's end")
    tui.send("0")
    at_top(tui)
    return ip


def written_launchers(sb):
    """{name: content} of every launcher the flow wrote: the user's two, and the one root was
    given to install for all users (from the sandbox's install stand-in)."""
    out = {}
    for path in (os.path.join(sb.desktop, LAUNCHER),
                 os.path.join(sb.home, ".local/share/applications", LAUNCHER),
                 os.path.join(sb.desktop, "wallet.desktop")):
        if os.path.lexists(path):
            with open(path, encoding="utf-8") as f:
                out[path] = f.read()
    for e in sb.log("install"):
        out["all users: " + e["argv"][-1]] = e["source_content"]
    return out


def launcher_program(content, scratch):
    """The program the launcher's Exec line starts (as the desktop reads it)."""
    with open(scratch, "w", encoding="utf-8") as f:
        f.write(content)
    return program_of(exec_argv(scratch))


def launcher_icon(content):
    return next(line[len("Icon="):] for line in content.splitlines() if line.startswith("Icon="))


def run_program(sb, argv):
    """Runs the program as the launcher would (without the terminal); returns the wallet's own
    report of what ran."""
    before = len(sb.wallet_runs())
    subprocess.run(argv, env=sb.env(), timeout=30, check=False, stdin=subprocess.DEVNULL)
    return sb.wallet_runs()[before:]


def ran(report, program):
    """The sample wallet's report names this program (the same file, however spelled)."""
    prefix = "sample wallet ran: "
    return len(report) == 1 and report[0].startswith(prefix) and os.path.samefile(
        report[0][len(prefix):].rstrip(), program)


def tree(*roots, skip=()):
    """{path: what it is} for everything below the roots: folders, links and files (with a
    hash of their content and their mode)."""
    out = {}
    for root in roots:
        for dirpath, dirnames, filenames in os.walk(root):
            dirnames[:] = [d for d in dirnames if os.path.join(dirpath, d) not in skip]
            for name in dirnames + filenames:
                p = os.path.join(dirpath, name)
                st = os.lstat(p)
                if os.path.islink(p):
                    out[p] = "link -> " + os.readlink(p)
                elif os.path.isdir(p):
                    out[p] = "folder %o" % (st.st_mode & 0o7777)
                else:
                    with open(p, "rb") as f:
                        digest = hashlib.sha256(f.read()).hexdigest()[:16]
                    out[p] = "file %o %s" % (st.st_mode & 0o7777, digest)
    return out


SUMMARY_PROBLEMS = " INSTALLATION FINISHED WITH PROBLEMS: "
CONTINUED = " " * 9


def summary_items(rows):
    """The summary's items as whole texts: a long one continues on indented rows (cut at a
    blank, or inside a path that has none, where the row is full)."""
    items, last_len, in_item = [], 0, False
    for r in rows:
        r = r.rstrip()
        if r.startswith(CONTINUED):
            if not in_item:
                continue
            items[-1] += ("" if last_len >= 80 else " ") + r[len(CONTINUED):]
        elif r.startswith((" FAILED  ", " SKIPPED ")):
            items.append(r)
            in_item = True
        else:
            in_item = False
            continue
        last_len = len(r)
    return items
