#!/usr/bin/env python3
"""Prints the reliability figures of the last test and fuzz runs.

Usage: tools/reliability_report.py [--build DIR]... [--fuzz DIR]

The fault, disk and soak tests each leave one line per test case in
<build>/test-tmp/reliability/ (written "not survived" when the case starts and
rewritten when it ends, so a case that crashed still counts as tried); lines
of tests no longer registered in the build are left out. In an
AddressSanitizer build each case also runs the leak checker as it ends. The
fuzz figures come from the logs fuzz/run.sh keeps in <fuzz>/fuzz-work/ (by
default build-fuzz at the root, or $CALIDRA_FUZZ_BUILD); they are left out when
no campaign has run; each target's executions per second are shown, and those
below 1,000 flagged. Give --build once per build to report on.

The exit status is 1 when a case tried did not survive, a thread was left
behind, memory leaked or a fuzz target crashed; 0 otherwise.
"""

import argparse
import datetime
import glob
import os
import re
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def registered_tests(build):
    """The gtest names of the tests registered in this build (from the lists
    gtest_discover_tests writes), or None when there are none to go by."""
    names = set()
    for listing in glob.glob(os.path.join(build, "tests", "*_tests.cmake")):
        with open(listing, encoding="utf-8", errors="replace") as f:
            names.update(re.findall(r"\[==\[--gtest_filter=(.*?)\]==\]", f.read()))
    return names or None


def read_figures(build):
    """The test cases' lines of one build: a list of dicts. Lines of tests that
    are no longer registered (renamed or removed) are left out."""
    known = registered_tests(build)
    cases = []
    for path in sorted(glob.glob(os.path.join(build, "test-tmp", "reliability", "*.txt"))):
        with open(path, encoding="utf-8", errors="replace") as f:
            for line in f:
                fields = dict(part.split("=", 1) for part in line.split() if "=" in part)
                if "test" in fields and (known is None or fields["test"] in known):
                    cases.append(fields)
    return cases


def sanitizer_of(build):
    try:
        with open(os.path.join(build, "CMakeCache.txt"), encoding="utf-8", errors="replace") as f:
            for line in f:
                if line.startswith("CALIDRA_SANITIZE:"):
                    return line.split("=", 1)[1].strip()
    except OSError:
        pass
    return ""


def number(fields, key):
    try:
        return int(fields.get(key, "0"))
    except ValueError:
        return 0


# Executions per second every fuzz target should reach; slower ones are
# flagged (the figure depends on the machine's load, so it fails nothing).
FUZZ_RATE_TARGET = 1000


def read_fuzz(fuzz_build):
    """Per target: (executions, executions per second, crashes, when), from the
    logs of the last run."""
    work = os.path.join(fuzz_build, "fuzz-work")
    targets = {}
    for log in sorted(glob.glob(os.path.join(work, "logs", "*.log"))):
        name = os.path.basename(log)[: -len(".log")]
        with open(log, encoding="utf-8", errors="replace") as f:
            text = f.read()
        runs = re.findall(r"^stat::number_of_executed_units:\s*(\d+)", text, re.M)
        executions = int(runs[-1]) if runs else 0
        rates = re.findall(r"^stat::average_exec_per_sec:\s*(\d+)", text, re.M)
        rate = int(rates[-1]) if rates else 0
        marker = os.path.join(work, "logs", name + ".start")
        since = os.path.getmtime(marker) if os.path.exists(marker) else 0
        crashes = sum(
            1 for found in glob.glob(os.path.join(work, "crashes", name + "-*")) if os.path.getmtime(found) >= since
        )
        if crashes == 0 and re.search(r"^(==\d+==ERROR|SUMMARY: \w+Sanitizer|ERROR: libFuzzer)", text, re.M):
            crashes = 1
        when = datetime.datetime.fromtimestamp(os.path.getmtime(log)).strftime("%Y-%m-%d %H:%M")
        targets[name] = (executions, rate, crashes, when)
    return targets


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", action="append", help="build directory (default: build)")
    parser.add_argument("--fuzz", help="fuzz build directory (default: build-fuzz)")
    args = parser.parse_args()
    builds = args.build or [os.path.join(ROOT, "build")]
    fuzz_build = args.fuzz or os.environ.get("CALIDRA_FUZZ_BUILD") or os.path.join(ROOT, "build-fuzz")

    healthy = True
    print("Reliability report")
    for build in builds:
        cases = read_figures(build)
        sanitizer = sanitizer_of(build)
        label = os.path.relpath(os.path.abspath(build), ROOT) + (" (" + sanitizer + " sanitizer)" if sanitizer else "")
        if not cases:
            print(f"  {label}: no figures (the reliability tests have not run there)")
            continue
        print(f"  {label}:")
        for kind, title in (("fault", "injected camera faults"), ("disk", "full file systems")):
            group = [c for c in cases if c.get("kind") == kind]
            if not group:
                continue
            skipped = [c for c in group if c.get("skipped") == "1"]
            tried = [c for c in group if c.get("skipped") != "1"]
            survived = [c for c in tried if c.get("survived") == "1"]
            line = f"    {title}: {len(tried)} cases tried, {len(survived)} survived"
            if skipped:
                line += f", {len(skipped)} skipped (no small file system could be mounted)"
            print(line)
            for case in tried:
                if case.get("survived") != "1":
                    print(f"      NOT SURVIVED: {case['test']}")
                    healthy = False
        soak = [c for c in cases if c.get("kind") == "soak"]
        for case in soak:
            state = "survived" if case.get("survived") == "1" else "NOT SURVIVED"
            healthy = healthy and case.get("survived") == "1"
            growth = number(case, "rss_growth_kib")
            print(
                f"    soak: {number(case, 'cycles')} Initialize/Preview/Release cycles, "
                f"{number(case, 'frames')} frames posted, {number(case, 'frame_reads')} frame reads, "
                f"{number(case, 'stills')} stills; {state}"
            )
            # A sanitizer's allocator keeps its own books: the heap figure is the C library's.
            heap = "" if sanitizer else f", heap in use {number(case, 'heap_growth_kib'):+d} KiB"
            print(f"    memory from the end of warm-up to the end of the soak: resident {growth:+d} KiB{heap}")
        files = sum(number(c, "files_verified") for c in cases)
        threads = sum(number(c, "threads_left") for c in cases)
        print(f"    files verified: {files} (recordings, stills and correction data)")
        print(f"    threads left behind: {threads}")
        healthy = healthy and threads == 0
        checked = [c for c in cases if c.get("leaks") in ("0", "1")]
        leaking = [c for c in checked if c.get("leaks") == "1"]
        if checked:
            print(f"    leaks: {len(leaking)} (the leak checker ran at the end of {len(checked)} cases)")
            for case in leaking:
                print(f"      LEAKED: {case['test']}")
            healthy = healthy and not leaking
        elif sanitizer:
            print("    leaks: not checked under this sanitizer")
        elif soak:
            print("    leaks: not checked in this build (the leak checker runs in ./run sanitize); memory above")

    fuzz = read_fuzz(fuzz_build)
    if fuzz:
        total = sum(executions for executions, _, _, _ in fuzz.values())
        crashes = sum(crashed for _, _, crashed, _ in fuzz.values())
        print(f"  fuzzing ({os.path.relpath(os.path.abspath(fuzz_build), ROOT)}): {total} executions, {crashes} crashes")
        for name, (executions, rate, crashed, when) in sorted(fuzz.items()):
            slow = f" (below {FUZZ_RATE_TARGET}/s)" if rate < FUZZ_RATE_TARGET else ""
            print(f"    {name}: {executions} executions, {rate} executions/s{slow}, {crashed} crashes (run {when})")
        healthy = healthy and crashes == 0
    else:
        print("  fuzzing: no campaign has run (fuzz/run.sh)")
    return 0 if healthy else 1


if __name__ == "__main__":
    sys.exit(main())
