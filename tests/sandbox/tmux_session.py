# Drives the installer in a private tmux server (80x24): a plain sh in the pane with the
# sandbox's environment; the run line records `stty -a` before and after and the exit status.
# Every wait polls the screen with a deadline; nothing relies on a fixed sleep.
import os
import platform
import shlex
import signal
import subprocess
import time
import uuid

WIDTH, HEIGHT = 80, 24
TOP_HEADER = " WALLET LINUX INSTALLER 0.10.61 ALPHA"
PASSWORD_PROMPT = "PLEASE ENTER YOUR USER PASSWORD >>> "
# The plan before a root-level installation: its further pages, the keys of its question.
PLAN_MORE = " > PRESS ANY KEY FOR MORE (PAGE "
PLAN_KEYS = ("? [y/f/N]", "? [y/N]")


# System calls in which the program waits for the keyboard: poll, ppoll, select, pselect6,
# read (line input).
WAITING_SYSCALLS = {"x86_64": {7, 271, 23, 270, 0}, "aarch64": {73, 72, 63}}.get(
    platform.machine(), set())


def listed_paths(rows):
    """{number: path} of the selection screen's lines "   #=i  PATH=path"."""
    out = {}
    for r in rows:
        if r.startswith("   #="):
            number, _, path = r[5:].partition("  PATH=")
            out[int(number)] = path.rstrip()
    return out


def shown_rows(rows):
    """The rows as the user reads them: row 1 without the spinner's columns (78-80, where it
    turns while a key is awaited), trailing blanks stripped."""
    return [(r[:77] if i == 0 else r).rstrip() for i, r in enumerate(rows)]


class WaitTimeout(AssertionError):
    pass


class TmuxSession:
    def __init__(self, sandbox, width=WIDTH, height=HEIGHT, pane_command=None):
        """pane_command: what the pane runs instead of the sandbox's shell (an interactive
        sh that shows a "$" prompt)."""
        self.sb = sandbox
        self.socket = "corvane-%s" % uuid.uuid4().hex[:12]
        self.width, self.height = width, height
        self.keys = []  # what the test typed, for failure reports
        self.pid = None
        self.status_file = os.path.join(sandbox.run_dir, "exit-status")
        self.stty_before_file = os.path.join(sandbox.run_dir, "stty-before.txt")
        self.stty_after_file = os.path.join(sandbox.run_dir, "stty-after.txt")
        env = {k: v for k, v in os.environ.items() if not k.startswith("TMUX")}
        if pane_command is None:
            env_words = " ".join(shlex.quote("%s=%s" % kv) for kv in sandbox.env().items())
            pane_command = "exec /usr/bin/env -i %s /bin/sh -i" % env_words
        self._tmux_env = env
        self.tmux("new-session", "-d", "-x", str(width), "-y", str(height), "-s", "corvane",
                  pane_command)
        self.tmux("set-option", "-g", "status", "off")
        # Everything the pane receives, to count redraws and look at the raw bytes.
        self.output_file = os.path.join(sandbox.run_dir, "pane-output.bin")
        self.tmux("pipe-pane", "-t", "corvane", "-o", "cat >> %s" % shlex.quote(self.output_file))
        self.wait_for(lambda rows: any(r.startswith("$") for r in rows), timeout=10,
                      what="the shell prompt")

    def failure_report(self):
        """The screen, the keys sent and, in the sandbox, the shim log: what a failed test's
        report shows."""
        parts = []
        try:
            parts.append("screen:\n" + self.screen_text())
        except Exception as e:  # the tmux server may be gone already
            parts.append("screen: unavailable (%s)" % e)
        parts.append("keys sent: %r" % self.keys)
        log = getattr(self.sb, "log", None)
        if log is not None:
            try:
                parts.append("shim log:\n" + "\n".join(repr(e) for e in log()))
            except Exception as e:
                parts.append("shim log: unavailable (%s)" % e)
        return "\n\n".join(parts)

    # ------------------------------------------------------------ tmux plumbing

    def tmux(self, *args, check=True):
        r = subprocess.run(["tmux", "-L", self.socket, "-f", "/dev/null", *args],
                           env=self._tmux_env, capture_output=True, text=True,
                           encoding="utf-8", errors="replace", timeout=20)
        if check and r.returncode != 0:
            raise RuntimeError("tmux %s failed: %s" % (" ".join(args), r.stderr.strip()))
        return r.stdout

    def close(self):
        self.tmux("kill-server", check=False)
        # The program gets SIGHUP with the pane; wait (bounded) until it is gone.
        if self.pid:
            deadline = time.monotonic() + 10
            while self.running() and time.monotonic() < deadline:
                time.sleep(0.05)
            if self.running():
                os.kill(self.pid, signal.SIGKILL)

    # ------------------------------------------------------------ keys

    def send(self, text, ready=True):
        """Types text literally. With ready, first waits until the program waits for the
        keyboard: keys typed before a menu waits are discarded by design."""
        if ready:
            self.wait_ready()
        self.keys.append(text)
        self.tmux("send-keys", "-t", "corvane", "-l", text)

    def key(self, *names, ready=True):
        """Presses tmux key names: Enter, Escape, Up, Down, Left, Right, F1, Home, BSpace..."""
        for name in names:
            if ready:
                self.wait_ready()
            self.keys.append("<%s>" % name)
            self.tmux("send-keys", "-t", "corvane", name)

    def answer_plan(self, key="y", timeout=30.0):
        """Reads the plan shown before a root-level installation as a user would: a key for
        each further page, then key at its question. Returns the rows of every page."""
        pages = []
        while True:
            rows = self.wait_for(lambda rows: any(r.rstrip().endswith(PLAN_KEYS) or
                                                  r.startswith(PLAN_MORE) for r in rows),
                                 timeout, what="the plan's question")
            pages.append(rows)
            if any(r.startswith(PLAN_MORE) for r in rows):
                self.send(" ")
                self.wait_change(rows)
                continue
            self.send(key)
            return pages

    def waiting_for_input(self):
        """True when the program sleeps in a keyboard wait (poll/select/read)."""
        try:
            with open("/proc/%d/stat" % self.pid) as f:
                state = f.read().rsplit(")", 1)[1].split()[0]
        except (OSError, TypeError):
            return False
        if state != "S":
            return False
        try:
            with open("/proc/%d/syscall" % self.pid) as f:
                fields = f.read().split()
        except PermissionError:
            # Not ours to trace (Yama): the kernel function it sleeps in tells as well.
            try:
                with open("/proc/%d/wchan" % self.pid) as f:
                    wchan = f.read().strip()
            except OSError:
                return True
            return wchan in ("", "0") or any(
                w in wchan for w in ("poll", "select", "wait_woken", "n_tty_read"))
        except OSError:
            return False
        if not fields or fields[0] == "running":
            return False
        try:
            return int(fields[0]) in WAITING_SYSCALLS
        except ValueError:
            return False

    def wait_ready(self, timeout=15.0):
        """Waits until the running program has sat in a keyboard wait for two samples in a row
        (no-op when no program runs or the kernel does not tell)."""
        if not self.pid or not self.running() or not WAITING_SYSCALLS:
            return
        deadline = time.monotonic() + timeout
        streak = 0
        while time.monotonic() < deadline:
            streak = streak + 1 if self.waiting_for_input() else 0
            if streak >= 2:
                return
            if not self.running():
                return
            time.sleep(0.01)
        raise WaitTimeout("the program never waited for a key\n" + self.screen_text())

    def type_line(self, text):
        self.send(text)
        self.key("Enter")

    # ------------------------------------------------------------ screen

    def rows(self):
        """The 24 rows as drawn, trailing blanks that were printed kept (capture-pane -N)."""
        out = self.tmux("capture-pane", "-p", "-N", "-t", "corvane")
        rows = out.split("\n")[: self.height]
        return rows + [""] * (self.height - len(rows))

    def row(self, n):
        """Row n, 1-based as the program counts."""
        return self.rows()[n - 1]

    def screen_text(self):
        return "\n".join("%2d|%s|" % (i + 1, r) for i, r in enumerate(self.rows()))

    def output(self):
        """The raw bytes written to the pane so far."""
        try:
            with open(self.output_file, "rb") as f:
                return f.read()
        except FileNotFoundError:
            return b""

    def count_output(self, text):
        return self.output().count(text.encode() if isinstance(text, str) else text)

    def wait_output_count(self, text, count, timeout=10.0, poll=0.03):
        """Waits until text occurs at least count times in the pane's raw output, looking
        every poll seconds; returns the monotonic time it was seen."""
        deadline = time.monotonic() + timeout
        while self.count_output(text) < count:
            if time.monotonic() > deadline:
                raise WaitTimeout("expected %r %d times in the output, saw %d\n%s"
                                  % (text, count, self.count_output(text), self.screen_text()))
            time.sleep(poll)
        return time.monotonic()

    def pane_tty(self):
        return self.tmux("display-message", "-p", "-t", "corvane", "#{pane_tty}").strip()

    def cursor(self):
        """(row, column), 1-based."""
        x, y = self.tmux("display-message", "-p", "-t", "corvane",
                         "#{cursor_x},#{cursor_y}").strip().split(",")
        return int(y) + 1, int(x) + 1

    def wait_for(self, target, timeout=10.0, what=None):
        """Waits until the screen holds the text target (or the predicate target(rows) is
        true); returns the rows. Raises WaitTimeout with the screen."""
        pred = target if callable(target) else (lambda rows: any(target in r for r in rows))
        deadline = time.monotonic() + timeout
        while True:
            rows = self.rows()
            if pred(rows):
                return rows
            if time.monotonic() > deadline:
                raise WaitTimeout("timed out after %.1f s waiting for %s\n%s"
                                  % (timeout, what or repr(target), self.screen_text()))
            time.sleep(0.03)

    def wait_change(self, before, timeout=10.0):
        return self.wait_for(lambda rows: rows != before, timeout, what="a change of the screen")

    def wait_stable(self, quiet=0.3, timeout=10.0):
        """Waits until the screen stayed the same for `quiet` seconds (spinner column aside)."""
        deadline = time.monotonic() + timeout
        last, since = None, time.monotonic()
        while time.monotonic() < deadline:
            rows = shown_rows(self.rows())
            if rows != last:
                last, since = rows, time.monotonic()
            elif time.monotonic() - since >= quiet:
                return self.rows()
            time.sleep(0.03)
        raise WaitTimeout("the screen never settled\n" + self.screen_text())

    # ------------------------------------------------------------ the program

    def inside(self, path):
        """The path as the pane's shell sees it (the same here)."""
        return path

    def launch(self, program=None, one_job=False):
        """Types the run line: cd to the program folder, stty -a before, the program, its
        exit status and stty -a after. Returns the program's pid once it runs. With one_job the
        program, its status and stty -a after are one job of the pane's shell, so that Ctrl-Z
        stops all of it and fg goes on with all of it (otherwise the shell would run the rest of
        the line as soon as the program stopped)."""
        program = program or self.sb.program
        self.pid = None
        for f in (self.status_file, self.stty_before_file, self.stty_after_file):
            if os.path.exists(f):
                os.unlink(f)
        folder, name = os.path.split(self.inside(program))
        q = lambda path: shlex.quote(self.inside(path))  # noqa: E731
        # The program runs in a subshell: an interactive shell that sees its foreground job
        # die of SIGINT would drop the rest of the line.
        tmp = self.status_file + ".tmp"
        form = ("cd %s && stty -a >%s; ((./%s; echo $? >%s); stty -a >%s; mv %s %s)" if one_job
                else "cd %s && stty -a >%s; (./%s; echo $? >%s); stty -a >%s; mv %s %s")
        line = form % (q(folder), q(self.stty_before_file), q(name), q(tmp),
                       q(self.stty_after_file), q(tmp), q(self.status_file))
        self.type_line(line)
        self.pid = self.find_pid(program)
        return self.pid

    def start(self, password="secret", timeout=15.0, one_job=False):
        """Launches and brings the program to its top screen, answering the password prompt
        with `password` when it appears (None: leave the prompt to the test)."""
        self.launch(one_job=one_job)
        rows = self.wait_for(lambda rows: any(PASSWORD_PROMPT in r for r in rows)
                             or rows[0].startswith(TOP_HEADER), timeout,
                             what="the top screen or the password prompt")
        if any(PASSWORD_PROMPT in r for r in rows):
            if password is None:
                return rows
            self.type_line(password)
        return self.wait_for(lambda rows: rows[0].startswith(TOP_HEADER), timeout,
                             what="the top screen")

    def find_pid(self, program, timeout=10.0, launched_by_run_line=True):
        real = os.path.realpath(program)
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            for entry in os.listdir("/proc"):
                if not entry.isdigit():
                    continue
                try:
                    if os.readlink("/proc/%s/exe" % entry) == real:
                        return int(entry)
                except OSError:
                    continue
            if launched_by_run_line and os.path.exists(self.status_file):
                return None  # it already ended
            time.sleep(0.01)
        raise WaitTimeout("the program did not start\n" + self.screen_text())

    def running(self):
        if not self.pid:
            return False
        try:
            with open("/proc/%d/stat" % self.pid) as f:
                return f.read().rsplit(")", 1)[1].split()[0] != "Z"
        except OSError:
            return False

    def exit_status(self, timeout=10.0):
        """Waits for the program to end; returns its exit status as the shell saw it."""
        deadline = time.monotonic() + timeout
        while not os.path.exists(self.status_file):
            if time.monotonic() > deadline:
                raise WaitTimeout("the program did not end\n" + self.screen_text())
            time.sleep(0.03)
        with open(self.status_file) as f:
            return int(f.read())

    def stty(self):
        """(stty -a before, stty -a after) as the pane's shell saw them."""
        with open(self.stty_before_file) as f:
            before = f.read()
        with open(self.stty_after_file) as f:
            after = f.read()
        return before, after

    def log(self, tool=None):
        """The sandbox's shim log, parsed."""
        return self.sb.log(tool)

    def signal(self, sig):
        os.kill(self.pid, sig)
