"""scripts/clang-tidy.sh on small made-up source trees: it fails and names file, line and check
for a finding of .clang-tidy (also one in a header), passes a clean tree, and without
clang-tidy skips outside CI but fails in CI."""

import json
import os
import shutil
import subprocess

import pytest

SCRIPT = os.path.join(os.path.dirname(__file__), "..", "..", "scripts", "clang-tidy.sh")

CLEAN = """#include <string>

int twice(int x) { return 2 * x; }
"""

# 70 lines in one body: over the bound of 60.
LONG = "int longOne(int x) {\n" + "    x += 1;\n" * 70 + "    return x;\n}\n"

# A string built from temporaries inside a loop.
CONCATENATION = """#include <string>
#include <vector>

std::string joined(const std::vector<std::string>& names) {
    std::string all;
    for (const std::string& name : names) {
        all = all + "/" + name;
    }
    return all;
}
"""

# The finding is in the header, which two files include: it is listed once, at the header.
HEADER = """#pragma once
#include <string>

inline std::string copied(const std::string& a) {
    const std::string b = a + "x";
    return b;
}
"""


def make_tree(root, files):
    """Writes files (path below src -> text) and a compile_commands.json for the .cpp files;
    returns (build folder, source folder)."""
    src = root / "src"
    build = root / "build"
    build.mkdir()
    commands = []
    for rel, text in files.items():
        path = src / rel
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_text(text)
        if rel.endswith(".cpp"):
            commands.append({"directory": str(build), "file": str(path),
                             "command": "c++ -std=c++20 -I%s -c %s" % (src, path)})
    (build / "compile_commands.json").write_text(json.dumps(commands))
    return str(build), str(src)


def run(build, src, env=None):
    return subprocess.run(["/bin/sh", SCRIPT, build, src], capture_output=True, text=True,
                          timeout=300, env=env)


needs_clang_tidy = pytest.mark.skipif(shutil.which("clang-tidy") is None,
                                      reason="clang-tidy is not installed")

CASES = [
    # name, files, expected findings (file below src, line, check)
    ("clean", {"a/clean.cpp": CLEAN}, []),
    ("long function", {"a/clean.cpp": CLEAN, "a/long.cpp": LONG},
     [("a/long.cpp", 1, "readability-function-size")]),
    ("concatenation in a loop", {"b/join.cpp": CONCATENATION},
     [("b/join.cpp", 7, "performance-inefficient-string-concatenation")]),
    ("header", {"c/copy.h": HEADER, "c/one.cpp": '#include "c/copy.h"\n',
                "c/two.cpp": '#include "c/copy.h"\n'},
     [("c/copy.h", 6, "performance-no-automatic-move")]),
]


@needs_clang_tidy
@pytest.mark.parametrize("name,files,expected", CASES, ids=[c[0] for c in CASES])
def test_findings(tmp_path, name, files, expected):
    build, src = make_tree(tmp_path, files)
    r = run(build, src)
    out = r.stdout + r.stderr
    if not expected:
        assert r.returncode == 0, out
        assert "clang-tidy: no findings" in r.stdout
        return
    assert r.returncode == 1, out
    listed = r.stdout[r.stdout.index("clang-tidy findings:"):].splitlines()[1:-1]
    assert listed == ["%s/%s:%d: [%s]" % (src, f, line, check) for f, line, check in expected]
    assert "CLANG-TIDY: %d findings" % len(expected) in r.stdout


def test_without_clang_tidy(tmp_path):
    build, src = make_tree(tmp_path, {"a/clean.cpp": CLEAN})
    # A PATH with the tools the script needs before it looks for clang-tidy, and not that.
    tools = tmp_path / "bin"
    tools.mkdir()
    os.symlink(shutil.which("dirname"), tools / "dirname")
    env = {"PATH": str(tools)}
    r = run(build, src, env)
    assert r.returncode == 0, r.stdout + r.stderr
    assert "the check of src/ is skipped" in r.stdout
    r = run(build, src, dict(env, CI="true"))
    assert r.returncode == 1, r.stdout + r.stderr
    assert "clang-tidy: not installed" in r.stderr
