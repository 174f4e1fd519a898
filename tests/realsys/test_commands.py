# The install command on a real Debian system: run by root for tester (--user), and by tester
# with the password on standard input; either way every file it makes in tester's home is
# tester's, the archive's packages are installed by the real dpkg, and the desktop launcher
# starts the installed wallet.
import json
import os
import shlex
import subprocess

import pytest

from bed import (DEB_FILES, TESTER, TESTER_PASSWORD, desktop_exec, package_states, snapshot,
                 user_ids, wallet_runs)

HOME = "/home/" + TESTER
PROGRAM = HOME + "/installer/installWalletForLinux"
LAUNCHER = HOME + "/Desktop/Corvane wallet.desktop"



@pytest.mark.parametrize("how", ["root --user tester", "tester --password-stdin"])
def test_install_command_makes_only_the_users_files_and_the_launcher_starts_the_wallet(bed, how):
    before = snapshot(bed, HOME)
    if how.startswith("root"):
        r = bed.run("cd / && %s install --user %s --no-packages" % (PROGRAM, TESTER),
                    check=False, timeout=300)
    else:
        r = bed.run("cd && %s install --password-stdin --no-packages" % PROGRAM, user=TESTER,
                    check=False, timeout=300, stdin=TESTER_PASSWORD + "\n")
    assert r.returncode == 0, r.stdout + r.stderr
    assert "[ ok ] install the archive's packages" in r.stdout.splitlines()
    assert TESTER_PASSWORD not in r.stdout + r.stderr

    uid, gid = user_ids(bed, TESTER)
    after = snapshot(bed, HOME)
    made = {p: e for p, e in after.items() if before.get(p) != e}
    for path in (HOME + "/wallet/wallet", HOME + "/wallet/wallet.cfg", LAUNCHER):
        assert path in made, path
    foreign = sorted(p for p, e in made.items() if (e[1], e[2]) != (uid, gid))
    assert not foreign, foreign
    assert not os.path.exists(bed.path(HOME + "/installer/sudoPassword.txt"))
    archive = package_states(bed, [d.split("_")[0] for d in DEB_FILES])
    assert set(archive.values()) == {"install ok installed"}, archive

    with open(bed.path(LAUNCHER), encoding="utf-8") as f:
        folder, argv = desktop_exec(f.read())
    runs = wallet_runs(bed)
    ran = bed.run("cd %s && exec %s" % (shlex.quote(folder or HOME), shlex.join(argv)),
                  user=TESTER, check=False, timeout=30)
    assert ran.returncode == 0, (argv, ran.stderr)
    assert wallet_runs(bed)[len(runs):] == ["sample wallet ran: %s/wallet/wallet " % HOME]


REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
PLAYBOOK = os.path.join(REPO, "docs", "examples", "install-wallet.yml")
CONNECTIONS = os.path.join(REPO, "tests", "realsys", "ansible", "connection_plugins")


def test_the_ansible_example_installs_for_the_user_and_a_second_run_changes_nothing(bed, tmp_path):
    """The playbook as shipped, played by Debian's ansible-playbook from outside into the bed
    (its connection: the bed's own way in, as root), the program at its place in the bed."""
    enter = bed.enter(None, {"PATH": "/usr/sbin:/usr/bin:/sbin:/bin", "HOME": "/root",
                             "LANG": "C.UTF-8"})
    inventory = tmp_path / "hosts.ini"
    inventory.write_text("[desktops]\ndesktop1 ansible_connection=bed "
                         "ansible_python_interpreter=/usr/bin/python3 bed_enter=%s\n"
                         % shlex.quote(json.dumps(enter)))
    env = dict(os.environ, ANSIBLE_CONNECTION_PLUGINS=CONNECTIONS, ANSIBLE_NOCOLOR="1",
               ANSIBLE_HOST_KEY_CHECKING="False", ANSIBLE_LOCAL_TEMP=str(tmp_path / "local"),
               ANSIBLE_REMOTE_TEMP="/root/.ansible/tmp")
    play = ["ansible-playbook", "-i", str(inventory), PLAYBOOK, "-e", "wallet_user=" + TESTER,
            "-e", "installer=" + PROGRAM, "-e", "wallet_packages=false"]
    before = snapshot(bed, HOME)
    r = subprocess.run(play, env=env, capture_output=True, text=True, timeout=300)
    assert r.returncode == 0, r.stdout + r.stderr
    assert "[ ok ] receipt: %s/wallet/wallet.receipt" % HOME in r.stdout, r.stdout
    uid, gid = user_ids(bed, TESTER)
    made = {p: e for p, e in snapshot(bed, HOME).items() if before.get(p) != e}
    assert HOME + "/wallet/wallet" in made and LAUNCHER in made
    assert not sorted(p for p, e in made.items() if (e[1], e[2]) != (uid, gid))
    archive = package_states(bed, [d.split("_")[0] for d in DEB_FILES])
    assert set(archive.values()) == {"install ok installed"}, archive
    # The receipt stands: the play has nothing to do.
    again = subprocess.run(play, env=env, capture_output=True, text=True, timeout=300)
    assert again.returncode == 0 and "changed=0" in again.stdout, again.stdout + again.stderr


def test_without_root_rights_at_hand_the_install_command_begins_nothing(bed):
    before = snapshot(bed, HOME)
    r = bed.run("cd && %s install --no-packages" % PROGRAM, user=TESTER, check=False,
                timeout=120)
    assert (r.returncode, r.stdout) == (1, ""), r.stdout + r.stderr
    assert "give it with --password-stdin" in r.stderr
    made = {p for p, e in snapshot(bed, HOME).items() if before.get(p) != e}
    assert not [p for p in made if not p.startswith(HOME + "/installer/")], made
