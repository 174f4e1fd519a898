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
    "apt", "su", "usermod", "skill", "debconf-set-selections", "dpkg-reconfigure", "gedit",
    "gnome-terminal", "xfce4-terminal", "mate-terminal", "uxterm", "xterm",
)
# The package tools answer from the sandbox's package table (config "packages").
PACKAGE_TOOLS = ("apt-get", "apt-cache", "dpkg-query", "dpkg")
CANNED_TOOLS = ("df", "hdparm", "udevadm", "lsb_release")
ALL_TOOLS = ("sudo", "wget", "install") + LOG_ONLY_TOOLS + PACKAGE_TOOLS + CANNED_TOOLS

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

def parse_sudo_args(args, values=None):
    """Returns (flag letters, command argv); the values of options that take one go into
    `values` ({letter: value}, when given)."""
    flags = ""
    values = {} if values is None else values
    i = 0
    while i < len(args):
        a = args[i]
        if a == "--":
            i += 1
            break
        if not a.startswith("-") or a == "-":
            break
        if a.startswith("--"):
            name, eq, value = a[2:].partition("=")
            long_flags = {"stdin": "S", "non-interactive": "n", "validate": "v",
                          "reset-timestamp": "k", "remove-timestamp": "K"}
            flags += long_flags.get(name, "")
            if not eq and name in ("user", "group", "prompt", "close-from", "chdir",
                                   "role", "type", "other-user", "host"):
                i += 1
                value = args[i] if i < len(args) else ""
            if name == "prompt":
                values["p"] = value
            i += 1
            continue
        letters = a[1:]
        j = 0
        while j < len(letters):
            c = letters[j]
            if c in SUDO_VALUE_OPTIONS:
                if j == len(letters) - 1:
                    i += 1  # the value is the next word
                    values[c] = args[i] if i < len(args) else ""
                else:
                    values[c] = letters[j + 1:]
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
    values = {}
    flags, command = parse_sudo_args(sys.argv[1:], values)
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
    # As the real sudo: -p PROMPT replaces the prompt, and an empty one prints nothing.
    prompt = values.get("p", "[sudo] password for %u: ").replace("%u", user).replace("%p", user)
    if asks and cfg.get("prompt", True) and prompt:
        emit(stderr=prompt)
    password = read_line_from_stdin() if asks else b""
    shim.entry["stdin"] = decode(password)
    expected = cfg.get("password")
    typed = decode(password).rstrip("\n")
    if asks and expected is not None and typed != expected:
        shim.log(ran=False, rc=1, refused="wrong password")
        emit(stderr="Sorry, try again.\n%s\n"
                    "sudo: no password was provided\nsudo: 1 incorrect password attempt\n"
                    % prompt)
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


# ---------------------------------------------------------------- package tools
# The table (Sandbox.set_packages): "installed" names as the list spells them ("name" is the
# native architecture's, "name:i386" a foreign one), "unavailable" names apt has no candidate
# for, "failing" {name: apt-get exit status}, "foreign_architectures", "update_rc". Every other
# name is available. apt-get install adds what it installed to the table, as dpkg would.

DEFAULT_PACKAGES = {"architecture": "amd64", "foreign_architectures": ["i386"], "installed": [],
                    "unavailable": [], "failing": {}, "update_rc": 0}


def package_table(shim):
    table = dict(DEFAULT_PACKAGES)
    table.update(shim.config.get("packages", {}))
    return table


def split_arch(name, table):
    base, _, arch = name.partition(":")
    return base, arch or table["architecture"]


def key(name, table):
    """The table's spelling of a name: the native architecture's without its qualifier."""
    base, arch = split_arch(name, table)
    return base if arch == table["architecture"] else base + ":" + arch


def is_installed(name, table):
    return key(name, table) in table["installed"]


def is_available(name, table):
    _, arch = split_arch(name, table)
    if arch != table["architecture"] and arch not in table["foreign_architectures"]:
        return False
    return key(name, table) not in table["unavailable"]


def save_installed(shim, table):
    config = load_config(shim.root)
    config.setdefault("packages", {})["installed"] = table["installed"]
    path = os.path.join(shim.root, "config", "config.json")
    tmp = path + ".%d" % os.getpid()
    with open(tmp, "w", encoding="utf-8") as f:
        json.dump(config, f, indent=1)
    os.replace(tmp, path)


def apt_size(size):
    """A size as apt prints it: "30.9 kB", "150 MB"."""
    units = ["B", "kB", "MB", "GB", "TB"]
    value, unit = float(size), 0
    while value >= 1000 and unit < len(units) - 1:
        value, unit = value / 1000, unit + 1
    if value < 100 and unit:
        return "%.1f %s" % (value, units[unit])
    return "%.0f %s" % (value, units[unit])


def run_apt_get(shim):
    # (The plan's estimate is answered from the table even where a test canned apt-get's
    # installs.)
    if "apt-get" in shim.config.get("tools", {}) and "--print-uris" not in sys.argv[1:]:
        return run_log_only(shim)  # a canned answer set by the test (rc, output, time taken)
    table = package_table(shim)
    args = sys.argv[1:]
    words = [a for a in args if not a.startswith("-")]
    simulate = any(a in ("-s", "--simulate", "--dry-run", "--just-print", "--no-act")
                   for a in args)
    if words[:1] == ["update"]:
        rc = table["update_rc"]
        shim.log(rc=rc)
        emit(stdout="Reading package lists... Done\n",
             stderr="" if rc == 0 else "E: Some index files failed to download.\n")
        return rc
    if words[:1] != ["install"]:
        shim.log(rc=100)
        emit(stderr="E: unsupported call in the sandbox\n")
        return 100
    names = words[1:]
    missing = [n for n in names if not is_available(n, table)]
    if missing:
        shim.log(rc=100)
        emit(stderr="".join("E: Unable to locate package %s\n" % n for n in missing))
        return 100
    rc = max([int(table["failing"].get(key(n, table), 0)) for n in names] + [0])
    shim.log(rc=rc)
    if any(a == "--print-uris" for a in args):
        # What apt says before a download: how many packages with what they need, and the
        # sizes (each name stands for three packages of 1.5 MB, 4.5 MB on disk).
        emit(stdout="0 upgraded, %d newly installed, 0 to remove and 0 not upgraded.\n"
                    "Need to get %s of archives.\n"
                    "After this operation, %s of additional disk space will be used.\n"
             % (3 * len(names), apt_size(1500000 * len(names)), apt_size(4500000 * len(names))))
        return 0
    if simulate:
        return 0
    fresh = [key(n, table) for n in names
             if not is_installed(n, table) and key(n, table) not in table["failing"]]
    if fresh:
        table["installed"] = table["installed"] + fresh
        save_installed(shim, table)
    if rc:
        emit(stderr="E: Sub-process /usr/bin/dpkg returned an error code (1)\n")
    return rc


def run_apt_cache(shim):
    table = package_table(shim)
    args = [a for a in sys.argv[1:] if not a.startswith("-")]
    shim.log()
    if not args or args[0] not in ("policy", "showpkg"):
        emit(stderr="E: unsupported call in the sandbox\n")
        return 100
    out, err = [], []
    for name in args[1:]:
        if not is_available(name, table) and not is_installed(name, table):
            if args[0] == "showpkg":
                err.append("N: Unable to locate package %s\n" % name)
            continue
        base, arch = split_arch(name, table)
        shown = base if arch == table["architecture"] else base + ":" + arch
        if args[0] == "policy":
            installed = "1.0-sandbox" if is_installed(name, table) else "(none)"
            out.append("%s:\n  Installed: %s\n  Candidate: 1.0-sandbox\n  Version table:\n"
                       "     1.0-sandbox 500\n        500 file:/sandbox ./ Packages\n"
                       % (shown, installed))
        else:
            out.append("Package: %s\nVersions: \n1.0-sandbox (/sandbox/Packages)\n\n"
                       "Reverse Depends: \nDependencies: \nProvides: \nReverse Provides: \n"
                       % shown)
    emit(stdout="".join(out), stderr="".join(err))
    return 0


def dpkg_query_format(fmt, fields):
    out = re.sub(r"\$\{([^}]+)\}", lambda m: fields.get(m.group(1), ""), fmt)
    return out.replace("\\n", "\n").replace("\\t", "\t")


def run_dpkg_query(shim):
    table = package_table(shim)
    args = sys.argv[1:]
    shim.log()
    fmt, names, i = "${binary:Package}\t${Version}\n", [], 0
    show = False
    while i < len(args):
        a = args[i]
        if a in ("-W", "--show"):
            show = True
        elif a.startswith("-f=") or a.startswith("--showformat="):
            fmt = a.split("=", 1)[1]
        elif a in ("-f", "--showformat") and i + 1 < len(args):
            fmt = args[i + 1]
            i += 1
        elif not a.startswith("-"):
            names.append(a)
        i += 1
    if not show:
        emit(stderr="dpkg-query: unsupported call in the sandbox\n")
        return 2
    entries = []
    for k in table["installed"]:
        base, arch = split_arch(k, table)
        entries.append({"Package": base, "Architecture": arch, "Version": "1.0-sandbox",
                        "Status": "install ok installed", "db:Status-Abbrev": "ii ",
                        "Provides": "", "binary:Package": k})
    rc, out = 0, []
    if not names:
        out = [dpkg_query_format(fmt, e) for e in entries]
    for name in names:
        found = [e for e in entries if e["binary:Package"] == key(name, table)
                 or (":" not in name and e["Package"] == name)]
        if not found:
            emit(stderr="dpkg-query: no packages found matching %s\n" % name)
            rc = 1
        out += [dpkg_query_format(fmt, e) for e in found]
    emit(stdout="".join(out))
    return rc


def run_dpkg(shim):
    table = package_table(shim)
    args = sys.argv[1:]
    if args == ["--print-architecture"]:
        shim.log(rc=0)
        emit(stdout=table["architecture"] + "\n")
        return 0
    if args == ["--print-foreign-architectures"]:
        shim.log(rc=0)
        emit(stdout="".join(a + "\n" for a in table["foreign_architectures"]))
        return 0
    return run_log_only(shim)  # dpkg -i and the rest: logged, with the canned answer

# ---------------------------------------------------------------- terminal emulators

TERMINAL_TOOLS = ("gnome-terminal", "xfce4-terminal", "mate-terminal", "uxterm", "xterm")


def run_terminal(shim):
    """A terminal emulator runs what follows its -e or -x, as xterm does (and waits for it);
    only a program inside the sandbox is started."""
    args = sys.argv[1:]
    command = []
    for i, a in enumerate(args):
        if a in ("-e", "-x"):
            command = args[i + 1:]
            break
    runs = bool(command) and shim.inside(command[0])
    shim.log(ran=runs, rc=0)
    if not runs:
        return 0
    try:
        return subprocess.call(command, stdin=subprocess.DEVNULL)
    except OSError as e:
        emit(stderr="%s: %s\n" % (shim.tool, e))
        return 1


def main(tool, root):
    shim = Shim(tool, root)
    runners = {"sudo": run_sudo, "wget": run_wget, "install": run_install, "df": run_df,
               "hdparm": run_hdparm,
               "udevadm": run_udevadm, "lsb_release": run_lsb_release, "apt-get": run_apt_get,
               "apt-cache": run_apt_cache, "dpkg-query": run_dpkg_query, "dpkg": run_dpkg}
    runners.update((t, run_terminal) for t in TERMINAL_TOOLS)
    rc = runners.get(tool, run_log_only)(shim)
    sys.stdout.flush()
    sys.exit(rc)
