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

# The serial library's figures, from Google Benchmark's CSV: name, iterations,
# real_time, cpu_time, time_unit, ... Each benchmark is a row; the ones with a
# target are named as the table knows them.
if [[ -x $BENCH_DIR/bench/bench_serial ]]; then
    say "running bench_serial"
    "$BENCH_DIR/bench/bench_serial" --benchmark_format=csv 2>/dev/null |
        awk -F, -v OFS='\t' '
            /^name,/ { header = 1; next }
            !header { next }
            {
                name = $1; gsub(/"/, "", name)
                value = sprintf("%s %s real, %s %s processor", $3, $5, $4, $5)
                if (name ~ /ReadWaitingLine/) {
                    print "bio_read_line, 1023 bytes waiting (" name ")", value, "<= 0.1 ms"
                    line = 1
                } else if (name ~ /[Cc]onnect|[Ss]ilent/) {
                    print "silent 2 s bio_wait_connect (" name ")", value, "<= 20 ms processor"
                    silent = 1
                } else {
                    print name, value, "-"
                }
            }
            END {
                if (!line) print "bio_read_line, 1023 bytes waiting", "not measured by bench_serial", "<= 0.1 ms"
                if (!silent) print "silent 2 s bio_wait_connect", "not measured by bench_serial", "<= 20 ms processor"
            }' >>"$rows"
else
    printf '%s\t%s\t%s\n' "bio_read_line, silent 2 s wait" \
        "not built (Google Benchmark, libbenchmark-dev, is not installed)" "-" >>"$rows"
fi

printf '\n'
{
    printf 'measure\tvalue\ttarget\n'
    cat "$rows"
} | column -t -s $'\t'
