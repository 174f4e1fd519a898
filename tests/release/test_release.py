# The release against real Debian systems: the static binary of dist/ starts and reaches its
# password prompt in a Debian 11 and a Debian 12 root (debootstrap minbase, cached as
# tarballs by scripts/debian-root.sh), and the package of dist/ installs there with apt-get.
# Each root is a throwaway copy in the test's sandbox folder, entered with chroot inside new
# mount, PID and network namespaces (no network at all), as an ordinary user (uid 1000), in
# a private tmux server of 80x24. Needs root; run scripts/release.sh first.
import os
import re
import shlex
import stat
import subprocess
import sys

import pytest

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(REPO, "tests", "sandbox"))
from sandbox import Sandbox  # noqa: E402
from tmux_session import TmuxSession  # noqa: E402

DIST = os.path.join(REPO, "dist")
BINARY = os.path.join(DIST, "installWalletForLinux")
# The packages of the bookworm root the real-system tests use, so that one cached root serves
# both: sudo and wget are what the package depends on, so apt-get needs no download.
BOOKWORM_PACKAGES = ["sudo", "wget", "procps", "passwd", "adduser", "desktop-file-utils",
                     "libasan8", "libubsan1"]
PROMPT = "PLEASE ENTER YOUR USER PASSWORD"
USER_ID = 1000
PATH = "/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin"

pytestmark = pytest.mark.skipif(os.geteuid() != 0, reason="chroot needs root")


def project_version():
    with open(os.path.join(REPO, "CMakeLists.txt"), encoding="utf-8") as f:
        return re.search(r"project\(\S+ VERSION (\S+)", f.read()).group(1)


def debian_root(suite, packages=()):
    """The cached root tarball; skips (with the reason) when the archive cannot be reached."""
    r = subprocess.run([os.path.join(REPO, "scripts", "debian-root.sh"), suite, *packages],
                       capture_output=True, text=True, timeout=1800)
    if r.returncode == 3:
        pytest.skip("no Debian %s root: %s" % (suite, r.stderr.strip()))
    assert r.returncode == 0, r.stderr
    return r.stdout.strip().splitlines()[-1]


@pytest.fixture
def rootfs(request):
    """An unpacked throwaway root of the suite given as the test's parameter, with a home
    folder for uid 1000, inside a sandbox folder that is removed afterwards."""
    suite, packages = request.param
    if not os.path.exists(BINARY):
        pytest.fail("no release binary at %s: run scripts/release.sh first" % BINARY)
    tarball = debian_root(suite, packages)
    with Sandbox.up(ftp=False, binary="", copy_binary=False) as sb:
        root = os.path.join(sb.root, "rootfs")
        os.mkdir(root)
        subprocess.run(["tar", "-xzf", tarball, "-C", root, "--numeric-owner"], check=True)
        home = os.path.join(root, "home", "tester")
        os.makedirs(home)
        os.chown(home, USER_ID, USER_ID)
        yield sb, root


def inside(root, words, user=None):
    """The command line that runs words in the root: own mount, PID and network namespaces
    (the root's /proc mounted there and gone with them), optionally as uid 1000."""
    as_user = ["--userspec=%d:%d" % (USER_ID, USER_ID)] if user else []
    chroot = ["/usr/sbin/chroot"] + as_user + [root]
    env = ["/usr/bin/env", "-i", "HOME=/home/tester", "USER=tester", "LOGNAME=tester",
           "TERM=screen", "PATH=" + PATH, "DEBIAN_FRONTEND=noninteractive"]
    return (["/usr/bin/unshare", "--mount", "--net", "--pid", "--fork", "--kill-child",
             "--mount-proc=" + os.path.join(root, "proc")] + chroot + env + words)


def reaches_password_prompt(sb, root, program):
    """Runs program in the root as uid 1000 in tmux; checks that it reaches the password
    prompt and keeps its files in the user's state folder, not beside itself."""
    tui = TmuxSession(sb)
    try:
        tui.type_line(" ".join(shlex.quote(w) for w in inside(root, [program], user=True)))
        rows = tui.wait_for(PROMPT, timeout=30)
        assert any(PROMPT in r for r in rows)
        state = os.path.join(root, "home", "tester", ".local", "state", "corvane-installer")
        st = os.stat(state)
        assert (stat.S_IMODE(st.st_mode), st.st_uid) == (0o700, USER_ID)
        folder = os.path.dirname(root + program)
        assert not [n for n in os.listdir(folder) if n.endswith((".txt", ".cfg")) or n == "temp"]
    finally:
        tui.close()


@pytest.mark.parametrize("rootfs", [("bullseye", ())], indirect=True, ids=["debian11"])
def test_static_binary_reaches_the_password_prompt_on_debian_11(rootfs):
    sb, root = rootfs
    folder = os.path.join(root, "opt", "corvane")
    os.makedirs(folder)
    subprocess.run(["cp", BINARY, folder], check=True)
    reaches_password_prompt(sb, root, "/opt/corvane/installWalletForLinux")


@pytest.mark.parametrize("rootfs", [("bookworm", BOOKWORM_PACKAGES)], indirect=True,
                         ids=["debian12"])
def test_package_installs_with_apt_get_and_runs_on_debian_12(rootfs):
    sb, root = rootfs
    version = project_version()
    deb = "corvane-installer_%s_amd64.deb" % version
    assert os.path.exists(os.path.join(DIST, deb)), "run scripts/release.sh first"
    subprocess.run(["cp", os.path.join(DIST, deb), os.path.join(root, "tmp")], check=True)
    r = subprocess.run(inside(root, ["apt-get", "install", "-y", "/tmp/" + deb]),
                       capture_output=True, text=True, timeout=300)
    assert r.returncode == 0, r.stdout + r.stderr

    doc = os.path.join(root, "usr", "share", "doc", "corvane-installer")
    for path in (os.path.join(root, "usr", "bin", "installWalletForLinux"),
                 os.path.join(root, "usr", "share", "man", "man1", "installWalletForLinux.1.gz"),
                 os.path.join(doc, "README.md"), os.path.join(doc, "copyright")):
        assert os.path.isfile(path), path
    r = subprocess.run(inside(root, ["dpkg-query", "-W", "-f", "${Depends}|${Version}",
                                     "corvane-installer"]),
                       capture_output=True, text=True, timeout=60, check=True)
    assert r.stdout == "sudo, wget|%s" % version
    r = subprocess.run(inside(root, ["installWalletForLinux", "--version"], user=True),
                       capture_output=True, text=True, timeout=60)
    assert (r.returncode, r.stdout) == (0, "installWalletForLinux %s\n" % version)

    reaches_password_prompt(sb, root, "/usr/bin/installWalletForLinux")
