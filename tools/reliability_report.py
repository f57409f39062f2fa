#!/usr/bin/env python3
"""Prints the reliability figures of the last test and fuzz runs.

Usage: tools/reliability_report.py [--build DIR]... [--fuzz DIR]

The fault, disk and soak tests each leave one line per test case in
<build>/test-tmp/reliability/ (written "not survived" when the case starts and
rewritten when it ends, so a case that crashed still counts as tried). The fuzz
figures come from the logs fuzz/run.sh keeps in <fuzz>/fuzz-work/ (by default
build-fuzz at the root, or $CALIDRA_FUZZ_BUILD); they are left out when no
campaign has run. Give --build more than once to sum builds; a build configured
with CALIDRA_SANITIZE=address counts as run under the leak checker.

The exit status is 1 when a case tried did not survive, a thread was left
behind or a fuzz target crashed; 0 otherwise.
"""

import argparse
import datetime
import glob
import os
import re
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def read_figures(build):
    """The test cases' lines of one build: a list of dicts."""
    cases = []
    for path in sorted(glob.glob(os.path.join(build, "test-tmp", "reliability", "*.txt"))):
        with open(path, encoding="utf-8", errors="replace") as f:
            for line in f:
                fields = dict(part.split("=", 1) for part in line.split() if "=" in part)
                if "test" in fields:
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


def read_fuzz(fuzz_build):
    """Per target: (executions, crashes, when), from the logs of the last run."""
    work = os.path.join(fuzz_build, "fuzz-work")
    targets = {}
    for log in sorted(glob.glob(os.path.join(work, "logs", "*.log"))):
        name = os.path.basename(log)[: -len(".log")]
        with open(log, encoding="utf-8", errors="replace") as f:
            text = f.read()
        runs = re.findall(r"^stat::number_of_executed_units:\s*(\d+)", text, re.M)
        executions = int(runs[-1]) if runs else 0
        marker = os.path.join(work, "logs", name + ".start")
        since = os.path.getmtime(marker) if os.path.exists(marker) else 0
        crashes = sum(
            1 for found in glob.glob(os.path.join(work, "crashes", name + "-*")) if os.path.getmtime(found) >= since
        )
        if crashes == 0 and re.search(r"^(==\d+==ERROR|SUMMARY: \w+Sanitizer|ERROR: libFuzzer)", text, re.M):
            crashes = 1
        when = datetime.datetime.fromtimestamp(os.path.getmtime(log)).strftime("%Y-%m-%d %H:%M")
        targets[name] = (executions, crashes, when)
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
            print(f"    memory: resident {growth:+d} KiB from the end of warm-up to the end of the soak")
        files = sum(number(c, "files_verified") for c in cases)
        threads = sum(number(c, "threads_left") for c in cases)
        print(f"    files verified: {files} (recordings, stills and correction data)")
        print(f"    threads left behind: {threads}")
        healthy = healthy and threads == 0
        if sanitizer == "address":
            failed = [c for c in cases if c.get("survived") != "1" and c.get("skipped") != "1"]
            print(f"    leaks: {len(failed)} cases with faults under the leak checker (a leak fails its case)")
        elif soak:
            print("    leaks: none seen in resident memory; the leak checker runs in ./run sanitize")

    fuzz = read_fuzz(fuzz_build)
    if fuzz:
        total = sum(executions for executions, _, _ in fuzz.values())
        crashes = sum(crashed for _, crashed, _ in fuzz.values())
        print(f"  fuzzing ({os.path.relpath(os.path.abspath(fuzz_build), ROOT)}): {total} executions, {crashes} crashes")
        for name, (executions, crashed, when) in sorted(fuzz.items()):
            print(f"    {name}: {executions} executions, {crashed} crashes (run {when})")
        healthy = healthy and crashes == 0
    else:
        print("  fuzzing: no campaign has run (fuzz/run.sh)")
    return 0 if healthy else 1


if __name__ == "__main__":
    sys.exit(main())
