# End-to-end checks of the installation subsystem on the real binary, against the sandbox's
# FTP server and the real wget: variant A (program ends) and B (back in the menu), the
# records, the launchers, the package commands, removal from both menus, a server that is down.
import os
import re
import sys
import time

from golden import expect_screen
from tmux_session import TOP_HEADER

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))),
                                "sandbox"))
import package_list  # noqa: E402

MENU_TITLE = " MAIN MENU-INSTALLATION    "
AWAITING = "APPLICATION STATUS= Awaiting user input".ljust(80)
STATUS_TEXTS_A = [
    "APPLICATION STATUS= Creating Teller FilePath Directory",
    "APPLICATION STATUS= Creating Directories",
    "APPLICATION STATUS= Downloading Files",
    "ARCHIVE FILES CHECK..................... CHECKING",
    "ARCHIVE FILES CHECK..................... DOWNLOADING",
    "APPLICATION STATUS= Creating desktop shortcut",
    "APPLICATION STATUS= Updating configuration file",
    " INSTALLING 32BIT LIBRARIES - PLEASE WAIT",
    " INSTALLING 64BIT LIBRARIES - PLEASE WAIT",
    "INSTALLING PROGRAMS - PLEASE WAIT",
    "APPLICATION STATUS= Installation Complete, Exiting installer. ",
]
STAMP = r"\d{4}-\d{2}-\d{2}-\d{2}-\d{2}-\d{2}"
TERMINALS = ["gnome-terminal", "xfce4-terminal", "mate-terminal", "uxterm", "xterm"]


def machine_terminal():
    for t in TERMINALS:
        if os.path.exists("/usr/bin/" + t):
            return t
    return ""


def read(path, mode="rb"):
    with open(path, mode) as f:
        return f.read()


def is_menu(rows):
    """The installation menu's title (the spinner turns in columns 78-80)."""
    return rows[0][:77].rstrip() == MENU_TITLE.rstrip()


def open_installation_menu(tui):
    tui.send("1")
    return tui.wait_for(lambda rows: is_menu(rows) and rows[21] == AWAITING,
                        what="the installation menu")


def run_variant_a(tui, timeout=150):
    tui.start()
    open_installation_menu(tui)
    started = time.monotonic()
    tui.send("2")
    tui.answer_plan("y")
    status = tui.exit_status(timeout=timeout)
    return status, time.monotonic() - started


def expected_form_a(ap):
    # The machine's terminal decides the form; the form A terminals are these three.
    t = machine_terminal()
    head = " \n[Desktop Entry]\nType=Application\nTerminal=true\n"
    head += "Icon[en_US]=%s/wallet.ico\nName[en_US]=Corvane Wallet\n" % ap
    if t == "mate-terminal":
        body = 'Exec=mate-terminal --title="Corvane Wallet" -x %s/wallet\nPath=%s\n' % (ap, ap)
    elif t in ("gnome-terminal", "xfce4-terminal"):
        body = 'Exec=%s --title="Corvane Wallet" -e %s/wallet\nPath=%s\n' % (t, ap, ap)
    else:
        body = "Path=%s\nExec=%s/wallet\n" % (ap, ap)
    return head + body + "Name=Corvane Wallet\nIcon=%s/wallet.ico\nCategories=Network\n" % ap


def in_order(haystack, needles):
    at = 0
    for n in needles:
        i = haystack.find(n.encode(), at)
        if i < 0:
            return n
        at = i + len(n)
    return None


def apt_runs(sb):
    """argv of every apt-get run but the plan's estimate (apt-get --print-uris, as the user)."""
    return [e["argv"] for e in sb.log("apt-get") if "--print-uris" not in e["argv"]]


def dpkg_runs_but_queries(sb):
    """argv of every dpkg run but the questions of its architectures (--print-...)."""
    return [e["argv"] for e in sb.log("dpkg")
            if not all(a.startswith("--print-") for a in e["argv"])]


def sudo_commands(sb, tool):
    """argv of every command of `tool` that sudo ran (the shim log's sudo lines)."""
    out = []
    for e in sb.log("sudo"):
        cmd = e.get("command", [])
        if "-kS" in e["argv"]:
            if cmd and cmd[0] == tool:
                out.append(cmd[1:])
    return out


def test_variant_a_installs_and_ends_the_program(tui):
    sb = tui.sb
    status, elapsed = run_variant_a(tui)
    assert status == 0
    out = tui.output()
    missing = in_order(out, STATUS_TEXTS_A)
    assert missing is None, "status text missing or out of order: %r" % missing
    # The progress screen leaves out keys 7 and 9.
    assert b" > PRESS 7" not in out.split(b"Downloading Files")[1]
    before, after = tui.stty()
    assert before == after

    ap = os.path.join(sb.home, "wallet")
    for name in ("wallet", "wallet.ico", "wallet.cfg"):
        assert os.path.isfile(os.path.join(ap, name)), name
    assert os.access(os.path.join(ap, "wallet"), os.X_OK)
    assert os.path.isdir(os.path.join(ap, "control/applications/wallet/tellerData"))
    current = os.path.join(ap, "archive/wallet/current")
    for rel in ("wallet.ico", "tellers", "Linux/wallet") + tuple(
            "Linux/" + d for d in ("libminiupnpc18_2.2.8-2+b2_amd64.deb",
                                   "miniupnpc18_2.2.8-2+b2_amd64.deb")):
        assert read(os.path.join(current, rel)) == read(os.path.join(sb.ftp_root,
                                                                     "archive/wallet/current", rel))
    cfg = read(os.path.join(ap, "wallet.cfg"))
    assert re.fullmatch(
        (b"applicationTextWalletInstallationPath=%s\r\n"
         b"applicationTextWalletInstallationDate=" + STAMP.encode() + b"\r\n"
         b"applicationTextWalletApplicationPath=%s\r\n")
        % (re.escape(sb.home.encode()), re.escape(ap.encode())), cfg), cfg

    launcher = os.path.join(sb.desktop, "Corvane wallet.desktop")
    assert read(launcher, "r") == expected_form_a(ap)
    menu = os.path.join(sb.home, ".local/share/applications/Corvane wallet.desktop")
    assert read(menu, "r") == expected_form_a(ap)

    # Packages: both .deb files, then the four groups in order with the licence answer.
    linux = os.path.join(current, "Linux")
    assert sudo_commands(sb, "dpkg") == [
        ["-i", "--", os.path.join(linux, "libminiupnpc18_2.2.8-2+b2_amd64.deb")],
        ["-i", "--", os.path.join(linux, "miniupnpc18_2.2.8-2+b2_amd64.deb")]]
    # Not the resolving apt-get -s runs (as the user): the installs.
    runs = [a for a in apt_runs(sb) if "-s" not in a]
    assert runs[0] == ["update"]  # fresh package lists before the first install
    apt = runs[1:]
    missing_terms = [t for t in package_list.TERMINALS if not os.path.exists("/usr/bin/" + t)]
    assert apt[:len(missing_terms)] == [["-y", "install", t] for t in missing_terms]
    groups = apt[len(missing_terms):]
    # Each group in one run, each name once (none is installed in the sandbox, all are there).
    assert groups == [["-y", "install"] + g for g in package_list.group_runs(missing_terms)]
    assert "linux-headers-" + os.uname().release in groups[1]
    debconf = sb.log("debconf-set-selections")
    assert [e["stdin"] for e in debconf] == [
        "ttf-mscorefonts-installer msttcorefonts/accepted-mscorefonts-eula select true\n"]
    order = [e["tool"] for e in sb.log() if e["tool"] == "debconf-set-selections"
             or (e["tool"] == "apt-get" and "-s" not in e["argv"]
                 and "--print-uris" not in e["argv"])]
    # The licence answer right before the font package (order counts the update too).
    assert apt[order.index("debconf-set-selections") - 1] == [
        "-y", "install", "ttf-mscorefonts-installer"]
    # Every sudo got the password on its standard input.
    assert all(e["stdin"] == "secret\n" for e in sb.log("sudo") if "-kS" in e["argv"])

    # The archive refresh's wget argv as documented (robots=off as a wgetrc command after -e).
    wget = sb.log("wget")
    assert len(wget) == 1
    assert wget[0]["argv"] == [
        "-N", "-r", "-R", "", "-e", "robots=off", "-nH", "--level=0", "--no-parent",
        "--reject=index.html*", "--user=" + sb.deploy["CORVANE_ARCHIVE_SERVER_ACCOUNT"],
        "--password=ferric3basin8",
        "ftp://%s/archive/wallet/current" % sb.deploy["CORVANE_ARCHIVE_SERVER_HOST"]]
    assert wget[0]["cwd"] == ap
    print("variant A took %.1f s" % elapsed)


def count(tui, text):
    return tui.count_output(text.encode())


def press_and_wait_redraw(tui, key, title, timeout=20):
    drawn = count(tui, title)
    tui.send(key)
    tui.wait_output_count(title.encode(), drawn + 1, timeout=timeout)
    return tui.wait_stable()


def test_variant_a_twice_appends_records_and_the_first_stays_first(tui):
    assert run_variant_a(tui)[0] == 0
    assert run_variant_a(tui)[0] == 0
    cfg = read(os.path.join(tui.sb.home, "wallet", "wallet.cfg"))
    records = cfg.split(b"\r\n")
    assert records[-1] == b"" and len(records) == 7
    # The reader takes the first record of a marker: the first installation's.
    first = cfg.find(b"applicationTextWalletInstallationPath=")
    assert cfg[first:].split(b"\r\n")[0].split(b"=", 1)[1] == tui.sb.home.encode()
    assert [r.split(b"=")[0] for r in records[:3]] == [r.split(b"=")[0] for r in records[3:6]]


def test_variant_b_returns_to_the_menu_with_its_layout(tui):
    sb = tui.sb
    tui.start()
    open_installation_menu(tui)
    tui.send("3")
    tui.wait_output_count(b"APPLICATION STATUS= Installation Complete, Awating user input", 1,
                          timeout=60)
    tui.wait_for(lambda rows: is_menu(rows) and rows[21] == AWAITING,
                 timeout=10, what="the installation menu again")
    expect_screen(tui, "installation_menu_installed")  # with its keys 7 and 9
    home = sb.home
    assert read(os.path.join(home, "wallet")) == read(
        os.path.join(sb.ftp_root, "archive/wallet/current/Linux/wallet"))
    assert os.access(os.path.join(home, "wallet"), os.X_OK)
    assert os.path.isfile(os.path.join(home, "wallet.ico"))
    assert os.path.isfile(os.path.join(home, "control/applications/wallet/tellerData/tellers"))
    cfg = read(os.path.join(home, "wallet.cfg"))
    assert re.fullmatch(b"applicationTextWalletInstallationPath=%s\r\n"
                        b"applicationTextWalletInstallationDate=%s\r\n"
                        % (re.escape(home.encode()), STAMP.encode()), cfg), cfg
    launcher = read(os.path.join(sb.desktop, "Corvane wallet.desktop"), "r")
    t = machine_terminal()
    # The launcher starts the program where the copy put it: HOME/wallet.
    exec_line = "Exec=%s%s/wallet" % (
        (t + (" -x " if t == "mate-terminal" else " -e ")) if t else "", home)
    assert launcher == (" \n[Desktop Entry]\nType=Application\nTerminal=true\n"
                        "Icon[en_US]=%s/wallet.ico\nName[en_US]=Corvane Wallet\n%s\n"
                        "Name=Corvane Wallet\nIcon=%s/wallet.ico\nCategories=Network\n"
                        % (home, exec_line, home))
    assert os.path.isfile(os.path.join(home, ".local/share/applications/Corvane wallet.desktop"))
    assert sb.log("apt-get") == [] and sb.log("dpkg") == []
    assert tui.running()
    tui.send("0")
    tui.wait_for(lambda rows: rows[0].startswith(TOP_HEADER), what="the top screen")
    tui.send("0")
    assert tui.exit_status() == 0


def test_removal_from_both_menus_touches_only_the_wallet(tui):
    sb = tui.sb
    home = sb.home
    with open(os.path.join(home, "keep.txt"), "w") as f:
        f.write("mine\n")
    os.makedirs(os.path.join(home, "Documents"))
    with open(os.path.join(home, "Documents", "letter.txt"), "w") as f:
        f.write("mine\n")
    assert run_variant_a(tui)[0] == 0
    ap = os.path.join(home, "wallet")
    desk = os.path.join(sb.desktop, "Corvane wallet.desktop")
    menu = os.path.join(home, ".local/share/applications/Corvane wallet.desktop")
    tui.start()

    # Top "3": the installed sample wallet runs.
    press_and_wait_redraw(tui, "3", TOP_HEADER)
    assert sb.wallet_runs() == ["sample wallet ran: %s " % os.path.join(ap, "wallet")]

    # Top "6": the launchers only.
    press_and_wait_redraw(tui, "6", TOP_HEADER)
    assert not os.path.exists(desk) and not os.path.exists(menu)
    assert os.path.isfile(os.path.join(ap, "wallet"))

    # Installation menu "9": everything of the wallet but wallet.cfg.
    open_installation_menu(tui)
    rows = press_and_wait_redraw(tui, "9", MENU_TITLE)
    assert rows[21] == AWAITING
    # (an installation's receipt stays beside it, listing wallet.cfg alone)
    assert sorted(set(os.listdir(ap)) - {"wallet.receipt"}) == ["wallet.cfg"]
    tui.send("0")
    tui.wait_for(lambda rows: rows[0].startswith(TOP_HEADER), what="the top screen")

    # Top "7", confirmed with "y": wallet.cfg too, and the wallet folder the installation made;
    # a second "7" finds nothing to delete and asks nothing.
    tui.send("7")
    tui.wait_for(" > PRESS y..TO DELETE THESE FILES, ANY OTHER KEY TO KEEP THEM")
    press_and_wait_redraw(tui, "y", TOP_HEADER)
    assert not os.path.exists(ap)
    press_and_wait_redraw(tui, "7", TOP_HEADER)
    assert read(os.path.join(home, "keep.txt")) == b"mine\n"
    assert read(os.path.join(home, "Documents", "letter.txt")) == b"mine\n"
    assert os.path.isdir(sb.desktop) and os.path.isdir(sb.program_dir)
    assert os.path.isfile(sb.program)
    tui.send("0")
    assert tui.exit_status() == 0
