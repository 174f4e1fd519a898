"""The layer check of scripts/folder-graph.py on small made-up trees: it must fail on each kind
of fault it names, and pass a tree that keeps the layer order."""

import os
import subprocess

import pytest

SCRIPT = os.path.join(os.path.dirname(__file__), "..", "..", "scripts", "folder-graph.py")


def make_tree(root, files):
    for rel, includes in files.items():
        path = root / rel
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_text("".join(f'#include "{target}"\n' for target in includes))


CASES = [
    # name, files (path -> included paths), expected exit status, expected complaint
    ("layered", {"core/a.h": [], "host/b.h": ["core/a.h"], "host/b.cpp": ["host/b.h"],
                 "app/main.cpp": ["host/b.h", "core/a.h"]}, 0, None),
    ("upward", {"core/a.h": ["host/b.h"], "host/b.h": []}, 1,
     "arrow core -> host does not point to a lower layer"),
    ("same layer", {"config/a.h": [], "cipher/b.cpp": ["config/a.h"]}, 1,
     "arrow cipher -> config does not point to a lower layer"),
    ("folder cycle", {"host/a.cpp": ["console/b.h"], "console/b.h": [],
                      "console/b.cpp": ["host/a.h"], "host/a.h": []}, 1,
     "folder cycle among console host"),
    # No header includes another: the circle is only there with a.cpp and a.h taken as one.
    ("file circle", {"install/a.h": [], "install/a.cpp": ["install/b.h"], "install/b.h": [],
                     "install/b.cpp": ["install/a.h"]}, 1,
     "file cycle among install/a install/b"),
    ("unknown folder", {"extra/a.h": []}, 1, "folder extra/ has no place in the layer order"),
    ("missing include", {"host/a.cpp": ["host/gone.h"]}, 1,
     'include "host/gone.h" is not a file of src/'),
    # A header generated into the build folder is found through its template in src/ ...
    ("generated header", {"core/c.h.in": [], "net/d.cpp": ["core/c.h"]}, 0, None),
    # ... and keeps its place in the layers like any other header.
    ("generated header upward", {"app/c.h.in": [], "net/d.cpp": ["app/c.h"]}, 1,
     "arrow net -> app does not point to a lower layer"),
    # A template's own includes count, and it is one file with the header it makes.
    ("generated header circle", {"host/c.h.in": ["host/d.h"], "host/d.h": [],
                                 "host/d.cpp": ["host/c.h"]}, 1,
     "file cycle among host/c host/d"),
]


@pytest.mark.parametrize("name,files,status,complaint", CASES, ids=[c[0] for c in CASES])
def test_layer_check(tmp_path, name, files, status, complaint):
    src = tmp_path / "src"
    make_tree(src, files)
    run = subprocess.run(["/usr/bin/python3", SCRIPT, str(src)], capture_output=True, text=True,
                         timeout=60)
    assert run.returncode == status, run.stdout + run.stderr
    if complaint is None:
        assert run.stderr == ""
        assert "folder cycles: none" in run.stdout
    else:
        assert complaint in run.stderr, run.stderr
