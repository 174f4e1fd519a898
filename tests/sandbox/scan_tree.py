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
