# A world in which the real installer runs with nothing on the machine changed: a temporary
# HOME, the binary in its own folder there, shims first on PATH, canned tool outputs, a shim
# log, and a local FTP server with a sample wallet archive. Used by the end-to-end tests, the
# try-it script and the benchmarks.
import contextlib
import json
import os
import shutil
import socket
import stat
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))
FIXTURES = os.path.join(REPO, "tests", "fixtures")
sys.path.insert(0, HERE)
import shim as shim_module  # noqa: E402

PROGRAM_NAME = "installWalletForLinux"
USER = "tester"
DEFAULT_SERVERS = {
    "CORVANE_ARCHIVE_SERVER_HOST": "archive.corvane.example",
    "CORVANE_SECOND_SERVER_HOST": "files.corvane.example",
    "CORVANE_ARCHIVE_SERVER_ACCOUNT": "installer@corvane.example",
}
ARCHIVE_PASSWORD = "ferric3basin8"
SECOND_ACCOUNT = "ledger2"
SECOND_PASSWORD = "harbor9#"
DEB_FILES = ("libminiupnpc18_2.2.8-2+b2_amd64.deb", "miniupnpc18_2.2.8-2+b2_amd64.deb")
DEFAULT_KEYRING = "/usr/share/corvane-installer/archive-keyring.gpg"
# The two archive folders of the sample servers: the archive refresh's and the second server's.
ARCHIVE_TOPS = ("archive/wallet/current", "current")


def fixture_text(name):
    with open(os.path.join(FIXTURES, name), encoding="utf-8") as f:
        return f.read()


def default_binary():
    """The binary under test: env CORVANE_BINARY, else the sanitizer build."""
    return os.environ.get("CORVANE_BINARY") or os.path.join(REPO, "build", "sanitize", PROGRAM_NAME)


def read_cmake_cache(build_dir):
    """The deployment values compiled into the binary (CMake defaults when no cache)."""
    values = dict(DEFAULT_SERVERS, CORVANE_ARCHIVE_KEYRING=DEFAULT_KEYRING)
    path = os.path.join(build_dir, "CMakeCache.txt") if build_dir else None
    if path and os.path.exists(path):
        with open(path, encoding="utf-8", errors="replace") as f:
            for line in f:
                key, sep, value = line.rstrip("\n").partition("=")
                name = key.split(":", 1)[0]
                if sep and name in values:
                    values[name] = value
    return values


def format_df(rows):
    """rows of (source, size, used, avail, use%, mount) in the layout of GNU `df -h`."""
    header = ("Filesystem", "Size", "Used", "Avail", "Use%", "Mounted on")
    widths = [14, 5, 5, 5, 4]
    for r in rows:
        for i in range(5):
            widths[i] = max(widths[i], len(r[i]))
    out = []
    for r in [header] + list(rows):
        cells = [r[0].ljust(widths[0])] + [r[i].rjust(widths[i]) for i in range(1, 5)]
        out.append(" ".join(cells) + " " + r[5])
    return "".join(line + "\n" for line in out)


def free_port():
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def tiny_ico():
    """A valid 1x1 32-bit icon."""
    bmp = (40).to_bytes(4, "little") + (1).to_bytes(4, "little") + (2).to_bytes(4, "little")
    bmp += (1).to_bytes(2, "little") + (32).to_bytes(2, "little") + bytes(24)
    bmp += bytes([0x20, 0x80, 0xE0, 0xFF]) + bytes(4)  # one pixel, then the AND mask row
    head = bytes([0, 0, 1, 0, 1, 0]) + bytes([1, 1, 0, 0]) + (1).to_bytes(2, "little")
    head += (32).to_bytes(2, "little") + len(bmp).to_bytes(4, "little") + (22).to_bytes(4, "little")
    return head + bmp


def tiny_deb(name):
    """An ar archive shaped like a .deb (dpkg is a shim; only the file matters)."""
    def member(n, data):
        hdr = n.ljust(16) + "0".ljust(12) + "0".ljust(6) + "0".ljust(6) + "100644".ljust(8)
        hdr += str(len(data)).ljust(10) + "`\n"
        return hdr.encode() + data + (b"\n" if len(data) % 2 else b"")
    return b"!<arch>\n" + member("debian-binary", b"2.0\n") + member("x-corvane", name.encode())


class Sandbox:
    """One sandbox folder. Paths: root, home, desktop, program_dir, program, bin, log_file,
    asan_dir, ftp_root, mounts (the df shim's two mount folders), wallet_runs_log, gnupg (the
    throwaway signing keys, one GNUPGHOME each)."""

    @classmethod
    @contextlib.contextmanager
    def up(cls, ftp=True, keep=None, **kwargs):
        """The one way to have a sandbox: `with Sandbox.up() as sb:` makes it (the keyword
        arguments go to the constructor), starts its FTP server unless ftp=False, and on the
        way out, however it is left, stops the server and removes the folder. keep (default:
        the environment variable CORVANE_KEEP_SANDBOX) keeps the folder and says where it is."""
        sb = cls(**kwargs)
        try:
            if ftp:
                sb.start_ftp()
            yield sb
        finally:
            if keep is None:
                keep = bool(os.environ.get("CORVANE_KEEP_SANDBOX"))
            if keep:
                sb.stop_ftp()
                print("sandbox kept at", sb.root)
            else:
                sb.cleanup()

    def place_home(self, home):
        """Names the home folder and what lives in it: its Desktop and the installer's own
        folder with the program."""
        self.home = home
        self.desktop = os.path.join(home, "Desktop")
        self.program_dir = os.path.join(home, "installer")
        self.program = os.path.join(self.program_dir, PROGRAM_NAME)

    def move_home(self, home):
        """Moves the home folder, with all it holds, to home (its parents are made)."""
        os.makedirs(os.path.dirname(home), exist_ok=True)
        os.rename(self.home, home)
        self.place_home(home)

    def __init__(self, binary=None, root=None, build_dir=None, copy_binary=True):
        # Short root: the program keeps mount paths in 64-character fields.
        self.root = os.path.realpath(root or tempfile.mkdtemp(prefix="corvane-sb-", dir="/tmp"))
        self.ftp_process = None
        self.ftp_port = None
        try:
            self._make(binary, build_dir, copy_binary)
        except BaseException:
            # Half made (no binary, gpg failed): nothing of it stays behind.
            self.cleanup()
            raise

    def _make(self, binary, build_dir, copy_binary):
        self.binary = binary if binary is not None else default_binary()
        if build_dir is None and self.binary:
            build_dir = os.path.dirname(os.path.abspath(self.binary))
        self.deploy = read_cmake_cache(build_dir)
        self.place_home(os.path.join(self.root, "home"))
        self.bin = os.path.join(self.root, "bin")
        self.config_dir = os.path.join(self.root, "config")
        self.config_file = os.path.join(self.config_dir, "config.json")
        self.log_dir = os.path.join(self.root, "log")
        self.log_file = os.path.join(self.log_dir, "shims.jsonl")
        self.wallet_runs_log = os.path.join(self.log_dir, "wallet-runs.log")
        self.asan_dir = os.path.join(self.root, "asan")
        self.run_dir = os.path.join(self.root, "run")
        self.ftp_root = os.path.join(self.root, "ftp")
        self.mounts = [os.path.join(self.root, "media", "disk1"),
                       os.path.join(self.root, "media", "usb")]
        for d in (self.home, self.desktop, self.program_dir, self.bin, self.config_dir,
                  self.log_dir, self.asan_dir, self.run_dir, self.ftp_root, *self.mounts):
            os.makedirs(d, exist_ok=True)
        open(self.log_file, "a").close()
        if copy_binary and self.binary:
            if not os.path.exists(self.binary):
                raise FileNotFoundError("installer binary not found: %s (build it first)"
                                        % self.binary)
            shutil.copy2(self.binary, self.program)
        self.config = self.default_config()
        self.save_config()
        self.gnupg = os.path.join(self.root, "gnupg")
        self.write_shims()
        self.build_archive()
        if self.keyring_path():
            self.sign_archive()
        else:
            # A build that reads its keyring outside the sandbox could not check a signature
            # made here (it would refuse the archive): give it the sums alone.
            for top in ARCHIVE_TOPS:
                self.write_sums(top)

    # ------------------------------------------------------------ configuration

    def default_config(self):
        df_rows = [
            ("udev", "7.8G", "0", "7.8G", "0%", "/dev"),
            ("tmpfs", "1.6G", "2.1M", "1.6G", "1%", "/run"),
            ("/dev/sda1", "458G", "113G", "323G", "26%", self.mounts[0]),
            ("tmpfs", "7.9G", "90M", "7.8G", "2%", "/dev/shm"),
            ("/dev/loop0", "128K", "128K", "0", "100%", "/snap/bare/5"),
            ("/dev/sdb1", "29G", "1.2G", "28G", "5%", self.mounts[1]),
        ]
        not_ata = "\n/dev/%s:\n"
        return {
            "sandbox": self.root,
            "sudo": {"probe_stderr": fixture_text("sudo-vn-stderr-password-required.txt"),
                     "probe_rc": 1, "password": None, "prompt": True, "reads_stdin": True},
            "tools": {"su": {"rc": 1, "stderr": "su: Authentication failure\n"}},
            "df": format_df(df_rows),
            "hdparm": {
                "sda": {"stdout": fixture_text("hdparm-I-sata.txt")},
                "sdb": {"stdout": not_ata % "sdb"},
                "nvme0n1": {"stdout": not_ata % "nvme0n1"},
            },
            "udevadm": {
                "sda": {"info": fixture_text("udevadm-info-ata.txt"), "attr": ""},
                "sdb": {"info": fixture_text("udevadm-info-usb.txt"),
                        "attr": fixture_text("udevadm-attr-speed-usb2.txt")},
                "nvme0n1": {"info": "N: nvme0n1\nE: DEVNAME=/dev/nvme0n1\nE: DEVTYPE=disk\n",
                            "attr": ""},
            },
            "lsb_release": fixture_text("lsb-release-debian-12.txt"),
            "servers": {"hosts": [self.deploy["CORVANE_ARCHIVE_SERVER_HOST"],
                                  self.deploy["CORVANE_SECOND_SERVER_HOST"]],
                        "port": 9},
            "ftp": {"accounts": [
                {"user": self.deploy["CORVANE_ARCHIVE_SERVER_ACCOUNT"],
                 "password": ARCHIVE_PASSWORD},
                {"user": SECOND_ACCOUNT, "password": SECOND_PASSWORD}]},
        }

    def save_config(self):
        tmp = self.config_file + ".tmp"
        with open(tmp, "w", encoding="utf-8") as f:
            json.dump(self.config, f, indent=1)
        os.replace(tmp, self.config_file)

    def set_sudo(self, **values):
        """probe_stderr, probe_rc, password (None accepts any), prompt, reads_stdin (False: a
        sudo that never asks, as with a NOPASSWD rule or a fingerprint)."""
        self.config["sudo"].update(values)
        self.save_config()

    def set_tool(self, tool, rc=0, stdout="", stderr="", seconds=0, fail_for=(), fail_rc=100):
        """Canned answer of a log-only tool; `seconds` it takes before answering; a call
        naming one of `fail_for` (a package) ends with `fail_rc` instead. For install, only rc
        counts."""
        self.config["tools"][tool] = {"rc": rc, "stdout": stdout, "stderr": stderr,
                                      "seconds": seconds, "fail_for": list(fail_for),
                                      "fail_rc": fail_rc}
        self.save_config()

    def set_packages(self, **values):
        """The package table the apt-get, apt-cache, dpkg-query and dpkg stand-ins answer
        from: installed (names as the list spells them; "name:i386" for a foreign one),
        unavailable (no install candidate), failing ({name: apt-get exit status}),
        foreign_architectures (["i386"] by default; [] as on a Debian system nobody changed),
        update_rc (apt-get update's exit status). Every other name is available."""
        self.config.setdefault("packages", {}).update(values)
        self.save_config()

    def package_table(self):
        """The table as the stand-ins see it now (apt-get install adds what it installed)."""
        with open(self.config_file, encoding="utf-8") as f:
            stored = json.load(f).get("packages", {})
        return dict(shim_module.DEFAULT_PACKAGES, **stored)

    def set_df(self, text=None, rows=None):
        self.config["df"] = text if text is not None else format_df(rows)
        self.save_config()

    def set_hdparm(self, device, stdout=None, rc=0, stderr=""):
        """stdout None removes the device (the real 'No such file' answer)."""
        if stdout is None:
            self.config["hdparm"].pop(device, None)
        else:
            self.config["hdparm"][device] = {"stdout": stdout, "rc": rc, "stderr": stderr}
        self.save_config()

    def set_udevadm(self, device, info=None, attr=""):
        if info is None:
            self.config["udevadm"].pop(device, None)
        else:
            self.config["udevadm"][device] = {"info": info, "attr": attr}
        self.save_config()

    def set_lsb_release(self, text):
        self.config["lsb_release"] = text
        self.save_config()

    # ------------------------------------------------------------ shims

    def write_shims(self):
        for tool in shim_module.ALL_TOOLS:
            path = os.path.join(self.bin, tool)
            with open(path, "w", encoding="utf-8") as f:
                f.write("#!/usr/bin/python3\nimport sys\nsys.path.insert(0, %r)\nimport shim\n"
                        "shim.main(%r, %r)\n" % (HERE, tool, self.root))
            os.chmod(path, 0o755)

    def env(self):
        """The environment the installer runs in."""
        return {
            "HOME": self.home,
            "USER": USER,
            "LOGNAME": USER,
            "PATH": self.bin + ":/usr/local/bin:/usr/bin:/bin",
            "LANG": "C.UTF-8",
            "TERM": "screen",
            "SHELL": "/bin/sh",
            "PS1": "$ ",
            "CORVANE_SANDBOX": self.root,
            "ASAN_OPTIONS": "log_path=%s/asan:abort_on_error=0" % self.asan_dir,
            "UBSAN_OPTIONS": "log_path=%s/ubsan:print_stacktrace=1" % self.asan_dir,
            "LSAN_OPTIONS": "log_path=%s/lsan" % self.asan_dir,
        }

    def log(self, tool=None):
        """The shim log as parsed JSON lines (of one tool when given)."""
        entries = []
        with open(self.log_file, encoding="utf-8") as f:
            for line in f:
                if line.strip():
                    entries.append(json.loads(line))
        return [e for e in entries if tool is None or e["tool"] == tool]

    def sanitizer_reports(self):
        reports = []
        for name in sorted(os.listdir(self.asan_dir)):
            with open(os.path.join(self.asan_dir, name), errors="replace") as f:
                reports.append((name, f.read()))
        return reports

    # ------------------------------------------------------------ the wallet archive

    def sample_wallet_script(self):
        return ("#!/bin/sh\n# Corvane sample wallet of the test sandbox: says that it ran.\n"
                "echo \"sample wallet ran: $0 $*\" >> '%s'\n" % self.wallet_runs_log)

    def build_archive(self):
        files = {
            "wallet.ico": tiny_ico(),
            "tellers": b"# Corvane tellers (sample)\nteller1.corvane.example 7000\n",
            "Linux/wallet": self.sample_wallet_script().encode(),
        }
        for top in ARCHIVE_TOPS:
            for rel, data in files.items():
                self._write(os.path.join(self.ftp_root, top, rel), data,
                            0o755 if rel == "Linux/wallet" else 0o644)
        for deb in DEB_FILES:
            self._write(os.path.join(self.ftp_root, "archive/wallet/current/Linux", deb),
                        tiny_deb(deb), 0o644)

    # ------------------------------------------------------------ signing the archive
    # The maker's side, done as README tells a maker: sha256sum > SHA256SUMS, a detached
    # signature by a throwaway ed25519 key (no passphrase, its own GNUPGHOME in the sandbox),
    # and the public keyring where the binary looks for it.

    def keyring_path(self):
        """Where the binary under test reads the maker's keyring (None: outside the sandbox,
        a build with an absolute keyring path; nothing is written there)."""
        configured = self.deploy["CORVANE_ARCHIVE_KEYRING"]
        if not configured or os.path.isabs(configured):
            return None
        return os.path.join(self.program_dir, configured)

    def _gpg(self, key, *commands, key_expires="never", at=None):
        """Runs gpg commands (argument lists) with the throwaway key `key`, made at first use
        (expiring after key_expires: "never", "1d", ...); the agent gpg starts is stopped once
        they are done. at: the time (epoch seconds) gpg believes it is, for keys made and
        signatures made in the past (--faked-system-time)."""
        home = os.path.join(self.gnupg, key)
        if not os.path.isdir(home):
            os.makedirs(home, mode=0o700)
            commands = (["--quick-generate-key", "Corvane %s <%s@corvane.example>" % (key, key),
                         "ed25519", "sign", key_expires],) + commands
        faked = ["--faked-system-time", "%d!" % at] if at is not None else []
        try:
            for args in commands:
                r = subprocess.run(["gpg", "--homedir", home, "--batch", "--quiet", "--no-tty",
                                    "--passphrase", "", "--pinentry-mode", "loopback", *faked,
                                    *args],
                                   stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                   stderr=subprocess.PIPE, timeout=60)
                if r.returncode != 0:
                    raise RuntimeError("gpg %s failed: %s" % (" ".join(args), r.stderr.decode()))
        finally:
            # gpg started an agent for this home; it has no business outliving the sandbox.
            subprocess.run(["gpgconf", "--homedir", home, "--kill", "gpg-agent"],
                           stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, timeout=30)
        return r.stdout

    def write_sums(self, top):
        """SHA256SUMS of every file of one archive folder, written by sha256sum."""
        folder = os.path.join(self.ftp_root, top)
        names = sorted(os.path.relpath(os.path.join(d, f), folder)
                       for d, _, fs in os.walk(folder) for f in fs
                       if not f.startswith("SHA256SUMS"))
        out = subprocess.run(["sha256sum", "--", *names], cwd=folder, check=True,
                             stdout=subprocess.PIPE, timeout=60).stdout
        with open(os.path.join(folder, "SHA256SUMS"), "wb") as f:
            f.write(out)

    def sign_archive(self, key="maker", tops=ARCHIVE_TOPS, trusted=None, key_expires="never",
                     at=None, sig_expires=None):
        """Writes SHA256SUMS in each archive folder and signs it with `key` ("maker" is the
        key whose keyring the binary gets; any other name is a stranger's key, unless trusted
        says the binary gets its keyring too). key_expires: the key's expiry when it is made;
        at: when (epoch seconds) the key and the signature are made; sig_expires: the
        signature's own expiry ("1d")."""
        if trusted is None:
            trusted = key == "maker"
        commands = []
        for top in tops:
            self.write_sums(top)
            sums = os.path.join(self.ftp_root, top, "SHA256SUMS")
            if os.path.exists(sums + ".gpg"):
                os.unlink(sums + ".gpg")
            expiry = ["--default-sig-expire", sig_expires] if sig_expires else []
            commands.append(expiry + ["--detach-sign", "-o", sums + ".gpg", sums])
        keyring = self.keyring_path() if trusted else None
        exported = self._gpg(key, *commands, *([["--export"]] if keyring else []),
                             key_expires=key_expires, at=at)
        if keyring:
            self._write(keyring, exported, 0o644)

    def strip_signature(self, tops=ARCHIVE_TOPS):
        """Removes SHA256SUMS.gpg only: the sums stay, as after a man in the middle dropped
        the signature."""
        for top in tops:
            path = os.path.join(self.ftp_root, top, "SHA256SUMS.gpg")
            if os.path.exists(path):
                os.unlink(path)

    def unsign_archive(self, tops=ARCHIVE_TOPS):
        """Removes SHA256SUMS and its signature: an archive as it was before signing."""
        for top in tops:
            for name in ("SHA256SUMS", "SHA256SUMS.gpg"):
                path = os.path.join(self.ftp_root, top, name)
                if os.path.exists(path):
                    os.unlink(path)

    def alter_archive_file(self, rel, top="archive/wallet/current", at=-2):
        """Changes one byte of a file on the server (the sums stay as the maker wrote them)."""
        path = os.path.join(self.ftp_root, top, rel)
        with open(path, "r+b") as f:
            data = bytearray(f.read())
            data[at] ^= 0x01
            f.seek(0)
            f.write(data)

    def send_half(self, rel, top="archive/wallet/current"):
        """The FTP server sends only the first half of this file (a dropped connection)."""
        path = os.path.join(top, rel)
        size = os.path.getsize(os.path.join(self.ftp_root, path))
        self.config["ftp"].setdefault("send_at_most", {})[path] = size // 2
        self.save_config()

    @staticmethod
    def _write(path, data, mode):
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
        os.chmod(path, mode)

    def install_sample_wallet(self, folder=None):
        """Puts the sample wallet program at HOME/wallet/wallet (or folder/wallet)."""
        folder = folder or os.path.join(self.home, "wallet")
        path = os.path.join(folder, "wallet")
        self._write(path, self.sample_wallet_script().encode(), 0o755)
        return path

    def wallet_runs(self):
        if not os.path.exists(self.wallet_runs_log):
            return []
        with open(self.wallet_runs_log, encoding="utf-8") as f:
            return f.read().splitlines()

    # ------------------------------------------------------------ the FTP server

    def start_ftp(self, timeout=10.0):
        """Starts the local FTP server on a free loopback port; returns the port."""
        self.stop_ftp()
        port_file = os.path.join(self.run_dir, "ftp.port")
        if os.path.exists(port_file):
            os.unlink(port_file)
        with open(os.path.join(self.log_dir, "ftp.log"), "ab") as log:
            self.ftp_process = subprocess.Popen(
                ["/usr/bin/python3", os.path.join(HERE, "ftp_server.py"), self.root, port_file],
                stdin=subprocess.DEVNULL, stdout=log, stderr=log, start_new_session=True)
        deadline = time.monotonic() + timeout
        while not os.path.exists(port_file):
            if self.ftp_process.poll() is not None or time.monotonic() > deadline:
                self.stop_ftp()
                raise RuntimeError("the sandbox FTP server did not start (see %s)"
                                   % os.path.join(self.log_dir, "ftp.log"))
            time.sleep(0.02)
        with open(port_file) as f:
            port = int(f.read())
        self.config["servers"]["port"] = port
        self.save_config()
        self.ftp_port = port
        return port

    def stop_ftp(self):
        p, self.ftp_process = self.ftp_process, None
        if p is not None and p.poll() is None:
            p.terminate()
            try:
                p.wait(5)
            except subprocess.TimeoutExpired:
                p.kill()
                p.wait(5)

    def server_down(self):
        """No server: wget's address points at a closed loopback port."""
        self.stop_ftp()
        self.config["servers"]["port"] = free_port()
        self.save_config()

    def cleanup(self):
        self.stop_ftp()
        # The sudo shim may have made folders read-only (chmod); make them removable.
        for dirpath, dirnames, _ in os.walk(self.root):
            for d in dirnames:
                p = os.path.join(dirpath, d)
                try:
                    if not os.path.islink(p):
                        os.chmod(p, os.stat(p).st_mode | stat.S_IRWXU)
                except OSError:
                    pass
        shutil.rmtree(self.root, ignore_errors=True)


def descendants(pid):
    """Every process below pid (children first found first), read from /proc."""
    out, todo = [], [pid]
    while todo:
        p = todo.pop()
        try:
            with open("/proc/%d/task/%d/children" % (p, p)) as f:
                kids = [int(k) for k in f.read().split()]
        except OSError:
            kids = []
        out += kids
        todo += kids
    return out
