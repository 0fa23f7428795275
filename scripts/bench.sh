#!/usr/bin/env bash
# `make bench`: builds the tree optimised (Release) into build-bench/ and runs
# every benchmark of bench/, then prints one table: measure, value, target.
# Benchmarks are not tests: nothing here fails on a missed target, and CI does
# not run them. A run takes about a minute and a half, most of it the idle
# measurements (ten seconds each) and the program's starts.
#
# Environment:
#   BENCH_DIR=DIR   the build folder (default build-bench)
#   JOBS=N          parallel build jobs (default: the processors)
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1

BENCH_DIR=${BENCH_DIR:-build-bench}
JOBS=${JOBS:-$(nproc)}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

say() { printf 'bench: %s\n' "$*" >&2; }

launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
say "building Release into $BENCH_DIR"
if ! cmake -S . -B "$BENCH_DIR" -DCMAKE_BUILD_TYPE=Release -DSWIPETYPE_TESTS=OFF \
    "${launcher[@]}" >"$work/build.log" 2>&1 ||
    ! cmake --build "$BENCH_DIR" -j "$JOBS" >>"$work/build.log" 2>&1; then
    tail -30 "$work/build.log" >&2
    say "the build failed"
    exit 1
fi

rows=$work/rows
run() {
    say "running $1"
    "$BENCH_DIR/bench/$1" "${@:2}" >>"$rows" || say "$1 ended with status $?"
}
run program_bench
run reader_bench
run xtest_bench
run wayland_bench
run line_bench
run gnome_bench
run kde_bench

# The serial library's figures, from Google Benchmark's JSON (its CSV reporter
# aborts when the benchmarks carry different counters, as these do). Each
# benchmark is a row; the ones with a target are named as the table knows them.
if [[ -x $BENCH_DIR/bench/bench_serial ]]; then
    say "running bench_serial"
    "$BENCH_DIR/bench/bench_serial" --benchmark_format=json 2>/dev/null |
        python3 -c '
import json, sys
rows = {"line": False, "silent": False}
for run in json.load(sys.stdin).get("benchmarks", []):
    name, unit = run["name"], run.get("time_unit", "")
    value = "%.4g %s real, %.4g %s processor" % (run["real_time"], unit, run["cpu_time"], unit)
    if "cpu_ms" in run:
        value += ", %.3g ms processor counted" % run["cpu_ms"]
    if "syscalls_per_line" in run:
        value += ", %g system calls a line" % run["syscalls_per_line"]
    if "ReadWaitingLine" in name:
        print("bio_read_line, 1023 bytes waiting (%s)\t%s\t<= 0.1 ms" % (name, value))
        rows["line"] = True
    elif "onnect" in name or "ilent" in name:
        print("silent 2 s wait (%s)\t%s\t<= 20 ms processor" % (name, value))
        rows["silent"] = True
    else:
        print("%s\t%s\t-" % (name, value))
if not rows["line"]:
    print("bio_read_line, 1023 bytes waiting\tnot measured by bench_serial\t<= 0.1 ms")
if not rows["silent"]:
    print("silent 2 s wait\tnot measured by bench_serial\t<= 20 ms processor")
' >>"$rows"
else
    printf '%s\t%s\t%s\n' "bio_read_line, silent 2 s wait" \
        "not built (Google Benchmark, libbenchmark-dev, is not installed)" "-" >>"$rows"
fi

printf '\n'
{
    printf 'measure\tvalue\ttarget\n'
    cat "$rows"
} | column -t -s $'\t'
