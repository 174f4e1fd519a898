#!/usr/bin/python3
# The stand-ins for the outside tools the installer runs (sudo, apt-get, df, wget, ...).
# Each shim in a sandbox's bin folder calls main(tool, root); every call appends one JSON line
# to the sandbox's log, and nothing outside the sandbox is ever changed.
import json
import os
import re
import select
import shutil
import subprocess
import sys
import time

LOG_ONLY_TOOLS = (
    "apt-get", "apt", "dpkg", "su", "usermod", "skill", "debconf-set-selections", "gedit",
    "gnome-terminal", "xfce4-terminal", "mate-terminal", "uxterm", "xterm",
)
CANNED_TOOLS = ("df", "hdparm", "udevadm", "lsb_release")
ALL_TOOLS = ("sudo", "wget", "install") + LOG_ONLY_TOOLS + CANNED_TOOLS

# sudo options that take a value (the value may be glued on: -uroot).
SUDO_VALUE_OPTIONS = set("ugpCDrtTUh")
REAL_WGET = "/usr/bin/wget"


class Shim:
    def __init__(self, tool, root):
        self.tool = tool
        self.root = os.path.realpath(root)
        self.config = load_config(self.root)
        self.entry = {"tool": tool, "argv": sys.argv[1:], "stdin": "",
                      "parent": parent_cmdline(), "cwd": os.getcwd()}

    def log(self, **extra):
        self.entry.update(extra)
        line = json.dumps(self.entry) + "\n"
        path = os.path.join(self.root, "log", "shims.jsonl")
        fd = os.open(path, os.O_WRONLY | os.O_APPEND | os.O_CREAT, 0o644)
        try:
            os.write(fd, line.encode())
        finally:
            os.close(fd)

    def inside(self, path):
        real = os.path.realpath(path)
        return real == self.root or real.startswith(self.root + os.sep)


def load_config(root):
    with open(os.path.join(root, "config", "config.json"), encoding="utf-8") as f:
        return json.load(f)


def parent_cmdline():
    try:
        with open("/proc/%d/cmdline" % os.getppid(), "rb") as f:
            raw = f.read()
    except OSError:
        return ""
    return " ".join(p.decode("utf-8", "surrogateescape") for p in raw.split(b"\0") if p)


def decode(data):
    return data.decode("utf-8", "surrogateescape")


def read_line_from_stdin():
    """Reads one line byte by byte, so that the rest stays for the command sudo runs."""
    data = b""
    while True:
        try:
            b = os.read(0, 1)
        except OSError:
            break
        if not b:
            break
        data += b
        if b == b"\n":
            break
    return data


def drain_stdin(limit_seconds=3.0):
    """What a log-only tool would consume: a pipe or file is read to its end (bounded); a
    terminal is left alone."""
    try:
        if os.isatty(0):
            return b""
    except OSError:
        return b""
    data = b""
    deadline = time.monotonic() + limit_seconds
    while True:
        left = deadline - time.monotonic()
        if left <= 0:
            break
        try:
            ready, _, _ = select.select([0], [], [], left)
        except (OSError, ValueError):
            break
        if not ready:
            break
        try:
            chunk = os.read(0, 65536)
        except OSError:
            break
        if not chunk:
            break
        data += chunk
    return data


def emit(stdout="", stderr=""):
    if stdout:
        sys.stdout.write(stdout)
        sys.stdout.flush()
    if stderr:
        sys.stderr.write(stderr)
        sys.stderr.flush()


# ---------------------------------------------------------------- sudo

def parse_sudo_args(args):
    """Returns (flag letters, command argv)."""
    flags = ""
    i = 0
    while i < len(args):
        a = args[i]
        if a == "--":
            i += 1
            break
        if not a.startswith("-") or a == "-":
            break
        if a.startswith("--"):
            name = a[2:].split("=", 1)[0]
            long_flags = {"stdin": "S", "non-interactive": "n", "validate": "v",
                          "reset-timestamp": "k", "remove-timestamp": "K"}
            flags += long_flags.get(name, "")
            if "=" not in a and name in ("user", "group", "prompt", "close-from", "chdir",
                                         "role", "type", "other-user", "host"):
                i += 1
            i += 1
            continue
        letters = a[1:]
        j = 0
        while j < len(letters):
            c = letters[j]
            if c in SUDO_VALUE_OPTIONS:
                if j == len(letters) - 1:
                    i += 1  # the value is the next word
                break
            flags += c
            j += 1
        i += 1
    return flags, args[i:]


ABSOLUTE_PATH = re.compile(r"(?<![\w.~+-])/[^\s'\";|&<>()]*")
# Paths a command may name without leaving the sandbox.
HARMLESS_PATHS = ("/dev/null",)


def absolute_paths(args):
    paths = []
    for a in args:
        paths.extend(p for p in ABSOLUTE_PATH.findall(a) if p not in HARMLESS_PATHS)
    return paths


def unwrap_shell(command):
    """What runs in the end: `sh -c SCRIPT NAME ARGS...` runs ARGS through SCRIPT (the
    installer's wrapper that gives the command /dev/null as stdin). Returns (scripts, argv):
    the scripts passed through, for their paths, and the innermost command."""
    scripts = []
    while len(command) >= 3 and os.path.basename(command[0]) == "sh" and command[1] == "-c":
        scripts.append(command[2])
        if len(command) <= 4:
            return scripts, command if len(command) == 3 else []
        command = command[4:]
    return scripts, command


def run_sudo(shim):
    cfg = shim.config.get("sudo", {})
    flags, command = parse_sudo_args(sys.argv[1:])
    user = os.environ.get("USER", "tester")
    if "S" not in flags:
        if "v" in flags or "n" in flags:
            # The probe: sudo answers without asking (the configured situation).
            shim.log(probe=True, rc=cfg.get("probe_rc", 1))
            emit(stderr=cfg.get("probe_stderr", ""))
            return cfg.get("probe_rc", 1)
        # No -S: the real sudo would ask on the terminal; the shim only records the call.
        consumed = drain_stdin()
        shim.log(stdin=decode(consumed), ran=False, rc=0)
        return 0

    # A sudo that asks nobody (a NOPASSWD rule, a fingerprint) never reads its stdin: what
    # is there stays for the command.
    asks = cfg.get("reads_stdin", True)
    if asks and cfg.get("prompt", True):
        emit(stderr="[sudo] password for %s: " % user)
    password = read_line_from_stdin() if asks else b""
    shim.entry["stdin"] = decode(password)
    expected = cfg.get("password")
    typed = decode(password).rstrip("\n")
    if asks and expected is not None and typed != expected:
        shim.log(ran=False, rc=1, refused="wrong password")
        emit(stderr="Sorry, try again.\n[sudo] password for %s: \n"
                    "sudo: no password was provided\nsudo: 1 incorrect password attempt\n" % user)
        return 1
    if not command:
        shim.log(ran=False, rc=0)
        return 0

    scripts, inner = unwrap_shell(command)
    shim.entry["command"] = inner
    resolved = shutil.which(inner[0]) if inner else None
    to_shim = resolved is not None and os.path.dirname(os.path.abspath(resolved)) == \
        os.path.join(shim.root, "bin")
    outside = [p for p in absolute_paths(scripts + inner[1:]) if not shim.inside(p)]
    allowed = to_shim or (not outside and shim.inside(os.getcwd()))
    if not allowed:
        shim.log(ran=False, rc=0, refused="outside the sandbox: " + " ".join(outside or [os.getcwd()]))
        return 0
    shim.log(ran=True)
    try:
        return subprocess.call(command)
    except OSError as e:
        emit(stderr="sudo: %s: command not found\n" % command[0])
        shim.log(error=str(e))
        return 1


# ---------------------------------------------------------------- canned tools

def device_argument(args):
    for a in args:
        if a.startswith("/dev/"):
            return a
    return None


def run_hdparm(shim):
    dev = device_argument(sys.argv[1:])
    shim.log()
    if dev is None:
        emit(stderr="hdparm: no device given\n")
        return 1
    canned = shim.config.get("hdparm", {}).get(os.path.basename(dev))
    if canned is None:
        emit(stderr="%s: No such file or directory\n" % dev)
        return 2
    emit(stdout=canned.get("stdout", ""), stderr=canned.get("stderr", ""))
    return canned.get("rc", 0)


def run_udevadm(shim):
    args = sys.argv[1:]
    dev = device_argument(args)
    shim.log()
    if not args or args[0] != "info" or dev is None:
        emit(stderr="udevadm: unsupported call in the sandbox\n")
        return 1
    canned = shim.config.get("udevadm", {}).get(os.path.basename(dev))
    if canned is None:
        emit(stderr='Unknown device "%s": No such device\n' % dev)
        return 1
    walk = "-a" in args or "--attribute-walk" in args
    emit(stdout=canned.get("attr" if walk else "info", ""))
    return 0


def run_lsb_release(shim):
    shim.log()
    text = shim.config.get("lsb_release", "")
    fields = {}
    notes = []
    for line in text.splitlines():
        if ":\t" in line:
            k, v = line.split(":\t", 1)
            fields[k] = v
        elif line:
            notes.append(line)
    order = [("i", "Distributor ID"), ("d", "Description"), ("r", "Release"), ("c", "Codename")]
    wanted, short = set(), False
    for a in sys.argv[1:]:
        if a.startswith("--"):
            long_map = {"--all": "a", "--id": "i", "--description": "d", "--release": "r",
                        "--codename": "c", "--short": "s"}
            letters = long_map.get(a, "")
        else:
            letters = a[1:]
        for c in letters:
            if c == "a":
                wanted.update("idrc")
            elif c == "s":
                short = True
            elif c in "idrc":
                wanted.add(c)
    if notes:
        emit(stderr="".join(n + "\n" for n in notes))
    chosen = [(c, k) for c, k in order if c in wanted and k in fields]
    if short:
        emit(stdout=" ".join(fields[k] for _, k in chosen) + ("\n" if chosen else ""))
    else:
        emit(stdout="".join("%s:\t%s\n" % (k, fields[k]) for _, k in chosen))
    return 0


def run_df(shim):
    shim.log()
    emit(stdout=shim.config.get("df", ""))
    return 0


# ---------------------------------------------------------------- wget

def rewrite_server_addresses(args, hosts, port):
    local = "ftp://127.0.0.1:%d" % port
    out = []
    for a in args:
        for h in hosts:
            a = a.replace("ftp://" + h, local)
        out.append(a)
    return out


def run_wget(shim):
    servers = shim.config.get("servers", {})
    args = rewrite_server_addresses(sys.argv[1:], servers.get("hosts", []),
                                    int(servers.get("port", 9)))
    shim.log(rewritten=args)
    sys.stdout.flush()
    # A wget that ends with another status after its transfers (config wget.rc): what it
    # left must not be taken as the wallet's files.
    rc = shim.config.get("wget", {}).get("rc")
    if rc is None:
        os.execv(REAL_WGET, ["wget"] + args)
    subprocess.call([REAL_WGET] + args)
    return rc


# ---------------------------------------------------------------- install

def run_install(shim):
    """install(1) as root would put a file outside the sandbox: the shim records the call and
    the content of the source file (the last but one argument), and copies nothing."""
    args = sys.argv[1:]
    content = None
    if len(args) >= 2:
        try:
            with open(args[-2], "rb") as f:
                content = decode(f.read(1 << 20))
        except OSError as e:
            content = None
            shim.entry["error"] = str(e)
    rc = shim.config.get("tools", {}).get("install", {}).get("rc", 0)
    shim.log(source_content=content, rc=rc)
    if rc:
        emit(stderr="install: cannot create regular file '%s': Permission denied\n" % args[-1])
    return rc


# ---------------------------------------------------------------- log-only tools

def run_log_only(shim):
    consumed = drain_stdin()
    canned = shim.config.get("tools", {}).get(shim.tool, {})
    rc = canned.get("rc", 0)
    # Named arguments (packages) that make the tool fail, as apt-get does for each of them.
    if any(a in canned.get("fail_for", ()) for a in sys.argv[1:]):
        rc = canned.get("fail_rc", 100)
    shim.log(stdin=decode(consumed), rc=rc)
    # A tool that takes its time (a long package installation), logged when it starts.
    time.sleep(canned.get("seconds", 0))
    emit(stdout=canned.get("stdout", ""), stderr=canned.get("stderr", ""))
    return rc


def main(tool, root):
    shim = Shim(tool, root)
    runners = {"sudo": run_sudo, "wget": run_wget, "install": run_install, "df": run_df,
               "hdparm": run_hdparm,
               "udevadm": run_udevadm, "lsb_release": run_lsb_release}
    rc = runners.get(tool, run_log_only)(shim)
    sys.stdout.flush()
    sys.exit(rc)
