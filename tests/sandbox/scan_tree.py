# A folder tree with a given number of entries (as find counts them, the top folder included)
# for the scan's progress test and benchmark. Slow to make, so it is made once and kept under
# /var/cache/corvane-tests (outside every clone); it is only ever read.
import os
import shutil
import tempfile

CACHE = "/var/cache/corvane-tests"
FILES_PER_FOLDER = 999


def ensure_scan_tree(entries=200_000):
    """The path of a tree of exactly `entries` entries: the top folder, folders d000...,
    each with up to FILES_PER_FOLDER empty files. No entry is named wallet."""
    path = os.path.join(CACHE, "tree-%d" % entries)
    if os.path.isdir(path):
        return path
    os.makedirs(CACHE, exist_ok=True)
    work = tempfile.mkdtemp(prefix=".scan-tree-", dir=CACHE)
    left = entries - 1
    folder = 0
    while left > 0:
        d = os.path.join(work, "d%03d" % folder)
        os.mkdir(d)
        left -= 1
        for i in range(min(FILES_PER_FOLDER, left)):
            os.close(os.open(os.path.join(d, "f%04d" % i), os.O_WRONLY | os.O_CREAT, 0o644))
        left -= min(FILES_PER_FOLDER, left)
        folder += 1
    os.chmod(work, 0o755)
    try:
        os.rename(work, path)  # another run may have made it meanwhile: keep theirs
    except OSError:
        shutil.rmtree(work, ignore_errors=True)
    return path


def make_long_path_tree(top, entries=40_000, path_bytes=3_600):
    """Below top: a chain of folders with long names, then in the deepest one files so that
    the tree holds `entries` entries (as find counts them, top included), nearly all with
    paths of path_bytes bytes. No entry is named wallet. Returns the deepest folder."""
    os.makedirs(top, exist_ok=True)
    deep = top
    while len(deep) < path_bytes - 200:
        deep = os.path.join(deep, "l" * max(1, min(240, path_bytes - 201 - len(deep))))
    os.makedirs(deep, exist_ok=True)
    made = sum(1 for _ in os.walk(top))  # the folders of the chain, top included
    fd = os.open(deep, os.O_RDONLY | os.O_DIRECTORY)
    try:
        stem = "f" * (path_bytes - len(deep) - 7)  # the slash and six digits
        for i in range(entries - made):
            os.close(os.open("%s%06d" % (stem, i), os.O_WRONLY | os.O_CREAT, 0o644, dir_fd=fd))
    finally:
        os.close(fd)
    return deep
