# The release is reproducible: a second build of the same checkout, in another build folder,
# without ccache and at another time, gives the same bytes for the static binary and for the
# package as the build in dist/ (scripts/release.sh, run first with the same --keyring: the
# key file is named in CORVANE_RELEASE_KEYRING when there is one).
import os
import subprocess
import tempfile

import pytest

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))
DIST = os.path.join(REPO, "dist")


def read(path):
    with open(path, "rb") as f:
        return f.read()


def listing(deb):
    return subprocess.run(["dpkg-deb", "-c", deb], capture_output=True, text=True,
                          check=True).stdout


def test_a_second_build_gives_the_same_binary_and_package():
    debs = sorted(n for n in os.listdir(DIST) if n.endswith(".deb")) if os.path.isdir(DIST) else []
    if not debs:
        pytest.fail("no release in %s: run scripts/release.sh first" % DIST)
    keyring = os.environ.get("CORVANE_RELEASE_KEYRING", "")
    with tempfile.TemporaryDirectory(prefix="corvane-again-", dir=os.path.join(REPO, "build")) as t:
        argv = [os.path.join(REPO, "scripts", "release.sh"), "--out", os.path.join(t, "out"),
                "--build", os.path.join(t, "build")]
        if keyring:
            argv += ["--keyring", keyring]
        env = dict(os.environ, CCACHE_DISABLE="1")
        env.pop("SOURCE_DATE_EPOCH", None)
        r = subprocess.run(argv, env=env, capture_output=True, text=True, timeout=1800)
        assert r.returncode == 0, r.stdout + r.stderr
        again = os.path.join(t, "out")
        assert sorted(n for n in os.listdir(again) if n.endswith(".deb")) == debs
        name = "installWalletForLinux"
        assert read(os.path.join(again, name)) == read(os.path.join(DIST, name))
        first, second = os.path.join(DIST, debs[0]), os.path.join(again, debs[0])
        assert listing(second) == listing(first)
        assert read(second) == read(first)
