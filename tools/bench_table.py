#!/usr/bin/env python3
"""Runs calidra-bench with repetitions and prints the medians and the targets.

Usage: tools/bench_table.py [--bench PATH] [--repetitions N] [--filter REGEX]
                            [--json FILE] [--save FILE]

Every benchmark is repeated (5 times by default) and only the medians over the
repetitions are kept: the machine is shared and noisy. Benchmarks that run a
kernel side by side with its references (bench/SideBySide.h) also report the
median of their calls (p50_us), which a preempted call does not move; that is
the time shown and judged for them, otherwise the mean time per call. --json reads the output of an earlier run instead of
running the benchmarks; --save keeps this run's output. The exit status is 0
when every measured target is met, 1 otherwise, 2 when nothing could be run.
"""

import argparse
import json
import os
import re
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DEFAULT_BENCH = os.path.join(ROOT, "build", "bench", "calidra-bench")

# The targets. Each row: what is judged, the benchmark (name without the
# settings Google Benchmark appends), the measure ("time" for the time per call
# in microseconds, a counter's name, or a derived measure of DERIVED), "<=" or
# ">=" and the limit; a relation of None only reports the figure.
# Counters that the side-by-side benchmarks report:
#   x_scalar   the plain scalar reference's time over the kernel's (speed-up)
#   x_bytes    the kernel's time over that of a pass moving the same bytes
#   x_write    a save's time over one plain write of as many bytes as the file
#   x_library  a save's time over the encoder library called directly on the
#              same pixels (library_us)
#   x_double   the shadow correction's speed-up on the double kernel of its path
#   fallback_pct  the share of pixels the shadow correction left to the doubles
# The end-to-end benchmarks report fps (frames delivered per second) and
# cpu_pct_without_sim (the library's threads, the simulated camera's own
# rendering taken out, in per cent of one core). The live-cost benchmark
# reports per camera: fps, dropped (frames rendered but never read, each
# second), and in per cent of one core whole_pct (the whole process),
# library_pct (the library's own threads), sim_pct (the virtual camera's
# rendering) and client_pct (the client reading every frame).
TARGETS = [
    ("Whole per-frame work, warm (2.2 x 137 us)", "BM_LoopFrameWork", "time", "<=", 2.2 * 137.0),
    ("Whole per-frame work, cold (1.3 x 418 us)", "BM_LoopFrameWork/cold", "time", "<=", 1.3 * 418.0),
    ("Whole per-frame work: speed-up on scalar", "BM_LoopFrameWork", "x_scalar", ">=", 4.0),
    ("Correction, AVX2, warm", "BM_Correction/avx2_warm", "time", "<=", 135.0),
    ("Correction, SSE2, warm", "BM_Correction/sse2_warm", "time", "<=", 200.0),
    # The per-frame pass through the float shadows on the path the device
    # chooses, each cache swept first, beside the four-double-plane byte mover
    # and the best double kernel measured in the same run, on data-set,
    # virtual-camera and random planes.
    ("Shadow correction, cold: four-double bound x", "BM_ShadowCorrection/dataset_cold", "x_bytes", "<=", 0.6),
    ("Shadow correction, cold: speed-up on doubles", "BM_ShadowCorrection/dataset_cold", "x_double", ">=", 1.5),
    ("Shadow correction, cold, camera: bound x", "BM_ShadowCorrection/camera_cold", "x_bytes", "<=", 0.6),
    ("Shadow correction, cold, random: bound x", "BM_ShadowCorrection/random_cold", "x_bytes", "<=", 0.6),
    ("Shadow correction: share to the doubles", "BM_ShadowCorrection/dataset_cold", "fallback_pct", None, None),
    ("Shadow correction, camera: share to doubles", "BM_ShadowCorrection/camera_cold", "fallback_pct", None, None),
    ("Shadow correction, random: share to doubles", "BM_ShadowCorrection/random_cold", "fallback_pct", None, None),
    ("Colouring, fixed range", "BM_Colourise/0", "time", "<=", 110.0),
    ("Colouring, automatic range", "BM_Colourise/-1", "time", "<=", 110.0),
    ("Calidra_GetRaw: memcpy x", "BM_GetRaw/0", "x_bytes", "<=", 1.2),
    ("Calidra_GetColor: memcpy x", "BM_GetColor/0", "x_bytes", "<=", 1.2),
    ("Calidra_GetRaw, flipDisplay 1: memcpy x", "BM_GetRaw/1", "x_bytes", None, None),
    ("Calidra_GetColor, flipDisplay 1: memcpy x", "BM_GetColor/1", "x_bytes", None, None),
    ("Calidra_GetTemperature", "BM_GetTemperature/0", "time", "<=", 130.0),
    ("Temperature kernel, warm", "BM_LevelTemperatures/warm", "time", "<=", 130.0),
]
# Still files: the save beside the encoder library called directly, allowed
# 1.1 x its time plus 1 ms of pixel preparation.
for _still in ("jpeg100", "jpeg70", "jpeg20", "png_colour", "png_grey", "tiff_colour", "tiff_grey"):
    TARGETS.append(("Save %s: beyond 1.1 x the library" % _still, "BM_Save/%s_warm" % _still,
                    "beyond_library_us", "<=", 1000.0))
# TIFF files beside libtiff called directly on the prepared pixels.
for _still in ("tiff_colour", "tiff_grey"):
    TARGETS.append(("Save %s: libtiff x" % _still, "BM_Save/%s_warm" % _still, "x_library", "<=", 1.2))
# Uncompressed files and AVI appends beside one plain write of the same bytes:
# the bitmap and the bare image bytes at the cost of the write, the others
# (a strip or an array to prepare first) within twice it.
for _still in ("bitmap", "colour_bytes", "raw_bytes"):
    TARGETS.append(("Save %s: plain write x" % _still, "BM_Save/%s_warm" % _still, "x_write", "<=", 1.5))
for _still in ("tiff_colour", "tiff_grey", "temperature_s8", "temperature_u8", "temperature_i32", "temperature_f32"):
    TARGETS.append(("Save %s: plain write x" % _still, "BM_Save/%s_warm" % _still, "x_write", "<=", 2.0))
TARGETS += [
    ("AVI append: plain write x", "BM_AviAppend/warm", "x_write", "<=", 2.0),
    ("End to end, camera at full speed", "BM_EndToEnd/full_speed", "fps", ">=", 1000.0),
    ("End to end, 30 fps: library threads", "BM_EndToEnd/30fps", "cpu_pct_without_sim", "<=", 2.0),
    ("End to end, 30 fps: with the simulation", "BM_EndToEnd/30fps", "cpu_pct", None, None),
    ("Simulated camera, one frame", "BM_EndToEnd/30fps", "sim_us", None, None),
]
# Live previewing at 30 frames per second, per camera, with a client reading
# every frame: the library's own threads, the whole process with the virtual
# camera, and every frame delivered with eight cameras on the machine.
for _cameras in (1, 2, 4, 8):
    _name = "BM_LiveCost/cameras:%d" % _cameras
    TARGETS.append(("Live, %d camera(s): library per camera" % _cameras, _name, "library_pct", "<=", 1.2))
TARGETS += [
    ("Live, 1 camera: whole process", "BM_LiveCost/cameras:1", "whole_pct", "<=", 3.0),
    ("Live, 1 camera: virtual camera", "BM_LiveCost/cameras:1", "sim_pct", None, None),
    ("Live, 1 camera: client reading", "BM_LiveCost/cameras:1", "client_pct", None, None),
    ("Live, 8 cameras: whole process per camera", "BM_LiveCost/cameras:8", "whole_pct", None, None),
    ("Live, 8 cameras: frames per camera", "BM_LiveCost/cameras:8", "fps", ">=", 29.5),
    ("Live, 8 cameras: dropped frames per second", "BM_LiveCost/cameras:8", "dropped", "<=", 0.0),
]
# A correction-data file saved or loaded through a pipe moving 8 MiB/s while a
# camera previews at 30 frames per second: frames keep coming meanwhile (a
# file held under the device lock would stop them for the whole 1.2 s).
for _kind, _arg in (("save", 0), ("load", 1)):
    _name = "BM_CorrectionFileOnSlowDisk/load:%d" % _arg
    TARGETS += [
        ("Correction file %s on a slow disk: fps meanwhile" % _kind, _name, "fps", ">=", 25.0),
        ("Correction file %s: longest frame gap" % _kind, _name, "longest_gap_ms", "<=", 200.0),
    ]

# Measures computed from a benchmark's medians.
DERIVED = {
    "beyond_library_us": lambda v: v["time"] - 1.1 * v["library_us"] if "library_us" in v else None,
}

# Counters shown beside each median, in this order, when a benchmark has them.
SHOWN_COUNTERS = ["scalar_us", "double_us", "bytes_us", "x_scalar", "x_double", "x_bytes", "fallback_pct",
                  "library_us", "write_us", "x_library", "x_write", "fps", "dropped", "cpu_pct",
                  "cpu_pct_without_sim", "sim_us", "loop_us", "whole_pct", "library_pct", "sim_pct", "client_pct",
                  "file_ms", "longest_gap_ms"]

# The fields of Google Benchmark's own in a JSON row; every other number is a counter.
OWN_FIELDS = {"family_index", "per_family_instance_index", "repetitions", "repetition_index", "threads",
              "iterations", "real_time", "cpu_time"}


def run_benchmarks(bench, repetitions, pattern):
    command = [
        bench,
        "--benchmark_repetitions=%d" % repetitions,
        "--benchmark_report_aggregates_only=true",
        "--benchmark_format=json",
    ]
    if pattern:
        command.append("--benchmark_filter=%s" % pattern)
    result = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    if result.returncode != 0:
        sys.stderr.write(result.stderr)
        raise RuntimeError("%s exited with %d" % (bench, result.returncode))
    return json.loads(result.stdout)


def short_name(name):
    """The name without the settings Google Benchmark appends to it."""
    return re.sub(r"/(manual_time|real_time|iterations:\d+|repeats:\d+|min_time:[\d.]+)", "", name)


def to_microseconds(value, unit):
    return value * {"ns": 1e-3, "us": 1.0, "ms": 1e3, "s": 1e6}.get(unit, 1.0)


def medians(report):
    """Benchmark name -> {"time": us, counter: value, ...} from the median rows.

    A run without repetitions has no aggregates: its single row stands in."""
    found = {}
    for wanted in ("iteration", "median"):
        for entry in report.get("benchmarks", []):
            kind = entry.get("aggregate_name", "") if entry.get("run_type") == "aggregate" else "iteration"
            if kind != wanted or entry.get("error_occurred"):
                continue
            values = {"time": to_microseconds(entry["real_time"], entry.get("time_unit", "ns"))}
            for key, value in entry.items():
                if key not in OWN_FIELDS and isinstance(value, (int, float)) and not isinstance(value, bool):
                    values[key] = float(value)
            # The side-by-side benchmarks also give the median of their calls,
            # which a call preempted on a busy machine does not move.
            if "p50_us" in values:
                values["time"] = values["p50_us"]
            found[short_name(entry.get("run_name", entry["name"]))] = values
    return found


def format_value(measure, value):
    if measure == "time" or measure.endswith("_us"):
        return "%.1f us" % value
    if measure == "fps":
        return ("%.1f fps" if value < 100 else "%.0f fps") % value
    if "_pct" in measure:
        return "%.2f %%" % value
    if measure == "dropped":
        return "%.2f /s" % value
    if measure.endswith("_ms"):
        return "%.1f ms" % value
    return "%.2f x" % value


def print_medians(found):
    width = max([len(name) for name in found] + [9])
    print("%-*s %12s  %s" % (width, "Benchmark", "median", "counters (medians)"))
    for name in sorted(found):
        values = found[name]
        counters = "  ".join(
            "%s=%s" % (key, format_value(key, values[key])) for key in SHOWN_COUNTERS if key in values
        )
        print("%-*s %12s  %s" % (width, name, format_value("time", values["time"]), counters))


def judge(found):
    """Prints the targets; returns True when every measured target is met."""
    all_met = True
    width = max(len(row[0]) for row in TARGETS)
    print("%-*s %12s %14s  %s" % (width, "Target", "measured", "limit", "result"))
    for label, name, measure, relation, limit in TARGETS:
        values = found.get(name)
        value = None
        if values is not None:
            value = DERIVED[measure](values) if measure in DERIVED else values.get(measure)
        bound = relation + " " + format_value(measure, limit) if relation else ""
        if value is None:
            print("%-*s %12s %14s  %s" % (width, label, "-", bound, "not measured"))
            continue
        if relation is None:
            print("%-*s %12s %14s  %s" % (width, label, format_value(measure, value), "", "reported"))
            continue
        met = value <= limit if relation == "<=" else value >= limit
        all_met = all_met and met
        print("%-*s %12s %14s  %s" % (width, label, format_value(measure, value), bound,
                                      "met" if met else "NOT MET"))
    return all_met


def print_context(report):
    context = report.get("context", {})
    caches = ", ".join(
        "L%d %s %d KiB" % (cache.get("level", 0), cache.get("type", "")[:1].lower(), cache.get("size", 0) // 1024)
        for cache in context.get("caches", [])
    )
    print("Machine: %s CPUs at %s MHz; %s; load %s" % (
        context.get("num_cpus", "?"), context.get("mhz_per_cpu", "?"), caches,
        " ".join("%.2f" % value for value in context.get("load_avg", []))))
    repetitions = max([entry.get("repetitions", 1) for entry in report.get("benchmarks", [])] + [1])
    print("Run: %s; medians of %d repetitions" % (context.get("date", "?"), repetitions))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--bench", default=DEFAULT_BENCH, help="the calidra-bench executable")
    parser.add_argument("--repetitions", type=int, default=5)
    parser.add_argument("--filter", default="", help="a --benchmark_filter regular expression")
    parser.add_argument("--json", help="read this earlier JSON output instead of running")
    parser.add_argument("--save", help="also write the JSON output to this file")
    args = parser.parse_args()

    try:
        if args.json:
            with open(args.json, encoding="utf-8") as handle:
                report = json.load(handle)
        else:
            if not os.access(args.bench, os.X_OK):
                sys.stderr.write("no benchmark executable at %s (build it first)\n" % args.bench)
                return 2
            report = run_benchmarks(args.bench, args.repetitions, args.filter)
    except (OSError, RuntimeError, ValueError) as error:
        sys.stderr.write("%s\n" % error)
        return 2
    if args.save:
        with open(args.save, "w", encoding="utf-8") as handle:
            json.dump(report, handle, indent=1)

    found = medians(report)
    print_context(report)
    print()
    print_medians(found)
    print()
    return 0 if judge(found) else 1


if __name__ == "__main__":
    sys.exit(main())
