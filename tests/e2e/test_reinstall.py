# End-to-end checks of the selected-wallet menu (top menu key "5"): reinstalling for this user
# (variant C) and for all users (variant D) into the picked or typed folder, with the folder
# download of "current" from the sandbox FTP server's second account.
import os
import re

from sandbox import SECOND_ACCOUNT, SECOND_PASSWORD
from tmux_session import TOP_HEADER
from test_scan import make_wallet, open_selected_wallet_menu, scan, status_at_row_21

FLOW_TIMEOUT = 90
MENU_LAST_ENTRY = " > PRESS 3.. TO FULLY INSTALL THE CORVANE WALLET FOR ALL USERS"


def records(path):
    with open(path, "rb") as f:
        return [(k.decode(), v.decode()) for k, v in re.findall(rb"(\w+)=([^\r]*)\r", f.read())]


def assert_installed(sb, ip):
    with open(os.path.join(ip, "wallet"), "rb") as f:
        assert f.read() == sb.sample_wallet_script().encode()
    assert os.access(os.path.join(ip, "wallet"), os.X_OK)
    assert os.path.getsize(os.path.join(ip, "wallet.ico")) > 0
    assert os.path.isfile(os.path.join(ip, "control/applications/wallet/tellerData/tellers"))
    recs = records(os.path.join(ip, "wallet.cfg"))
    assert [k for k, _ in recs] == ["applicationTextWalletInstallationPath",
                                    "applicationTextWalletInstallationDate"]
    assert recs[0][1] == ip and recs[1][1]
    downloads = [e for e in sb.log("wget") if any(a.endswith("/current") for a in e["argv"])]
    assert downloads, sb.log("wget")
    argv = downloads[-1]["argv"]
    assert "--user=" + SECOND_ACCOUNT in argv and "--password=" + SECOND_PASSWORD in argv
    assert downloads[-1]["cwd"] == os.path.join(ip, "archive")


def wait_for_status(tui, text):
    return tui.wait_for(lambda rows: status_at_row_21(rows) == text and MENU_LAST_ENTRY in rows,
                        FLOW_TIMEOUT, what=repr(text))


def test_variant_c_reinstalls_the_picked_wallet_for_this_user(tui):
    sb = tui.sb
    make_wallet(os.path.join(sb.mounts[0], "apps"))
    tui.start()
    drawn = scan(tui)
    rows = tui.wait_for(" FOUND 2 WALLETS", 60)
    pick = next(r for r in rows if r.endswith("/wallet/wallet"))[5]
    tui.send(pick)
    open_selected_wallet_menu(tui, drawn)
    ip = os.path.join(sb.mounts[0], "apps", "wallet")
    tui.send("2")
    rows = wait_for_status(
        tui, "  APPLICATION STATUS= APPLICATION STATUS= Installation Complete, Awating user input")
    assert rows[2] == " CURRENT PATH= " + ip
    assert_installed(sb, ip)
    desktop = os.path.join(sb.desktop, "Corvane wallet.desktop")
    with open(desktop, "rb") as f:
        content = f.read()
    assert content.startswith(b" \n[Desktop Entry]\n")
    assert ("Icon=%s/wallet.ico\n" % ip).encode() in content
    assert os.path.isfile(os.path.join(sb.home, ".local/share/applications/Corvane wallet.desktop"))
    assert not os.path.exists(os.path.join(sb.desktop, "wallet.desktop"))
    # The menu goes on: "0" leaves to the top menu.
    tui.send("0")
    tui.wait_for(lambda rows: rows[0].startswith(TOP_HEADER))


def test_variant_d_installs_into_a_typed_folder_with_the_launcher_for_all_users(tui):
    sb = tui.sb
    tui.start()
    tui.send("5")
    rows = tui.wait_for(MENU_LAST_ENTRY)
    assert rows[2] == " CURRENT PATH= " + sb.home  # the top menu's default
    tui.send("1")
    tui.wait_for("Please specify the target location = ")
    tui.type_line(os.path.join(sb.mounts[1], "apps"))
    ip = os.path.join(sb.mounts[1], "apps", "wallet")
    tui.wait_for(" CURRENT PATH= " + ip)
    tui.send("3")
    tui.answer_plan("y")
    wait_for_status(tui, "  APPLICATION STATUS= Installation Complete, Awating user input")
    assert_installed(sb, ip)
    # Root installs the launcher for all users from a private copy, owned by root, mode 0644;
    # the desktop launcher it was written as is gone (moved).
    assert not os.path.exists(os.path.join(sb.desktop, "wallet.desktop"))
    assert not os.path.exists(os.path.join(sb.desktop, "Corvane wallet.desktop"))
    installs = [e for e in sb.log("sudo") if e.get("command", [])[:1] == ["install"]]
    assert [e["command"][1:7] for e in installs] == [["-o", "root", "-g", "root", "-m", "0644"]]
    assert installs[0]["command"][-1] == "/usr/share/applications/Corvane wallet.desktop"
    assert installs[0]["stdin"] == "secret\n"
    content = sb.log("install")[0]["source_content"]
    assert ("Icon=%s/wallet.ico\n" % ip) in content and ("%s/wallet\n" % ip) in content
