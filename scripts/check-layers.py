#!/usr/bin/env python3
"""The include graph of src/ as the compiler saw it, checked against the layers.

Reads the dependency files of a build folder (`ninja -t deps`, or the *.d files a Makefile
build leaves) and, for every translation unit of src/, the files it opened. Fails when a
unit reaches a file of a higher layer, or when folders include each other in a circle.

Layers, lowest first: ground; ports; the core (catalogue, sites, files, operations and the
resources' texts); platform; ui; cli and app. Edges from platform down into the core are
allowed and listed, so that the picture shows what exists. The front ends (ui, cli) name no
platform header: they get the platform's objects from the session in app/.

Dependency files list every header a unit opened, directly or not, so an edge runs from the
unit's folder to each header's folder; the file that names the header is looked up in the
sources for the message.

Usage: check-layers.py BUILD_DIR SOURCE_DIR [--verbose]
"""

import glob
import os
import re
import subprocess
import sys

LAYERS = {
    "ground": 0,
    "ports": 1,
    "catalogue": 2,
    "sites": 2,
    "files": 2,
    "operations": 2,
    "resources": 2,
    "platform": 3,
    "ui": 4,
    "cli": 5,
    "app": 5,
}
CORE = {"catalogue", "sites", "files", "operations", "resources"}


def ninja_deps(build):
    """{object: [source, header, ...]} from ninja's log of dependency files."""
    text = subprocess.run(["ninja", "-C", build, "-t", "deps"], check=True,
                          capture_output=True, text=True).stdout
    deps, current = {}, None
    for line in text.splitlines():
        if not line.strip():
            current = None
        elif not line[0].isspace():
            current = deps.setdefault(line.split(":")[0], [])
        elif current is not None:
            current.append(line.strip())
    return deps


def make_deps(build):
    """The same from the *.d files a Makefile build keeps beside its objects."""
    deps = {}
    for path in glob.glob(os.path.join(build, "**", "*.d"), recursive=True):
        with open(path, encoding="utf-8", errors="replace") as f:
            text = f.read().replace("\\\n", " ")
        target, _, rest = text.partition(": ")
        deps[target] = rest.split("\n")[0].split()
    return deps


def relative(path, build, source):
    """The path below the source folder ("src/sites/Addresses.h"), or None outside it."""
    full = os.path.normpath(os.path.join(build, path))
    rel = os.path.relpath(full, source)
    return None if rel.startswith("..") else rel


def folder_of(rel):
    """("sites", "sites/warc"...): the layer's name and the file's own folder, or None."""
    parts = rel.split("/")
    if parts[0] == "src" and len(parts) > 2:
        return parts[1], "/".join(parts[1:-1])
    if parts[0] == "resources":
        return "resources", "resources"
    return None


def naming_file(unit_files, header, source):
    """The first of the unit's files that names header in an #include line."""
    name = header.split("/", 1)[1] if header.startswith("src/") else header
    pattern = re.compile(r'^\s*#\s*include\s*"' + re.escape(name) + '"', re.M)
    for rel in unit_files:
        try:
            with open(os.path.join(source, rel), encoding="utf-8", errors="replace") as f:
                if pattern.search(f.read()):
                    return rel
        except OSError:
            pass
    return unit_files[0]


def cycles(edges):
    """The strongly connected groups of more than one folder (Tarjan)."""
    index, low, stack, on, found = {}, {}, [], set(), []

    def visit(v):
        index[v] = low[v] = len(index)
        stack.append(v)
        on.add(v)
        for w in sorted(edges.get(v, ())):
            if w not in index:
                visit(w)
                low[v] = min(low[v], low[w])
            elif w in on:
                low[v] = min(low[v], index[w])
        if low[v] == index[v]:
            group = []
            while True:
                w = stack.pop()
                on.discard(w)
                group.append(w)
                if w == v:
                    break
            if len(group) > 1:
                found.append(sorted(group))

    for v in sorted(edges):
        if v not in index:
            visit(v)
    return found


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    build, source = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    verbose = "--verbose" in sys.argv
    use_ninja = os.path.exists(os.path.join(build, "build.ninja"))
    deps = ninja_deps(build) if use_ninja else make_deps(build)
    units, problems, downward, edges = 0, set(), set(), {}
    for files in deps.values():
        rels = [r for r in (relative(p, build, source) for p in files) if r]
        if not rels or not rels[0].startswith("src/") or folder_of(rels[0]) is None:
            continue
        units += 1
        layer, here = folder_of(rels[0])
        for rel in rels[1:]:
            where = folder_of(rel)
            if where is None or where[1] == here:
                continue
            edges.setdefault(here, set()).add(where[1])
            if LAYERS.get(where[0], 0) > LAYERS.get(layer, 0):
                problems.add(f"{naming_file(rels, rel, source)} includes {rel} "
                             f"({layer} is below {where[0]})")
            elif layer == "platform" and where[0] in CORE:
                downward.add(f"{here} -> {where[1]}")
    if units == 0:
        sys.exit(f"no dependency information for src/ in {build}: build it first")
    print(f"{units} translation units of src/, {sum(map(len, edges.values()))} edges "
          f"between {len(edges)} folders")
    if verbose:
        for here in sorted(edges):
            print(f"  {here} -> {', '.join(sorted(edges[here]))}")
    print("platform reaching into the core:" + ("" if downward else " none"))
    for edge in sorted(downward):
        print("  " + edge)
    # The front ends reach the platform only through the session (app/): none names a
    # platform header itself.
    for front in ("ui", "cli"):
        for path in glob.glob(os.path.join(source, "src", front, "**", "*.*"), recursive=True):
            with open(path, encoding="utf-8", errors="replace") as text:
                for line in text:
                    if line.startswith('#include "platform/'):
                        problems.add(f"{os.path.relpath(path, source)} names {line.split()[1]} "
                                     f"(the {front} reaches the platform through app/)")
    circles = cycles(edges)
    for problem in sorted(problems):
        print("UP: " + problem)
    for group in circles:
        print("CYCLE: " + " <-> ".join(group))
    if problems or circles:
        sys.exit(1)
    print("no include runs up a layer; no folders include each other in a circle")


if __name__ == "__main__":
    main()
