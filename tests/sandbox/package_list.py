# The installer's package list as the tests read it: src/provision/package_list.def, the one
# file the program is built from too, so no test carries a copy of the list.
import os
import re

HERE = os.path.dirname(os.path.abspath(__file__))
LIST_FILE = os.path.join(os.path.dirname(os.path.dirname(HERE)), "src", "provision",
                         "package_list.def")
GROUP_NAMES = ("PACKAGES_32BIT", "PACKAGES_64BIT", "PACKAGES_FONTS", "PACKAGES_PROGRAMS")
KERNEL_RELEASE = "$(uname -r)"
TERMINALS = ("xterm", "gnome-terminal", "xfce4-terminal")


def groups(release=None):
    """{group: [entries in order]} with the kernel headers entry completed with `release`
    (the running kernel's by default)."""
    with open(LIST_FILE, encoding="utf-8") as f:
        text = "\n".join(line for line in f.read().splitlines()
                         if not line.lstrip().startswith("//"))
    release = os.uname().release if release is None else release
    out = {}
    for name in GROUP_NAMES:
        body = re.search(r"\b%s\((.*?)\n\)" % name, text, re.S)
        if body is None:
            raise ValueError("%s: no %s( ... ) in the list" % (LIST_FILE, name))
        out[name] = [e.replace(KERNEL_RELEASE, release)
                     for e in re.findall(r'"([^"]*)"', body.group(1))]
    return out


def entries(release=None):
    """Every entry of the four groups, in installation order (recurring names recur)."""
    return [e for g in groups(release).values() for e in g]


def distinct(release=None):
    """Each name once, where the list names it first."""
    seen, out = set(), []
    for e in entries(release):
        if e not in seen:
            seen.add(e)
            out.append(e)
    return out


def group_runs(skip=(), release=None):
    """The names each group installs on a machine that has none of them: the names of the
    group that no earlier group (nor `skip`) named, in order; groups left empty are left out."""
    seen, out = set(skip), []
    for entries in groups(release).values():
        fresh = []
        for e in entries:
            if e not in seen:
                seen.add(e)
                fresh.append(e)
        if fresh:
            out.append(fresh)
    return out
