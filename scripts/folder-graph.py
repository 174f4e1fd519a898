#!/usr/bin/python3
"""Draws the include graph of src/ and checks it against the layer order.

Prints every arrow between folders with the number of #include "..." lines behind it, then the
cycles among folders and among files (a header and its .cpp count as one file, so that
a.cpp -> b.h and b.cpp -> a.h is a circle), and the arrows that do not point to a lower layer.
A header that CMake writes into the build folder (configure_file) stands in src/ as its
template, the header's path with ".in" added, and counts as the header.
Exits 1 when there is any of those, 0 otherwise.

Usage: scripts/folder-graph.py [SRC_DIR]   (default: src/ of this repository)
"""

import os
import re
import sys

# Bottom first; a folder may include only folders of lower layers (and itself).
LAYERS = [
    ["core"],
    ["host"],
    ["config", "cipher", "stardate"],
    ["console"],
    ["privilege", "net", "provision", "storage"],
    ["install", "help"],
    ["app"],
]

INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')
SOURCE_SUFFIXES = (".h", ".hpp", ".cpp", ".cc", ".h.in")
# Added to a header's path by its template in src/ (the generated header is in the build folder).
TEMPLATE_SUFFIX = ".in"


def layer_of():
    return {folder: rank for rank, folders in enumerate(LAYERS) for folder in folders}


def source_files(src):
    for root, _dirs, names in os.walk(src):
        for name in names:
            if name.endswith(SOURCE_SUFFIXES):
                yield os.path.relpath(os.path.join(root, name), src)


def includes(src, rel, problems):
    """The project files that rel includes, as paths relative to src."""
    found = []
    with open(os.path.join(src, rel), encoding="utf-8", errors="replace") as f:
        for number, line in enumerate(f, 1):
            m = INCLUDE.match(line)
            if not m:
                continue
            target = m.group(1)
            beside = os.path.normpath(os.path.join(os.path.dirname(rel), target))
            for candidate in (os.path.normpath(target), beside,
                              os.path.normpath(target) + TEMPLATE_SUFFIX,
                              beside + TEMPLATE_SUFFIX):
                if os.path.isfile(os.path.join(src, candidate)):
                    found.append(candidate)
                    break
            else:
                problems.append(f"{rel}:{number}: include \"{target}\" is not a file of src/")
    return found


def folder(rel):
    parts = rel.split(os.sep)
    return parts[0] if len(parts) > 1 else "."


def module(rel):
    if rel.endswith(TEMPLATE_SUFFIX):
        rel = rel[:-len(TEMPLATE_SUFFIX)]
    return os.path.splitext(rel)[0]


def strongly_connected(nodes, edges):
    """Tarjan's algorithm; returns the components with more than one node or a self loop."""
    index, low, on_stack, stack, result = {}, {}, set(), [], []
    counter = [0]

    def visit(v):
        # Iterative, so that a long include chain cannot exhaust Python's recursion limit.
        work = [(v, iter(sorted(edges.get(v, ()))))]
        index[v] = low[v] = counter[0]
        counter[0] += 1
        stack.append(v)
        on_stack.add(v)
        while work:
            node, children = work[-1]
            advanced = False
            for w in children:
                if w not in index:
                    index[w] = low[w] = counter[0]
                    counter[0] += 1
                    stack.append(w)
                    on_stack.add(w)
                    work.append((w, iter(sorted(edges.get(w, ())))))
                    advanced = True
                    break
                if w in on_stack:
                    low[node] = min(low[node], index[w])
            if advanced:
                continue
            work.pop()
            if work:
                low[work[-1][0]] = min(low[work[-1][0]], low[node])
            if low[node] == index[node]:
                component = []
                while True:
                    w = stack.pop()
                    on_stack.discard(w)
                    component.append(w)
                    if w == node:
                        break
                if len(component) > 1 or node in edges.get(node, ()):
                    result.append(sorted(component))

    for v in sorted(nodes):
        if v not in index:
            visit(v)
    return result


def one_cycle(component, edges):
    """A closed walk through the component starting at its first node (shortest back)."""
    members = set(component)
    start = component[0]
    # Breadth-first from start's successors back to start, inside the component.
    previous = {}
    frontier = [w for w in sorted(edges.get(start, ())) if w in members]
    for w in frontier:
        previous.setdefault(w, start)
    while frontier and start not in frontier:
        following = []
        for v in frontier:
            for w in sorted(edges.get(v, ())):
                if w in members and w not in previous:
                    previous[w] = v
                    following.append(w)
        frontier = following
    path = [start]
    node = previous.get(start, start)
    while node != start:
        path.append(node)
        node = previous[node]
    path.append(start)
    return list(reversed(path))


def main(argv):
    here = os.path.dirname(os.path.abspath(__file__))
    src = argv[1] if len(argv) > 1 else os.path.join(here, "..", "src")
    src = os.path.normpath(src)
    problems = []
    ranks = layer_of()

    file_edges = {}
    folder_counts = {}
    files = sorted(source_files(src))
    for rel in files:
        for target in includes(src, rel, problems):
            a, b = module(rel), module(target)
            if a != b:
                file_edges.setdefault(a, set()).add(b)
            fa, fb = folder(rel), folder(target)
            if fa != fb:
                folder_counts[(fa, fb)] = folder_counts.get((fa, fb), 0) + 1

    folders = sorted({folder(rel) for rel in files})
    print(f"folder graph of {os.path.relpath(src)}/ (arrow: include lines)")
    for (a, b), count in sorted(folder_counts.items()):
        print(f"  {a:>9} -> {b:<9} {count:3}")
    print("layers, bottom first: " + " | ".join(" ".join(group) for group in LAYERS))

    for name in folders:
        if name not in ranks:
            problems.append(f"folder {name}/ has no place in the layer order")

    upward = [
        (a, b, c)
        for (a, b), c in sorted(folder_counts.items())
        if a in ranks and b in ranks and ranks[b] >= ranks[a]
    ]
    print("arrows not pointing to a lower layer: " + ("none" if not upward else str(len(upward))))
    for a, b, count in upward:
        print(f"  {a} -> {b} ({count})")
        problems.append(f"arrow {a} -> {b} does not point to a lower layer")

    folder_edges = {}
    for a, b in folder_counts:
        folder_edges.setdefault(a, set()).add(b)
    folder_cycles = strongly_connected(folders, folder_edges)
    print("folder cycles: " + ("none" if not folder_cycles else str(len(folder_cycles))))
    for component in folder_cycles:
        print("  " + " -> ".join(one_cycle(component, folder_edges)) + "   (all: " +
              " ".join(component) + ")")
        problems.append("folder cycle among " + " ".join(component))

    modules = sorted({module(rel) for rel in files})
    file_cycles = strongly_connected(modules, file_edges)
    print("file cycles (x.h and x.cpp as one): " +
          ("none" if not file_cycles else str(len(file_cycles))))
    for component in file_cycles:
        print("  " + " -> ".join(one_cycle(component, file_edges)) + "   (all: " +
              " ".join(component) + ")")
        problems.append("file cycle among " + " ".join(component))

    for problem in problems:
        print("FOLDER GRAPH: " + problem, file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
