# A throwaway Debian system in which the real installer meets the real sudo, apt-get, dpkg, su,
# skill and find as an ordinary user. The prepared root (users, the local package repository,
# the archive host names) is made once per test run from the cached debootstrap tarball; each
# test gets a fresh copy of it (an overlay) in a mount and PID namespace of its own, inside a
# network namespace that has only loopback, where the project's FTP server plays the archive
# servers. Everything a bed mounts or starts lives in its namespaces and ends with them.
import hashlib
import os
import shlex
import stat
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(REPO, "tests", "sandbox"))
import package_list  # noqa: E402
from sandbox import (ARCHIVE_PASSWORD, ARCHIVE_TOPS, DEB_FILES, PROGRAM_NAME,  # noqa: E402
                     SECOND_ACCOUNT, SECOND_PASSWORD, descendants, read_cmake_cache,
                     tiny_ico)

TESTER = "tester"
TESTER_PASSWORD = "Tr0ut-basin"
NEWCOMER = "newbie"  # an ordinary user without sudo rights (first-time setup)
NEWCOMER_PASSWORD = "newbie-pw"
ROOT_PASSWORD = "Root-cedar7"
HOST_PATH = "/usr/local/bin:/usr/bin:/bin:/usr/games"
WALLET_RUNS = "/tmp/wallet-runs.log"  # the sample wallet program appends here when it runs
RUN_DIR = "/tmp/corvane-run"  # the pane shell's status and stty files
ASAN_DIR = "/tmp/corvane-asan"
REPO_DIR = "/srv/corvane-repo"
ARCHIVE_DEB_VERSION = "2.2.8-2+b2"
BED_TIMEOUT = 30
REPOSITORY_FORMAT = 3  # raise when the stand-ins are made differently: the cache is remade

# The packages that the installation installs with apt-get, read from the program's own list.
GROUP_PACKAGES = package_list.distinct()
# Left out of the local repository: the installation must find it not available and say so.
MISSING_FROM_REPOSITORY = "realpath"
# In the root before any installation (debootstrap put it there): no apt-get run for it.
ALREADY_INSTALLED = "wget"
TERMINALS = package_list.TERMINALS

# A stand-in terminal emulator: runs what follows its -e or -x option, as the real ones do.
TERMINAL_SCRIPT = """#!/bin/sh
# Stand-in terminal emulator of the real-system tests: runs the command after -e or -x.
while [ "$#" -gt 0 ]; do
    case "$1" in -e|-x) shift; exec "$@" ;; esac
    shift
done
exit 1
"""


def run(argv, timeout=120, check=True, **kw):
    r = subprocess.run(argv, capture_output=True, text=True, timeout=timeout, **kw)
    if check and r.returncode != 0:
        raise RuntimeError("%s failed (%d):\n%s%s" % (" ".join(map(shlex.quote, argv)),
                                                     r.returncode, r.stdout, r.stderr))
    return r


def sample_wallet_script():
    return ("#!/bin/sh\n# Corvane sample wallet of the real-system tests: says that it ran.\n"
            "echo \"sample wallet ran: $0 $*\" >> %s\n" % WALLET_RUNS)


def build_deb(folder, name, version, arch, files=None, multi_arch=True, out=None):
    """A real binary package made with dpkg-deb: its control file and `files`
    ({path: (bytes, mode)}). Returns the .deb path."""
    tree = tempfile.mkdtemp(dir=folder)
    os.makedirs(os.path.join(tree, "DEBIAN"))
    control = ("Package: %s\nVersion: %s\nArchitecture: %s\n%s"
               "Maintainer: Corvane tests <tests@corvane.example>\n"
               "Description: stand-in of %s for the real-system tests\n"
               % (name, version, arch, "Multi-Arch: same\n" if multi_arch else "", name))
    with open(os.path.join(tree, "DEBIAN", "control"), "w") as f:
        f.write(control)
    for path, (data, mode) in (files or {}).items():
        target = os.path.join(tree, path.lstrip("/"))
        os.makedirs(os.path.dirname(target), exist_ok=True)
        with open(target, "wb") as f:
            f.write(data)
        os.chmod(target, mode)
    out = out or os.path.join(folder, "%s_%s_%s.deb" % (name, version.replace(":", "%3a"), arch))
    run(["dpkg-deb", "--root-owner-group", "-Zgzip", "-z1", "-b", tree, out])
    shutil.rmtree(tree)
    return out


def installed_versions(root):
    """{(name, arch): version} of the packages installed in the root (its dpkg status)."""
    out, fields = {}, {}
    with open(os.path.join(root, "var/lib/dpkg/status"), encoding="utf-8") as f:
        for line in list(f) + ["\n"]:
            if line.strip() == "":
                if "install ok installed" in fields.get("Status", ""):
                    out[(fields["Package"], fields["Architecture"])] = fields["Version"]
                fields = {}
            elif not line[0].isspace() and ":" in line:
                k, _, v = line.partition(":")
                fields[k] = v.strip()
    return out


def build_package_repository(root, folder):
    """A flat apt repository (dpkg-scanpackages index) of tiny stand-ins for every package
    the installation asks for that the root does not have, but one (MISSING_FROM_REPOSITORY);
    an i386 library beside an installed amd64 one gets the installed version, as multiarch
    requires."""
    have = installed_versions(root)
    made = set()
    for package in GROUP_PACKAGES:
        if package == MISSING_FROM_REPOSITORY:
            continue
        name, _, arch = package.partition(":")
        arch = arch or "amd64"
        if (name, arch) in made or (name, arch) in have or (name, "all") in have:
            continue
        made.add((name, arch))
        # An epoch above any Breaks of the real packages (libc6 breaks an old openssh-server).
        version = have.get((name, "amd64"), "9:1.0-corvane1")
        files = {}
        if name in TERMINALS:
            files["/usr/bin/" + name] = (TERMINAL_SCRIPT.encode(), 0o755)
        build_deb(folder, name, version, arch, files, multi_arch=name not in TERMINALS)
    index = run(["dpkg-scanpackages", "-m", "."], cwd=folder).stdout
    with open(os.path.join(folder, "Packages"), "w") as f:
        f.write(index)
    return made


def cached_package_repository(root, tarball):
    """The stand-in repository for this root, made once and kept beside the cached roots
    (dpkg-deb takes a while for ninety packages)."""
    key = hashlib.sha256(repr((GROUP_PACKAGES, MISSING_FROM_REPOSITORY, TERMINAL_SCRIPT,
                               os.path.basename(tarball),
                               REPOSITORY_FORMAT)).encode()).hexdigest()[:12]
    cache = os.environ.get("CORVANE_REPO_CACHE", "/var/cache/corvane-tests/repos")
    folder = os.path.join(cache, "stand-ins-" + key)
    if not os.path.isfile(os.path.join(folder, "Packages")):
        os.makedirs(cache, exist_ok=True)
        work = tempfile.mkdtemp(prefix=".make-", dir=cache)
        try:
            build_package_repository(root, work)
            os.chmod(work, 0o755)
            os.replace(work, folder)
        except BaseException:
            shutil.rmtree(work, ignore_errors=True)
            raise
    return folder


def sign_archive(folder, gnupg):
    """The maker's side: SHA256SUMS in each archive folder (sha256sum), a detached signature
    by a throwaway ed25519 key; returns the public keyring."""
    os.makedirs(gnupg, mode=0o700)
    gpg = ["gpg", "--homedir", gnupg, "--batch", "--quiet", "--no-tty", "--passphrase", "",
           "--pinentry-mode", "loopback"]
    try:
        run(gpg + ["--quick-generate-key", "Corvane maker <maker@corvane.example>", "ed25519",
                   "sign", "never"])
        for top in ARCHIVE_TOPS:
            here = os.path.join(folder, top)
            names = sorted(os.path.relpath(os.path.join(d, f), here)
                           for d, _, fs in os.walk(here) for f in fs)
            with open(os.path.join(here, "SHA256SUMS"), "w") as f:
                f.write(run(["sha256sum", "--"] + names, cwd=here).stdout)
            run(gpg + ["--detach-sign", "-o", os.path.join(here, "SHA256SUMS.gpg"),
                       os.path.join(here, "SHA256SUMS")])
        return subprocess.run(gpg + ["--export"], capture_output=True, check=True,
                              timeout=60).stdout
    finally:
        run(["gpgconf", "--homedir", gnupg, "--kill", "gpg-agent"], check=False)


def build_archive(folder):
    """The wallet archive as the servers lay it out; the two packages are real ones."""
    files = {
        "wallet.ico": (tiny_ico(), 0o644),
        "tellers": (b"# Corvane tellers (sample)\nteller1.corvane.example 7000\n", 0o644),
        "Linux/wallet": (sample_wallet_script().encode(), 0o755),
    }
    for top in ("archive/wallet/current", "current"):
        for rel, (data, mode) in files.items():
            path = os.path.join(folder, top, rel)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "wb") as f:
                f.write(data)
            os.chmod(path, mode)
    linux = os.path.join(folder, "archive/wallet/current/Linux")
    for deb in DEB_FILES:
        name = deb.split("_")[0]
        doc = "/usr/share/doc/%s/README.corvane" % name
        build_deb(linux, name, ARCHIVE_DEB_VERSION, "amd64",
                  {doc: (b"Installed from the Corvane wallet archive.\n", 0o644)},
                  multi_arch=False, out=os.path.join(linux, deb))


class Bed:
    """One throwaway system. `root` is the folder it runs on (with `overlay`, a fresh
    writable copy of it is used). bed.run(...) runs a command inside; bed.path(p) is where a
    path of the bed can be read from here."""

    def __init__(self, root, work, overlay=True, hosts=()):
        self.base = root
        self.work = tempfile.mkdtemp(prefix="bed-", dir=work)
        self.merged = os.path.join(self.work, "merged") if overlay else root
        self.holder = None
        self.ftp = None
        try:
            self._start_holder(overlay)
        except BaseException:
            self.close()
            raise

    # ------------------------------------------------------------ namespaces

    def _start_holder(self, overlay):
        q = shlex.quote
        r = q(self.merged)
        lines = ["set -e", "ip link set lo up"]
        if overlay:
            state = q(self.work)
            lines += [
                "mount -t tmpfs -o mode=0755 corvane-bed %s" % state,
                "mkdir %s/upper %s/work %s/merged" % (state, state, state),
                # The root disk of the throwaway system: df shows it as a partition.
                "mount -t overlay /dev/vdz1 -o lowerdir=%s,upperdir=%s/upper,workdir=%s/work "
                "%s" % (q(self.base), state, state, r)]
        lines += [
            "mount -t proc proc %s/proc" % r,
            "mount -t tmpfs -o mode=0755 corvane-dev %s/dev" % r,
            # Nodes, not bind mounts: df would list a bound node as a partition.
            "cd %s/dev && mknod -m 666 null c 1 3 && mknod -m 666 zero c 1 5 && "
            "mknod -m 666 full c 1 7 && mknod -m 666 random c 1 8 && "
            "mknod -m 666 urandom c 1 9 && mknod -m 666 tty c 5 0 && "
            "mknod -m 666 ptmx c 5 2 && cd /" % r,
            "mkdir %s/dev/pts %s/dev/shm" % (r, r),
            "mount --bind /dev/pts %s/dev/pts" % r,
            "ln -s /proc/self/fd %s/dev/fd" % r,
            "for i in 0 1 2; do ln -s /proc/self/fd/$i %s/dev/$(echo stdin stdout stderr "
            "| cut -d' ' -f$((i + 1))); done" % r,
            "mount -t tmpfs -o mode=1777 corvane-tmp %s/tmp" % r,
            "mount -t tmpfs -o mode=0755 corvane-run %s/run" % r,
            "echo ready",
            # The namespaces live while this reads: closing its input ends the bed.
            "exec cat >/dev/null"]
        self.holder = subprocess.Popen(
            ["unshare", "--mount", "--propagation", "private", "--net", "--pid", "--fork", "--",
             "/bin/sh", "-c", "\n".join(lines)],
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        line = self._read_line(self.holder.stdout, BED_TIMEOUT)
        if line.strip() != b"ready":
            raise RuntimeError("the bed did not start: %r %r"
                               % (line, self.holder.stderr.read() if self.holder.poll() else ""))
        self.inner_pid = self._ns_member_pid()

    @staticmethod
    def _read_line(stream, timeout):
        import select
        ready, _, _ = select.select([stream], [], [], timeout)
        return stream.readline() if ready else b""

    def _ns_member_pid(self):
        """The host pid of a process inside the bed's namespaces (the holder's child)."""
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline:
            for pid in descendants(self.holder.pid):
                try:
                    if os.readlink("/proc/%d/ns/pid" % pid) != os.readlink("/proc/self/ns/pid"):
                        return pid
                except OSError:
                    continue
            time.sleep(0.02)
        raise RuntimeError("the bed's first process was not found")

    def members(self):
        """Host pids of every process in the bed's PID namespace."""
        ns = os.readlink("/proc/%d/ns/pid" % self.inner_pid)
        out = []
        for entry in os.listdir("/proc"):
            if entry.isdigit():
                try:
                    if os.readlink("/proc/%s/ns/pid" % entry) == ns:
                        out.append(int(entry))
                except OSError:
                    pass
        return out

    def enter(self, user=None, env=None):
        """argv prefix that runs a command inside the bed (as `user`, with `env`)."""
        argv = ["nsenter", "-t", str(self.inner_pid), "-m", "-n", "-p", "--",
                "chroot", self.merged]
        if user:
            argv += ["/usr/sbin/runuser", "-u", user, "--"]
        if env is not None:
            argv += ["/usr/bin/env", "-i"] + ["%s=%s" % kv for kv in env.items()]
        return argv

    def user_env(self, user=TESTER):
        home = "/root" if user == "root" else "/home/" + user
        return {"HOME": home, "USER": user, "LOGNAME": user, "PATH": HOST_PATH,
                "LANG": "C.UTF-8", "TERM": "screen", "SHELL": "/bin/sh", "PS1": "$ ",
                "ASAN_OPTIONS": "log_path=%s/asan:abort_on_error=0" % ASAN_DIR,
                "UBSAN_OPTIONS": "log_path=%s/ubsan:print_stacktrace=1" % ASAN_DIR,
                "LSAN_OPTIONS": "log_path=%s/lsan" % ASAN_DIR}

    def run(self, command, user=None, timeout=120, check=True, stdin=None):
        """Runs a shell command line inside the bed (as root, or as `user` with its
        environment); returns the CompletedProcess."""
        env = self.user_env(user) if user else {"PATH": "/usr/sbin:/usr/bin:/sbin:/bin",
                                                "HOME": "/root", "LANG": "C.UTF-8"}
        argv = self.enter(user, env) + ["/bin/sh", "-c", command]
        return run(argv, timeout=timeout, check=check, input=stdin)

    def path(self, inside):
        """Where a path of the bed is seen from the host."""
        return "/proc/%d/root%s%s" % (self.inner_pid, self.merged, inside)

    # ------------------------------------------------------------ the archive server

    def start_ftp(self, server_root, timeout=10.0):
        """The project's FTP server on port 21 of the bed's loopback (in the bed's PID
        namespace too, so that it ends with the bed whatever happens to this process)."""
        port_file = os.path.join(self.work, "ftp.port")
        log = open(os.path.join(self.work, "ftp.log"), "ab")
        self.ftp = subprocess.Popen(
            ["nsenter", "-t", str(self.inner_pid), "-n", "-p", "--", "/usr/bin/python3",
             os.path.join(REPO, "tests", "sandbox", "ftp_server.py"), server_root, port_file,
             "21"], stdin=subprocess.DEVNULL, stdout=log, stderr=log)
        log.close()
        deadline = time.monotonic() + timeout
        while not os.path.exists(port_file):
            if self.ftp.poll() is not None or time.monotonic() > deadline:
                raise RuntimeError("the archive server did not start: %s"
                                   % open(os.path.join(self.work, "ftp.log")).read())
            time.sleep(0.02)

    # ------------------------------------------------------------ the end

    def close(self):
        if self.ftp is not None and self.ftp.poll() is None:
            self.ftp.terminate()
            try:
                self.ftp.wait(5)
            except subprocess.TimeoutExpired:
                self.ftp.kill()
                self.ftp.wait(5)
        if self.holder is not None:
            # The holder is the first process of the PID namespace: when it ends, the kernel
            # ends every process of the bed, and the mounts go with the namespace.
            try:
                self.holder.stdin.close()
            except OSError:
                pass
            try:
                self.holder.wait(10)
            except subprocess.TimeoutExpired:
                self.holder.kill()
                self.holder.wait(10)
            self.holder = None
        shutil.rmtree(self.work, ignore_errors=True)


class Base:
    """The prepared root shared by the beds of one test run: users, the local package
    repository, the archive host names and the installer in tester's own folder."""

    def __init__(self, tarball, binary, work):
        self.work = work
        self.root = os.path.join(work, "base")
        self.binary = binary
        self.deploy = read_cmake_cache(os.path.dirname(os.path.abspath(binary)))
        os.makedirs(self.root)
        run(["tar", "-C", self.root, "--numeric-owner", "-xzf", tarball], timeout=300)
        self.server_root = os.path.join(work, "server")  # config/config.json and ftp/
        self._write_server_config()
        build_archive(os.path.join(self.server_root, "ftp"))
        self.keyring = sign_archive(os.path.join(self.server_root, "ftp"),
                                    os.path.join(work, "gnupg"))
        shutil.copytree(cached_package_repository(self.root, tarball),
                        os.path.join(self.root, REPO_DIR.lstrip("/")))
        self._prepare()

    def _write_server_config(self):
        import json
        os.makedirs(os.path.join(self.server_root, "config"))
        with open(os.path.join(self.server_root, "config", "config.json"), "w") as f:
            json.dump({"ftp": {"accounts": [
                {"user": self.deploy["CORVANE_ARCHIVE_SERVER_ACCOUNT"],
                 "password": ARCHIVE_PASSWORD},
                {"user": SECOND_ACCOUNT, "password": SECOND_PASSWORD}]}}, f)

    def _prepare(self):
        hosts = "127.0.0.1 localhost %s %s %s\n::1 localhost\n" % (
            os.uname().nodename, self.deploy["CORVANE_ARCHIVE_SERVER_HOST"],
            self.deploy["CORVANE_SECOND_SERVER_HOST"])
        with open(os.path.join(self.root, "etc/hosts"), "w") as f:
            f.write(hosts)
        with open(os.path.join(self.root, "etc/apt/sources.list"), "w") as f:
            f.write("deb [trusted=yes] file:%s ./\n" % REPO_DIR)
        for name in os.listdir(os.path.join(self.root, "etc/apt/sources.list.d")):
            os.unlink(os.path.join(self.root, "etc/apt/sources.list.d", name))
        installer = "/home/%s/installer" % TESTER
        bed = Bed(self.root, self.work, overlay=False)
        try:
            bed.run(" && ".join([
                "dpkg --add-architecture i386",
                "apt-get -q update",
                # tester may use sudo by a rule of its own; the installer's usermod then
                # makes it a member of group sudo, which the tests can see.
                "useradd -m -s /bin/bash %s" % TESTER,
                "echo '%s ALL=(ALL:ALL) ALL' > /etc/sudoers.d/corvane-tester" % TESTER,
                "chmod 0440 /etc/sudoers.d/corvane-tester",
                "useradd -m -s /bin/bash %s" % NEWCOMER,
                "printf '%%s\\n' %s | chpasswd" % " ".join(shlex.quote(p) for p in (
                    "%s:%s" % (TESTER, TESTER_PASSWORD), "%s:%s" % (NEWCOMER, NEWCOMER_PASSWORD),
                    "root:%s" % ROOT_PASSWORD)),
                "mkdir -p %s" % installer]), timeout=300)
            for user in (TESTER, NEWCOMER):
                bed.run("mkdir -p /home/%s/Desktop /home/%s/installer && "
                        "chown %s: /home/%s/Desktop /home/%s/installer" % ((user,) * 5))
            # The maker's keyring where the binary reads it: beside the program (a relative
            # path), else where a package would have put it.
            keyring = self.deploy["CORVANE_ARCHIVE_KEYRING"]
            for user in (TESTER, NEWCOMER):
                target = os.path.join(self.root, "home", user, "installer", PROGRAM_NAME)
                shutil.copy2(self.binary, target)
                if keyring and not os.path.isabs(keyring):
                    with open(os.path.join(os.path.dirname(target), keyring), "wb") as f:
                        f.write(self.keyring)
            if keyring and os.path.isabs(keyring):
                os.makedirs(os.path.dirname(self.root + keyring), exist_ok=True)
                with open(self.root + keyring, "wb") as f:
                    f.write(self.keyring)
                os.chmod(self.root + keyring, 0o644)
            bed.run("for u in %s %s; do chown -R $u: /home/$u/installer; "
                    "chmod 0755 /home/$u/installer/%s; done" % (TESTER, NEWCOMER, PROGRAM_NAME))
        finally:
            bed.close()

    def new_bed(self):
        bed = Bed(self.root, self.work)
        try:
            bed.run("mkdir -p %s %s && chmod 1777 %s %s" % (RUN_DIR, ASAN_DIR, RUN_DIR, ASAN_DIR))
            bed.start_ftp(self.server_root)
        except BaseException:
            bed.close()
            raise
        return bed

    def close(self):
        shutil.rmtree(self.work, ignore_errors=True)


def group_members(bed, group):
    line = bed.run("getent group %s" % group).stdout.strip()
    return [m for m in line.split(":")[3].split(",") if m]



SKIPPED_TOPS = ("/proc", "/dev", "/sys", "/tmp", "/run")


def snapshot(bed, top="/"):
    """{path: (type, uid, gid, mode)} of everything below `top` in the bed (symbolic links
    not followed; the kernel's and the scratch file systems left out)."""
    out = {}
    host_top = bed.path(top)
    cut = len(bed.path(""))
    for dirpath, dirnames, filenames in os.walk(host_top):
        inside = dirpath[cut:] or "/"
        dirnames[:] = [d for d in dirnames
                       if os.path.join(inside, d) not in SKIPPED_TOPS]
        for name in [inside] + [os.path.join(inside, n) for n in dirnames + filenames]:
            if name in out:
                continue
            st = os.lstat(bed.path(name))
            kind = "d" if stat.S_ISDIR(st.st_mode) else "l" if stat.S_ISLNK(st.st_mode) else "f"
            out[name] = (kind, st.st_uid, st.st_gid, stat.S_IMODE(st.st_mode))
    return out


def open_to_others(entry):
    """True for a file or folder that users other than its owner and group may change (a
    sticky folder such as /tmp protects its entries; a symbolic link has no mode)."""
    kind, _, _, mode = entry
    if kind == "l" or not mode & 0o002:
        return False
    return not (kind == "d" and mode & stat.S_ISVTX)


def user_ids(bed, user):
    r = bed.run("id -u %s && id -g %s" % (user, user)).stdout.split()
    return int(r[0]), int(r[1])


def wallet_runs(bed):
    """What the sample wallet program said each time it ran in the bed."""
    try:
        with open(bed.path(WALLET_RUNS), encoding="utf-8") as f:
            return f.read().splitlines()
    except FileNotFoundError:
        return []


def package_states(bed, packages):
    """{package: dpkg status} of package names (name or name:arch; amd64 when no arch)."""
    names = [p if ":" in p else p + ":amd64" for p in packages]
    r = bed.run("dpkg-query -W -f='${binary:Package} ${Architecture} ${Status}\\n' %s"
                % " ".join(shlex.quote(n) for n in names), check=False)
    seen = {}
    for line in r.stdout.splitlines():
        name, arch, status = line.split(" ", 2)
        seen[name.split(":")[0] + ":" + arch] = status
    return {p: seen.get(n, "not installed") for p, n in zip(packages, names)}


def desktop_exec(text):
    """(Path, argv of Exec) of a desktop entry's text."""
    fields = {}
    for line in text.splitlines():
        key, sep, value = line.partition("=")
        if sep and key not in fields:
            fields[key] = value
    return fields.get("Path"), shlex.split(fields["Exec"])


# desktop-file-validate's one complaint about every launcher: its documented first line " ".
FIRST_LINE_ERROR = (": error: line \" \" starts with a space. Comment, group and key-value lines "
                    "should not start with a space. The validation will continue, with the "
                    "leading spaces ignored.\n")


def launcher_problems(bed, path):
    """What the real desktop-file-validate of the bed reports about a launcher, besides the
    documented first line."""
    r = bed.run("desktop-file-validate %s" % shlex.quote(path), user=TESTER, check=False)
    out = (r.stdout + r.stderr).replace(path + FIRST_LINE_ERROR, "")
    return out or (None if r.returncode in (0, 1) else "exit status %d" % r.returncode)
