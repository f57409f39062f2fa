#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for a bounded time.
#
#   fuzz/run.sh [seconds-per-target] [target...]
#
# 30 s per target by default; `fuzz/run.sh 3600` is a longer campaign, and
# naming targets (DataSet NucTable ThermoTable CorrectionFile DriverReply) runs
# only those. Corpora grow in <build>/fuzz-work/corpus/<target> and are kept from
# one run to the next; seeds are written afresh by the library each time;
# fuzz/<target>.dict gives libFuzzer the format's magic strings and field
# values; inputs that crash land in <build>/fuzz-work/crashes/. One line per
# target gives its executions, executions per second (every target should
# reach 1,000) and crashes; the exit status is 1 when any target
# crashed, 2 when the build failed. The build directory is build-fuzz at the
# root, or $CALIDRA_FUZZ_BUILD; $CALIDRA_FUZZ_FLAGS adds libFuzzer flags to
# every target (say "-use_value_profile=1" for a long campaign).
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-30}
shift || true
if ! [[ "$seconds" =~ ^[0-9]+$ ]] || [ "$seconds" -lt 1 ]; then
    echo "usage: $0 [seconds-per-target] [target...]" >&2
    exit 2
fi
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(DataSet NucTable ThermoTable CorrectionFile DriverReply)

build=${CALIDRA_FUZZ_BUILD:-$root/build-fuzz}
work=$build/fuzz-work

if ! CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCALIDRA_FUZZ=ON \
    -DCALIDRA_BUILD_TESTS=OFF -DCALIDRA_BUILD_BENCH=OFF >"$build.configure.log" 2>&1; then
    cat "$build.configure.log" >&2
    exit 2
fi
if ! cmake --build "$build" -j2 --target calidra_fuzz >"$build.build.log" 2>&1; then
    tail -50 "$build.build.log" >&2
    exit 2
fi

rm -rf "$work/seeds"
mkdir -p "$work/seeds" "$work/crashes" "$work/logs"
if ! "$build/fuzz/calidra_fuzz_seeds" "$work/seeds"; then
    echo "the seed corpora could not be written" >&2
    exit 2
fi

export ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=0:detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

status=0
for name in "${targets[@]}"; do
    binary=$build/fuzz/${name}Fuzzer
    if [ ! -x "$binary" ]; then
        echo "fuzz $name: no such target" >&2
        status=2
        continue
    fi
    read -r -a extra <<<"${CALIDRA_FUZZ_FLAGS:-}"
    case "$name" in
    # A whole correction-data file is 9,830,448 bytes.
    CorrectionFile) extra+=(-max_len=10000000) ;;
    DataSet) extra+=(-max_len=65536) ;;
    esac
    # The format's magic strings and telling field values.
    [ -f "$root/fuzz/$name.dict" ] && extra+=(-dict="$root/fuzz/$name.dict")
    mkdir -p "$work/corpus/$name"
    log=$work/logs/$name.log
    marker=$work/logs/$name.start
    touch "$marker"
    before=$(find "$work/crashes" -name "$name-*" | wc -l)
    # The time limit per input is a hang guard: the slowest inputs (a 10 MB
    # correction file, a capture with a stream) take well under a second.
    "$binary" -max_total_time="$seconds" -print_final_stats=1 -timeout=60 -rss_limit_mb=4096 \
        -artifact_prefix="$work/crashes/$name-" "${extra[@]}" "$work/corpus/$name" "$work/seeds/$name" \
        >"$log" 2>&1
    code=$?
    after=$(find "$work/crashes" -name "$name-*" | wc -l)
    crashes=$((after - before))
    if [ $code -ne 0 ] && [ $crashes -eq 0 ]; then crashes=1; fi
    executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
    coverage=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)
    echo "fuzz $name: executions=${executions:-0} exec/s=${rate:-0} crashes=$crashes coverage=${coverage:-0}" \
        "seconds=$seconds"
    if [ $crashes -ne 0 ]; then
        status=1
        grep -m1 -E '^SUMMARY|ERROR: libFuzzer' "$log" | sed 's/^/    /'
        find "$work/crashes" -name "$name-*" -newer "$marker" | sed 's/^/    input: /'
        echo "    log: $log"
    fi
done
exit $status
