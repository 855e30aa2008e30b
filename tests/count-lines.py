#!/usr/bin/env python3
"""Test lines against all lines of the project's own code.

Counted: source-like files (C++ .cpp/.h/.hpp/.cc, .py, .sh, .js/.mjs, .cmake and
CMakeLists.txt) under src/, tests/, fuzz/, bench/ and scripts/. Under tests/data only
the scripts that make or check the data count (their movies, caches and listings do
not); fuzz/corpus is data and does not count. Test lines are the files under tests/.
Printed twice: with and without fuzz/ (the fuzz targets are tests of a kind, but the
share of tests is measured without them). Printed first: the C++ files (.cpp, .h) of src/
and tests/ alone, the measure of the first count of the house (15.6k test lines of 38.3k at
dbfa4df).
"""
import os
import sys

ROOTS = ["src", "tests", "fuzz", "bench", "scripts"]
CODE = (".cpp", ".h", ".hpp", ".cc", ".py", ".sh", ".js", ".mjs", ".cmake")


def counted(path):
    name = os.path.basename(path)
    if path.startswith("fuzz/corpus/"):
        return False
    return name == "CMakeLists.txt" or name.endswith(CODE)


def lines(path):
    with open(path, "rb") as f:
        return f.read().count(b"\n")


def main():
    top = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..")
    os.chdir(top)
    cxx = {}
    for root in ("src", "tests"):
        cxx[root] = sum(lines(os.path.join(folder, name))
                        for folder, _, files in os.walk(root) for name in files
                        if name.endswith((".cpp", ".h")))
    print(f"C++ of src/ and tests/: tests {cxx['tests']} of {sum(cxx.values())} lines = "
          f"{100.0 * cxx['tests'] / sum(cxx.values()):.1f}%")
    per_root = {}
    generators = 0  # the scripts and programs beside tests/data that made or check the data
    for root in ROOTS:
        total = 0
        for folder, dirs, files in os.walk(root):
            dirs[:] = [d for d in dirs if d != "node_modules"]
            for name in files:
                path = os.path.join(folder, name)
                if counted(path):
                    total += lines(path)
                    if path.startswith("tests/data/"):
                        generators += lines(path)
        per_root[root] = total
    tests = per_root["tests"]
    everything = sum(per_root.values())
    no_fuzz = everything - per_root["fuzz"]
    print(" ".join(f"{r}={n}" for r, n in per_root.items()),
          f"(tests/ holds {generators} lines of tests/data generators)")
    print(f"without fuzz/: tests {tests} of {no_fuzz} lines = {100.0 * tests / no_fuzz:.1f}%")
    print(f"with fuzz/ in all lines: tests {tests} of {everything} lines = "
          f"{100.0 * tests / everything:.1f}%")
    with_fuzz = tests + per_root["fuzz"]
    print(f"with fuzz/ as tests: tests {with_fuzz} of {everything} lines = "
          f"{100.0 * with_fuzz / everything:.1f}%")


if __name__ == "__main__":
    main()
