# End-to-end checks of the manual installation menu (top menu key "2"): its screen, each option
# on its own, the order 1, 2, 3, 4, 5, 7 giving a working installation, and the messages. The
# menu is the golden file tests/golden/screens/manual_menu.txt.
import os
import re
import shutil
import subprocess

import pytest

from golden import expect_screen
from tmux_session import TOP_HEADER

MENU_TITLE = " MAIN MENU-MANUAL INSTALLATION    "
MENU_END = " > PRESS 0..TO GO BACK"  # the last entry: the menu is drawn whole
STEP_TIMEOUT = 60


def status(rows):
    """The status entry (row 23; a long one wraps onto row 24)."""
    return (rows[22] + rows[23]).rstrip()


def open_manual_menu(tui):
    tui.start()
    tui.send("2")
    return tui.wait_for(MENU_TITLE)


def press(tui, key):
    """Presses an option key and waits until the menu is drawn again after it ran."""
    drawn = tui.count_output(MENU_TITLE)
    tui.send(key)
    tui.wait_output_count(MENU_TITLE, drawn + 1, STEP_TIMEOUT)
    return tui.wait_for(MENU_END)


def change_path(tui, path):
    tui.send("1")
    tui.wait_for("Please specify the target location = ")
    drawn = tui.count_output(MENU_TITLE)
    tui.type_line(path)
    tui.wait_output_count(MENU_TITLE, drawn + 1)
    return tui.wait_for(MENU_END)


def records(path):
    with open(path, "rb") as f:
        return [(k.decode(), v.decode()) for k, v in re.findall(rb"(\w+)=([^\r]*)\r", f.read())]


def seed_archive(sb, ip):
    """What option 2 downloads: the second server's "current" folder below ip/archive."""
    shutil.copytree(os.path.join(sb.ftp_root, "current"), os.path.join(ip, "archive", "current"))


def exec_program(launcher):
    with open(launcher) as f:
        line = next(l for l in f if l.startswith("Exec="))
    # "Exec=" [terminal " -e "] program
    return line.rstrip("\n")[len("Exec="):].split(" -e ")[-1]


def test_screen_and_the_order_1_2_3_4_5_7_make_a_working_installation(tui):
    sb = tui.sb
    open_manual_menu(tui)
    expect_screen(tui, "manual_menu")  # the current path: the home folder

    ip = os.path.join(sb.home, "wallet")
    rows = change_path(tui, ip)
    assert rows[3] == " CURRENT PATH= " + ip

    press(tui, "2")
    assert os.path.isfile(os.path.join(ip, "archive", "current", "Linux", "wallet"))
    wget = [e for e in sb.log("wget")][-1]
    assert wget["cwd"] == os.path.join(ip, "archive")
    assert "--user=ledger2" in wget["argv"]

    press(tui, "3")
    assert os.access(os.path.join(ip, "wallet"), os.X_OK)
    assert os.path.isfile(os.path.join(ip, "wallet.ico"))
    assert os.path.isfile(os.path.join(ip, "control/applications/wallet/tellerData/tellers"))

    rows = press(tui, "4")
    assert status(rows) == " APPLICATION STATUS= SUCCESS, wallet.desktop CREATED IN " + sb.desktop
    desktop_launcher = os.path.join(sb.desktop, "Corvane wallet.desktop")
    assert os.path.isfile(desktop_launcher)

    rows = press(tui, "5")
    menu = os.path.join(sb.home, ".local/share/applications")
    assert status(rows) == " APPLICATION STATUS= SUCCESS, wallet.desktop CREATED IN " + menu
    assert os.path.isfile(os.path.join(menu, "wallet.desktop"))

    press(tui, "7")
    recs = records(os.path.join(ip, "wallet.cfg"))
    assert [k for k, _ in recs] == ["applicationTextWalletInstallationPath",
                                    "applicationTextWalletInstallationDate"]
    assert recs[0][1] == ip

    # The launcher starts a wallet that runs.
    program = exec_program(desktop_launcher)
    assert program == os.path.join(sb.home, "wallet", "wallet")
    subprocess.run([program], check=True, timeout=10)
    assert len(sb.wallet_runs()) == 1

    tui.send("0")
    tui.wait_for(lambda rows: rows[0].startswith(TOP_HEADER))


def test_option_4_looks_for_the_icon_it_names_and_writes_a_launcher_that_starts(tui):
    """Option 4 checks exactly what its launcher names: before options 2 and 3 the icon of the
    typed path is missing and nothing is written; after them, the launcher's Exec and Icon
    are the files that option 3 put in place."""
    sb = tui.sb
    open_manual_menu(tui)
    ip = os.path.join(sb.mounts[0], "elsewhere", "wallet")
    change_path(tui, os.path.join(sb.mounts[0], "elsewhere"))
    rows = press(tui, "4")
    assert status(rows) == " APPLICATION STATUS= SORRY, wallet.ico IS NOT PRESENT IN " + ip + "/"
    assert os.listdir(sb.desktop) == []
    press(tui, "2")
    press(tui, "3")
    rows = press(tui, "4")
    assert status(rows) == " APPLICATION STATUS= SUCCESS, wallet.desktop CREATED IN " + sb.desktop
    launcher = os.path.join(sb.desktop, "Corvane wallet.desktop")
    program = exec_program(launcher)
    with open(launcher) as f:
        icon = next(l for l in f if l.startswith("Icon="))[len("Icon="):].rstrip("\n")
    assert (program, icon) == (os.path.join(ip, "wallet"), os.path.join(ip, "wallet.ico"))
    with open(icon, "rb") as a, open(os.path.join(sb.ftp_root, "current", "wallet.ico"), "rb") as b:
        assert a.read() == b.read()
    subprocess.run([program], check=True, timeout=10)
    assert len(sb.wallet_runs()) == 1


@pytest.mark.parametrize("option", ["2", "3", "5", "6", "7"])
def test_each_option_works_on_its_own(tui, option):
    sb = tui.sb
    ip = os.path.join(sb.mounts[0], "solo", "wallet")
    if option in ("3", "5"):
        seed_archive(sb, ip)
    if option == "6":
        os.makedirs(ip)
        shutil.copy(os.path.join(sb.ftp_root, "current", "wallet.ico"), ip)
    open_manual_menu(tui)
    change_path(tui, os.path.dirname(ip))  # the path rule appends /wallet
    if option == "6":
        # No archive vouches for the program: root installs its launcher for all users only
        # after the y of the question before root.
        drawn = tui.count_output(MENU_TITLE)
        tui.send(option)
        tui.wait_for(" Install these packages without verification? [y/N]", STEP_TIMEOUT)
        tui.send("y")
        tui.wait_output_count(MENU_TITLE, drawn + 1, STEP_TIMEOUT)
        rows = tui.wait_for(MENU_END)
    else:
        rows = press(tui, option)
    if option == "2":
        assert os.path.isfile(os.path.join(ip, "archive", "current", "tellers"))
    elif option == "3":
        assert os.path.isfile(os.path.join(ip, "wallet"))
        assert os.path.isfile(os.path.join(ip, "control/applications/wallet/tellerData/tellers"))
    elif option == "5":
        assert os.path.isfile(os.path.join(ip, "wallet.ico"))
        assert os.path.isfile(os.path.join(sb.home, ".local/share/applications/wallet.desktop"))
    elif option == "6":
        assert status(rows) == (" APPLICATION STATUS= SUCCESS, wallet.desktop CREATED IN "
                                + sb.desktop)
        # Root installs a private copy for all users (root's, mode 0644); the desktop one goes.
        installs = [e["command"][1:] for e in sb.log("sudo")
                    if e.get("command", [])[:1] == ["install"]]
        assert [a[:6] + a[-1:] for a in installs] == [
            ["-o", "root", "-g", "root", "-m", "0644",
             "/usr/share/applications/Corvane wallet.desktop"]]
        assert not os.path.exists(os.path.join(sb.desktop, "wallet.desktop"))
    else:
        assert [k for k, _ in records(os.path.join(ip, "wallet.cfg"))] == [
            "applicationTextWalletInstallationPath", "applicationTextWalletInstallationDate"]
    assert tui.running()
