# The release against real Debian systems: the static binary of dist/ starts and reaches its
# password prompt in Debian 11, 12 and 13 roots (debootstrap minbase, cached as tarballs by
# scripts/debian-root.sh), and the package of dist/ installs with apt-get on minbase Debian 12
# and 13 roots, from what the root's apt cache holds (the roots are made with the package's
# Depends and Recommends fetched, not installed: the tests have no network), and runs there:
# start-up and the storage survey find every program they run, and the packaged keyring
# verifies the signed sample archive. Each root is a throwaway copy in the test's own
# folder, entered with chroot inside new mount, PID and network namespaces, as an ordinary
# user, in a private tmux server of 80x24. Needs root; run scripts/release.sh first (as
# scripts/test.sh does: with --keyring of a throwaway key whose GNUPGHOME it names in
# CORVANE_RELEASE_GNUPGHOME).
import os
import re
import shlex
import shutil
import stat
import subprocess
import sys
import tempfile
import time

import pytest

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(REPO, "tests", "sandbox"))
sys.path.insert(0, os.path.join(REPO, "tests", "realsys"))
from bed import (ARCHIVE_TOPS, Bed, build_archive, read_cmake_cache,  # noqa: E402
                 ARCHIVE_PASSWORD, SECOND_ACCOUNT, SECOND_PASSWORD)
from sandbox import Sandbox  # noqa: E402
from tmux_session import PASSWORD_PROMPT, TOP_HEADER, TmuxSession  # noqa: E402

DIST = os.path.join(REPO, "dist")
BINARY = os.path.join(DIST, "installWalletForLinux")
# The packages of the roots the real-system tests use, so that one cached root serves both.
REALSYS_PACKAGES = ["sudo", "wget", "gpgv", "procps", "passwd", "adduser", "desktop-file-utils",
                    "libasan8", "libubsan1"]
PROMPT = "PLEASE ENTER YOUR USER PASSWORD"
USER_ID = 1000
PATH = "/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin"
USER_PATH = "/usr/local/bin:/usr/bin:/bin:/usr/games"  # an ordinary user's, as login sets it
TESTER, TESTER_PASSWORD = "tester", "Tr0ut-basin"
STATE = "/home/%s/.local/state/corvane-installer" % TESTER
VERIFIED = "APPLICATION STATUS= archive verified (signed SHA256SUMS)"

pytestmark = pytest.mark.skipif(os.geteuid() != 0, reason="chroot needs root")


def project_version():
    with open(os.path.join(REPO, "CMakeLists.txt"), encoding="utf-8") as f:
        return re.search(r"project\(\S+ VERSION (\S+)", f.read()).group(1)


def package_file():
    deb = os.path.join(DIST, "corvane-installer_%s_amd64.deb" % project_version())
    if not os.path.exists(deb):
        pytest.fail("no package at %s: run scripts/release.sh first" % deb)
    return deb


def control_field(deb, field):
    r = subprocess.run(["dpkg-deb", "-f", deb, field], capture_output=True, text=True,
                       check=True, timeout=60)
    return r.stdout.strip()


def related_names(deb):
    """Every package name in the package's Depends and Recommends (each alternative)."""
    names = []
    for field in ("Depends", "Recommends"):
        for part in re.split(r"[,|]", control_field(deb, field)):
            name = re.sub(r"\(.*?\)|\[.*?\]|:\S+", "", part).strip()
            if name:
                names.append(name)
    return sorted(set(names))


def debian_root(suite, packages=(), fetch=()):
    """The cached root tarball; skips (with the reason) when the archive cannot be reached."""
    argv = [os.path.join(REPO, "scripts", "debian-root.sh"), suite, *packages]
    if fetch:
        argv += ["--fetch", *fetch]
    r = subprocess.run(argv, capture_output=True, text=True, timeout=1800)
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


STATIC_ROOTS = [("bullseye", ()), ("bookworm", REALSYS_PACKAGES), ("trixie", REALSYS_PACKAGES)]


@pytest.mark.parametrize("rootfs", STATIC_ROOTS, indirect=True,
                         ids=["debian11", "debian12", "debian13"])
def test_static_binary_reaches_the_password_prompt(rootfs):
    sb, root = rootfs
    folder = os.path.join(root, "opt", "corvane")
    os.makedirs(folder)
    subprocess.run(["cp", BINARY, folder], check=True)
    reaches_password_prompt(sb, root, "/opt/corvane/installWalletForLinux")


# ------------------------------------------------------------ the package on a minbase root

class Installed:
    """A minbase root of one suite with the package installed by apt-get from the root's own
    cache, a user with sudo rights, and the archive servers' names on loopback: made once per
    suite, each test runs on a fresh overlay of it (a bed of the real-system tests)."""

    def __init__(self, suite, work):
        self.deb = package_file()
        self.work = work
        self.root = os.path.join(work, "root")
        os.makedirs(self.root)
        tarball = debian_root(suite, fetch=related_names(self.deb))
        subprocess.run(["tar", "-C", self.root, "--numeric-owner", "-xzf", tarball],
                       check=True, timeout=300)
        self.deploy = read_cmake_cache(os.path.join(REPO, "build", "dist"))
        with open(os.path.join(self.root, "etc/hosts"), "w") as f:
            f.write("127.0.0.1 localhost %s %s %s\n" % (
                os.uname().nodename, self.deploy["CORVANE_ARCHIVE_SERVER_HOST"],
                self.deploy["CORVANE_SECOND_SERVER_HOST"]))
        shutil.copy(self.deb, os.path.join(self.root, "root"))
        bed = Bed(self.root, work, overlay=False)
        try:
            # Everything must come from the root's cache: the bed has no network.
            self.apt = bed.run("cd /root && DEBIAN_FRONTEND=noninteractive "
                               "apt-get install -y ./%s"
                               % os.path.basename(self.deb), timeout=600, check=False)
            assert self.apt.returncode == 0, self.apt.stdout + self.apt.stderr
            bed.run(" && ".join([
                "useradd -m -s /bin/bash %s" % TESTER,
                "echo '%s ALL=(ALL:ALL) ALL' > /etc/sudoers.d/corvane-tester" % TESTER,
                "chmod 0440 /etc/sudoers.d/corvane-tester",
                "printf '%%s\\n' %s | chpasswd" % shlex.quote(
                    "%s:%s" % (TESTER, TESTER_PASSWORD))]))
        finally:
            bed.close()


@pytest.fixture(scope="module")
def installed_roots():
    made = {}
    work = tempfile.mkdtemp(prefix="corvane-release-",
                            dir=os.environ.get("CORVANE_RS_WORK", "/var/tmp"))
    errors = {}

    def get(suite):
        if suite in errors:
            raise errors[suite]
        if suite not in made:
            try:
                made[suite] = Installed(suite, os.path.join(work, suite))
            except BaseException as e:
                errors[suite] = e
                raise
        return made[suite]

    yield get
    shutil.rmtree(work, ignore_errors=True)


@pytest.fixture
def installed_bed(installed_roots, request):
    base = installed_roots(request.param)
    bed = Bed(base.root, base.work)
    try:
        bed.run("mkdir -p /tmp/corvane-run && chmod 1777 /tmp/corvane-run")
        yield base, bed
    finally:
        bed.close()


class _RunDir:
    def __init__(self, run_dir):
        self.run_dir = run_dir


class BedSession(TmuxSession):
    """A tmux pane with an interactive sh of the user inside the bed."""

    def __init__(self, bed, user=TESTER):
        self.bed = bed
        run_dir = "/tmp/corvane-run/" + user
        bed.run("mkdir -p %s && chown %s: %s" % (run_dir, user, run_dir))
        env = {"HOME": "/home/" + user, "USER": user, "LOGNAME": user, "PATH": USER_PATH,
               "LANG": "C.UTF-8", "TERM": "screen", "SHELL": "/bin/sh", "PS1": "$ "}
        argv = bed.enter(user, env) + ["/bin/sh", "-i"]
        super().__init__(_RunDir(bed.path(run_dir)), pane_command="exec " + shlex.join(argv))

    def start_installed(self, timeout=30.0):
        """Starts the packaged installer from the user's home folder and brings it to its
        top menu through the password prompt."""
        self.type_line("cd && installWalletForLinux; echo $? > /tmp/corvane-run/%s/exit-status"
                       % TESTER)
        deadline = time.monotonic() + 10
        while self.pid is None and time.monotonic() < deadline:
            for pid in self.bed.members():
                try:
                    with open("/proc/%d/comm" % pid) as f:
                        if f.read().strip() == "installWalletForLinux"[:15]:
                            self.pid = pid
                except OSError:
                    continue
            time.sleep(0.02)
        assert self.pid, "the packaged installer did not start\n" + self.screen_text()
        self.wait_for(PASSWORD_PROMPT, timeout, what="the password prompt")
        self.type_line(TESTER_PASSWORD)
        return self.wait_for(lambda rows: rows[0].startswith(TOP_HEADER), timeout,
                             what="the top menu")


INSTALLED_SUITES = pytest.mark.parametrize("installed_bed", ["bookworm", "trixie"],
                                           indirect=True, ids=["debian12", "debian13"])

# What the installer runs, and as whom: each must be found once the package's dependencies
# are in (the packaged program adds no folder to PATH; sudo adds the sbin folders).
PROGRAMS = [("sudo", False), ("wget", False), ("gpgv", False), ("lsb_release", False),
            ("udevadm", False), ("skill", False), ("sensible-pager", False), ("less", False),
            ("timeout", False), ("find", False), ("su", False), ("hdparm", True),
            ("usermod", True), ("apt-get", True), ("dpkg", True), ("install", True)]


@INSTALLED_SUITES
def test_package_installs_with_apt_get_on_minbase_and_finds_every_program_it_runs(installed_bed):
    base, bed = installed_bed
    version = project_version()
    doc = "/usr/share/doc/corvane-installer"
    for path in ("/usr/bin/installWalletForLinux", "/usr/share/man/man1/installWalletForLinux.1.gz",
                 doc + "/README.md", doc + "/copyright", doc + "/changelog.gz",
                 doc + "/examples/install-wallet.yml"):
        assert os.path.isfile(bed.path(path)), path
    # The guide for users, not the developer README of the source tree.
    with open(bed.path(doc + "/README.md"), encoding="utf-8") as f:
        guide = f.read()
    assert "## Removing the package" in guide and "scripts/test.sh" not in guide
    r = bed.run("dpkg-query -W -f '${Depends}|${Version}' corvane-installer")
    assert r.stdout == "%s|%s" % (control_field(base.deb, "Depends"), version)

    missing = [name for name, as_root in PROGRAMS
               if bed.run("command -v %s" % name, user=None if as_root else TESTER,
                          check=False).returncode != 0]
    assert missing == []

    # Start-up (the system facts, sudo) and the storage survey with the wallet scan (top menu
    # key 4, which draws the top menu again when done), then key 0.
    tui = BedSession(bed)
    try:
        tui.start_installed()
        drawn = tui.count_output(TOP_HEADER)
        tui.send("4")
        tui.wait_output_count(TOP_HEADER, drawn + 1, timeout=120)
        tui.send("0")
        tui.wait_for(lambda rows: os.path.exists(tui.status_file), timeout=20,
                     what="the end of the program")
        said = tui.output()
    finally:
        tui.close()
    texts = {"the terminal": said.decode("utf-8", "replace")}
    for folder, _, files in os.walk(bed.path(STATE)):
        for name in files:
            if name in ("runlog.txt", "tempout.txt"):
                with open(os.path.join(folder, name), errors="replace") as f:
                    texts[os.path.join(folder, name)] = f.read()
    assert any(k.endswith("/temp/tempout.txt") for k in texts), sorted(texts)
    assert {k: v for k, v in texts.items() if "not found" in v} == {}


def sign_with_release_key(ftp):
    """SHA256SUMS of each archive folder signed with the key whose public half the package
    carries (test.sh made it and gave it to release.sh)."""
    gnupg = os.environ.get("CORVANE_RELEASE_GNUPGHOME")
    if not gnupg:
        pytest.skip("the release was not built with a throwaway key "
                    "(CORVANE_RELEASE_GNUPGHOME; scripts/test.sh makes one)")
    gpg = ["gpg", "--homedir", gnupg, "--batch", "--quiet", "--no-tty", "--passphrase", "",
           "--pinentry-mode", "loopback"]
    for top in ARCHIVE_TOPS:
        here = os.path.join(ftp, top)
        names = sorted(os.path.relpath(os.path.join(d, f), here)
                       for d, _, fs in os.walk(here) for f in fs)
        sums = subprocess.run(["sha256sum", "--"] + names, cwd=here, capture_output=True,
                              check=True, timeout=60).stdout
        with open(os.path.join(here, "SHA256SUMS"), "wb") as f:
            f.write(sums)
        subprocess.run(gpg + ["--detach-sign", "-o", os.path.join(here, "SHA256SUMS.gpg"),
                              os.path.join(here, "SHA256SUMS")], check=True, timeout=60)


@INSTALLED_SUITES
def test_packaged_keyring_verifies_the_signed_sample_archive(installed_bed):
    import json
    base, bed = installed_bed
    keyring = bed.path("/usr/share/corvane-installer/archive-keyring.gpg")
    server = os.path.join(bed.work, "server")
    build_archive(os.path.join(server, "ftp"))
    sign_with_release_key(os.path.join(server, "ftp"))
    assert os.path.isfile(keyring), "the package carries no keyring"
    os.makedirs(os.path.join(server, "config"))
    with open(os.path.join(server, "config", "config.json"), "w") as f:
        json.dump({"ftp": {"accounts": [
            {"user": base.deploy["CORVANE_ARCHIVE_SERVER_ACCOUNT"], "password": ARCHIVE_PASSWORD},
            {"user": SECOND_ACCOUNT, "password": SECOND_PASSWORD}]}}, f)
    bed.start_ftp(server)

    tui = BedSession(bed)
    try:
        tui.start_installed()
        tui.send("1")
        tui.wait_for(lambda rows: "PRESS 2" in "".join(rows), what="the installation menu")
        tui.send("2")
        tui.answer_plan("y", timeout=60)
        tui.wait_output_count(VERIFIED, 1, timeout=120)
    finally:
        tui.close()
