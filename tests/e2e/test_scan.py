# End-to-end checks of the wallet scan (top menu key "4") on the real binary in the sandbox:
# the df shim lists two mount folders inside the sandbox (plus a snap and a tmpfs line), the
# selection screen, the picked path, the "none" branch, and the system profile file.
import os

from tmux_session import TOP_HEADER

SCAN_TIMEOUT = 60  # each listed partition costs the capture's 2 s pause
PROFILE_NAME = "installWalletForLinux.cfg"


def make_wallet(folder):
    """A wallet installation: folder/wallet (the folder) holding the program wallet."""
    os.makedirs(os.path.join(folder, "wallet"), exist_ok=True)
    path = os.path.join(folder, "wallet", "wallet")
    with open(path, "w") as f:
        f.write("#!/bin/sh\n")
    os.chmod(path, 0o755)
    return path


def listed_paths(rows):
    """{number: path} of the selection screen's lines "   #=i  PATH=path"."""
    out = {}
    for r in rows:
        if r.startswith("   #="):
            number, _, path = r[5:].partition("  PATH=")
            out[int(number)] = path.rstrip()
    return out


def scan(tui):
    """Presses "4" at the top menu; returns the number of top-menu drawings before it."""
    tui.wait_for(lambda rows: rows[0].startswith(TOP_HEADER), what="the top menu")
    drawn = tui.count_output(TOP_HEADER)
    tui.send("4")
    return drawn


def open_selected_wallet_menu(tui, drawn):
    """Waits for the top menu drawn again after the scan, then presses "5"."""
    tui.wait_output_count(TOP_HEADER, drawn + 1, SCAN_TIMEOUT)
    tui.send("5")
    # The menu's lines come first, its status at row 21 right after: wait for both.
    return tui.wait_for(
        lambda rows: rows[11] == " > PRESS 3.. TO FULLY INSTALL THE CORVANE WALLET FOR ALL USERS"
        and rows[20].startswith("  APPLICATION STATUS= "),
        what="the selected-wallet menu with its status")


def status_at_row_21(rows):
    """The status printed from row 21, column 2 (a long one wraps onto row 22)."""
    return (rows[20] + rows[21]).rstrip()


def profile(sb):
    with open(os.path.join(sb.program_dir, PROFILE_NAME), "rb") as f:
        return f.read()


def profile_keys(sb):
    keys = {}
    for record in profile(sb).split(b"\r\n\n"):
        if record.strip():
            k, _, v = record.decode().partition("=")
            keys[k] = v
    return keys


def test_several_wallets_are_listed_redrawn_and_picked(tui):
    sb = tui.sb
    make_wallet(os.path.join(sb.mounts[0], "apps"))
    make_wallet(os.path.join(sb.mounts[1], "b"))
    tui.start()
    drawn = scan(tui)
    rows = tui.wait_for(" FOUND 4 WALLETS", SCAN_TIMEOUT)
    assert rows[0][:77].rstrip() == " FOUND 4 WALLETS"  # the spinner turns in columns 78-80
    paths = listed_paths(rows)
    assert sorted(paths.values()) == sorted([
        os.path.join(sb.mounts[0], "apps", "wallet"),
        os.path.join(sb.mounts[0], "apps", "wallet", "wallet"),
        os.path.join(sb.mounts[1], "b", "wallet"),
        os.path.join(sb.mounts[1], "b", "wallet", "wallet"),
    ])
    assert rows[2:6] == ["   #=%d  PATH=%s" % (i, paths[i]) for i in range(1, 5)]
    assert rows[6:10] == [" ", " > PRESS 1-4 TO SELECT A WALLET", " ", " > PRESS 0 TO EXIT"]

    # "5" is above the count: the list is drawn again and nothing is picked.
    drawn = tui.count_output(" FOUND 4 WALLETS")
    tui.send("5")
    tui.wait_output_count(" FOUND 4 WALLETS", drawn + 1)
    assert listed_paths(tui.rows()) == paths

    pick = next(i for i, p in paths.items() if p.endswith("/wallet/wallet"))
    tui.send(str(pick))
    rows = open_selected_wallet_menu(tui, drawn)
    folder = paths[pick][: -len("/wallet")]
    assert rows[2] == " CURRENT PATH= " + folder
    assert status_at_row_21(rows) == "  APPLICATION STATUS= SELECTED WALLET AT " + folder


def test_no_wallet_selects_a_new_path_and_a_later_empty_scan_keeps_the_pick(tui):
    sb = tui.sb
    tui.start()
    rows = open_selected_wallet_menu(tui, scan(tui))
    assert rows[2] == " CURRENT PATH= " + sb.home + "/wallet"
    assert status_at_row_21(rows) == ("  APPLICATION STATUS= NO WALLETS FOUND, NEW INSTALLATION"
                                      " PATH SELECTED")
    tui.send("0")

    # One wallet (a program named wallet in a folder of another name): shown, and picked
    # with its key.
    os.makedirs(os.path.join(sb.mounts[1], "only"))
    wallet = os.path.join(sb.mounts[1], "only", "wallet")
    open(wallet, "w").close()
    drawn = scan(tui)
    rows = tui.wait_for(lambda rows: rows[0][:77].rstrip() == " FOUND 1 WALLET", SCAN_TIMEOUT,
                        what="the one-wallet selection screen")
    assert listed_paths(rows) == {1: wallet}
    tui.send("1")
    rows = open_selected_wallet_menu(tui, drawn)
    assert rows[2] == " CURRENT PATH= " + os.path.dirname(wallet)
    tui.send("0")

    # The wallet is gone: the earlier pick stays selected.
    os.unlink(wallet)
    rows = open_selected_wallet_menu(tui, scan(tui))
    folder = os.path.join(sb.mounts[1], "only")
    assert rows[2] == " CURRENT PATH= " + folder
    assert status_at_row_21(rows) == "  APPLICATION STATUS= SELECTED WALLET AT " + folder


def test_profile_file_holds_the_survey_sorted_and_a_rerun_leaves_no_stale_keys(tui):
    sb = tui.sb
    nvme_mount = os.path.join(sb.root, "media", "nvme")
    os.makedirs(nvme_mount)
    sb.set_df(rows=[
        ("udev", "7.8G", "0", "7.8G", "0%", "/dev"),
        ("/dev/nvme0n1p2", "458G", "113G", "323G", "26%", nvme_mount),
        ("/dev/sda1", "1.8T", "1.7T", "9.5G", "100%", sb.mounts[0]),
        ("tmpfs", "7.9G", "90M", "7.8G", "2%", "/dev/shm"),
        ("/dev/loop0", "128K", "128K", "0", "100%", "/snap/bare/5"),
        ("/dev/sdb1", "29G", "1.2G", "28G", "5%", sb.mounts[1]),
    ])
    tui.start()
    open_selected_wallet_menu(tui, scan(tui))

    text = profile(sb)
    records = [r for r in text.split(b"\r\n\n")]
    assert records[-1] == b"" and all(r.strip() for r in records[:-1])
    assert records[:-1] == sorted(records[:-1])
    keys = profile_keys(sb)
    part = "storageDirectAccessScsiDriveMountedPartitionNumber"
    drive = "storageDirectAccessScsiDriveDetectedNumber"
    expected = {
        drive + "1DriveName": "nvme0n1",
        drive + "2DriveName": "sda",
        drive + "2SerialNumber": "S3Z2NB0K612345L",
        drive + "2TotalSpace": "476GB",
        drive + "2BusType": "ata",
        drive + "3DriveName": "sdb",
        drive + "3UsbSpeed": "480M",
        drive + "3UsbVersion": "2.0",
        drive + "3BusType": "usb",
        "storageNumberOfDirectAccessScsiDrivesDetected": "3",
        "storageNumberOfDirectAccessScsiDriveMountedPartitionsDetected": "4",
    }
    rows = [("n1p2", "n1p", "/dev/nvme0n1p2", "458000", "113000", "323000", "26", nvme_mount),
            ("sda1", "sda", "/dev/sda1", "1800000", "1700000", "9000", "100", sb.mounts[0]),
            ("mpfs", "mpf", "tmpfs", "7000", "90", "7000", "2", "/dev/shm"),
            ("sdb1", "sdb", "/dev/sdb1", "29000", "1000", "28000", "5", sb.mounts[1])]
    fields = ("PartitionName", "DriveName", "SystemPath", "MegabytesSize", "MegabytesUsed",
              "MegabytesAvailable", "PercentUsed", "MountPath")
    for n, values in enumerate(rows, start=1):
        for field, value in zip(fields, values):
            expected["%s%d%s" % (part, n, field)] = value
    assert keys == expected

    # The elevated probes got the password on stdin, never on the command line.
    for entry in sb.log("sudo"):
        if entry.get("command", [])[:1] in (["df"], ["hdparm"]):
            assert entry["stdin"] == "secret\n"
    assert [e["argv"][-1] for e in sb.log("hdparm")] == ["/dev/sda"] * 2 + ["/dev/sdb"] * 2

    # Fewer partitions on the next scan: nothing of the first one stays behind.
    tui.send("0")
    sb.set_df(rows=[("/dev/sdb1", "29G", "1.2G", "28G", "5%", sb.mounts[1])])
    open_selected_wallet_menu(tui, scan(tui))
    keys = profile_keys(sb)
    assert keys["storageNumberOfDirectAccessScsiDriveMountedPartitionsDetected"] == "1"
    assert keys["storageNumberOfDirectAccessScsiDrivesDetected"] == "1"
    assert sorted(k for k in keys if k.startswith(part)) == sorted(part + "1" + f for f in fields)
    assert sorted(k for k in keys if k.startswith(drive)) == sorted(
        drive + "1" + f for f in ("DriveName", "UsbSpeed", "UsbVersion", "BusType"))
