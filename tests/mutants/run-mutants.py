#!/usr/bin/env python3
"""Applies each deliberate fault of mutants.json in turn and records which tests catch it.

For every fault: the original text (which must occur exactly once) is replaced in place,
the fault's targets are rebuilt incrementally in the build folder, the fault's ctest subset
runs, and the file is put back, also when the run is interrupted. A fault no test catches
is LOST. Prints a markdown table; --json keeps the results and --compare puts an earlier
run's results beside them (a fault caught then and lost now is flagged).

    tests/mutants/run-mutants.py --build-dir build/debug --json before.json > before.md
    tests/mutants/run-mutants.py --compare before.json --json after.json > after.md
    tests/mutants/run-mutants.py --only ID --merge after.json --json after.json ...
"""
import argparse
import json
import os
import re
import signal
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
TOP = os.path.normpath(os.path.join(HERE, "..", ".."))


class Restorer:
    """Puts a mutated file back on exit, on an exception and on SIGINT/SIGTERM."""

    def __init__(self):
        self.path = None
        self.text = None
        for sig in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
            signal.signal(sig, self.on_signal)

    def hold(self, path, text):
        self.path, self.text = path, text

    def restore(self):
        if self.path is not None:
            with open(self.path, "w", encoding="utf-8", newline="") as f:
                f.write(self.text)
            self.path = self.text = None

    def on_signal(self, number, _frame):
        self.restore()
        sys.exit(128 + number)


def run(command, timeout=None):
    started = time.monotonic()
    done = subprocess.run(command, cwd=TOP, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                          text=True, errors="replace", timeout=timeout)
    return done.returncode, done.stdout, time.monotonic() - started


def build(build_dir, targets, jobs):
    code, out, _ = run(["cmake", "--build", build_dir, "-j", str(jobs), "--target", *targets])
    return code == 0, out


# "12 - Suite.Name (Failed)"; a parameterised test's name is followed by its parameter
# ("  # GetParam() = true"), which may hold parentheses of its own.
FAILED_LINE = re.compile(r"^\s*\d+\s*-\s*(\S+).*\(([^()]*)\)\s*$")


def ctest(build_dir, regex, jobs, timeout):
    """(names of the tests that failed, how many ran)."""
    code, out, _ = run(["ctest", "--test-dir", build_dir, "-R", regex, "-j", str(jobs),
                        "--timeout", str(timeout), "--no-tests=error"])
    ran = re.search(r"tests passed, \d+ tests failed out of (\d+)", out)
    failed = []
    if "The following tests FAILED:" in out:
        for line in out.split("The following tests FAILED:", 1)[1].splitlines():
            m = FAILED_LINE.match(line)
            if m:
                failed.append(m.group(1) + ("" if m.group(2) == "Failed" else f" ({m.group(2)})"))
    return failed, int(ran.group(1)) if ran else 0, out


def summary(result):
    if result["status"] == "caught":
        names = result["caught_by"]
        shown = ", ".join(names[:3]) + (f" (+{len(names) - 3} more)" if len(names) > 3 else "")
        return f"caught by {shown}"
    return result["status"]


def markdown(mutants, results, earlier):
    lines = []
    if earlier is None:
        lines.append("| id | fault | file | tests run | result |")
        lines.append("|---|---|---|---|---|")
    else:
        lines.append("| id | fault | file | before | after |")
        lines.append("|---|---|---|---|---|")
    for m in mutants:
        r = results.get(m["id"])
        if r is None:
            continue
        cells = [m["id"], m["what"], m["file"].replace("src/", "")]
        if earlier is None:
            cells += [str(r["ran"]), summary(r)]
        else:
            before = earlier.get(m["id"])
            after = summary(r)
            if before and before["status"] == "caught" and r["status"] != "caught":
                after = "**" + after + " (was caught)**"
            cells += [summary(before) if before else "-", after]
        lines.append("| " + " | ".join(c.replace("|", "\\|") for c in cells) + " |")
    caught = sum(1 for r in results.values() if r["status"] == "caught")
    lines.append("")
    lines.append(f"{caught} of {len(results)} faults caught.")
    if earlier is not None:
        lost = [i for i, r in results.items()
                if earlier.get(i, {}).get("status") == "caught" and r["status"] != "caught"]
        lines.append("Caught before and not now: " + (", ".join(lost) if lost else "none") + ".")
    return "\n".join(lines) + "\n"


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build-dir", default="build/debug")
    parser.add_argument("--mutants", default=os.path.join(HERE, "mutants.json"))
    parser.add_argument("--only", nargs="*", help="ids of the faults to run (all when absent)")
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("--timeout", type=int, default=120, help="seconds per test")
    parser.add_argument("--json", help="where to keep the results")
    parser.add_argument("--compare", help="results of an earlier run to show beside these")
    parser.add_argument("--merge", help="results of an earlier run that this run's update")
    parser.add_argument("--no-baseline", action="store_true",
                        help="skip checking that the unchanged code passes the subsets")
    args = parser.parse_args()

    with open(args.mutants, encoding="utf-8") as f:
        mutants = json.load(f)
    if args.only:
        mutants = [m for m in mutants if m["id"] in args.only]
    earlier = None
    if args.compare:
        with open(args.compare, encoding="utf-8") as f:
            earlier = json.load(f)

    restorer = Restorer()
    all_targets = sorted({t for m in mutants for t in m["targets"]})
    ok, out = build(args.build_dir, all_targets, args.jobs)
    if not ok:
        sys.exit("the unchanged code does not build:\n" + out[-3000:])
    broken = set()
    if not args.no_baseline:
        union = "|".join(f"(?:{m['tests']})" for m in mutants)
        failed, ran, _ = ctest(args.build_dir, union, args.jobs, args.timeout)
        broken = {name.split(" ")[0] for name in failed}
        print(f"baseline: {ran} tests, failing already: {sorted(broken) or 'none'}",
              file=sys.stderr)

    results = {}
    if args.merge:
        with open(args.merge, encoding="utf-8") as f:
            results = json.load(f)
    for m in mutants:
        path = os.path.join(TOP, m["file"])
        with open(path, encoding="utf-8", newline="") as f:
            text = f.read()
        count = text.count(m["original"])
        if count != 1:
            results[m["id"]] = {"status": f"STALE (text found {count} times)", "ran": 0,
                                "caught_by": []}
            print(f"{m['id']}: original text found {count} times", file=sys.stderr)
            continue
        started = time.monotonic()
        restorer.hold(path, text)
        try:
            with open(path, "w", encoding="utf-8", newline="") as f:
                f.write(text.replace(m["original"], m["replacement"]))
            built, out = build(args.build_dir, m["targets"], args.jobs)
            if not built:
                result = {"status": "does not build", "ran": 0, "caught_by": []}
            else:
                failed, ran, _ = ctest(args.build_dir, m["tests"], args.jobs, args.timeout)
                caught = [n for n in failed if n.split(" ")[0] not in broken]
                result = {"status": "caught" if caught else ("NO TESTS" if ran == 0 else "LOST"),
                          "ran": ran, "caught_by": caught}
        finally:
            restorer.restore()
        results[m["id"]] = result
        print(f"{m['id']}: {summary(result)} [{time.monotonic() - started:.0f} s]",
              file=sys.stderr, flush=True)

    # The unchanged code back in the binaries, so that the build folder is not left faulty.
    build(args.build_dir, all_targets, args.jobs)
    if args.json:
        with open(args.json, "w", encoding="utf-8") as f:
            json.dump(results, f, indent=1)
    with open(args.mutants, encoding="utf-8") as f:
        listed = json.load(f)  # the table shows every fault that has a result
    sys.stdout.write(markdown(listed, results, earlier))


if __name__ == "__main__":
    main()
