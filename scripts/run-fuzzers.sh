#!/usr/bin/env bash
# Runs the fuzz targets built by `make fuzz`, one after the other, each for the
# given time on its committed corpus (fuzz/corpus/<target>/), and fails when any
# of them finds something: a crash, a sanitizer report, a failed property, a leak,
# a time-out or running out of memory.
#
#   scripts/run-fuzzers.sh BUILD_DIR SECONDS [TARGET...]      (default: every target)
#
# New inputs go to BUILD_DIR/fuzz-corpus/<target>/, never into the repository; a
# finding is written to BUILD_DIR/fuzz-findings/ and its path printed. Each run
# ends with libFuzzer's counts (executions, coverage), kept in
# BUILD_DIR/fuzz-logs/<target>.log.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:?usage: run-fuzzers.sh BUILD_DIR SECONDS [TARGET...]}
seconds=${2:?usage: run-fuzzers.sh BUILD_DIR SECONDS [TARGET...]}
shift 2
targets=("$@")
if ((${#targets[@]} == 0)); then
    for source in fuzz/*.cpp; do
        targets+=("$(basename "$source" .cpp)")
    done
fi

mkdir -p "$build/fuzz-findings" "$build/fuzz-logs"
failed=()
for target in "${targets[@]}"; do
    program="$build/fuzz/$target"
    corpus="fuzz/corpus/$target"
    scratch="$build/fuzz-corpus/$target"
    log="$build/fuzz-logs/$target.log"
    if [[ ! -x "$program" || ! -d "$corpus" ]]; then
        echo "run-fuzzers: $target: no program $program or no corpus $corpus" >&2
        failed+=("$target")
        continue
    fi
    mkdir -p "$scratch"
    # The program's own resource script is a seed as it stands, not a copy that
    # would age beside it.
    [[ $target == resource_script ]] && cp res/swipetype.resources "$scratch/program-script"
    options=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1
             -artifact_prefix="$build/fuzz-findings/$target-")
    [[ -f "fuzz/$target.dict" ]] && options+=(-dict="fuzz/$target.dict")
    echo "run-fuzzers: $target for ${seconds} s"
    if "$program" "${options[@]}" "$scratch" "$corpus" >"$log" 2>&1; then
        grep -E '^(#[0-9]+[[:space:]]+DONE|stat::number_of_executed_units|stat::new_units_added)' "$log" |
            sed "s/^/  /"
    else
        echo "run-fuzzers: $target found something:" >&2
        grep -E 'property failed|ERROR:|SUMMARY:|Test unit written|artifact_prefix' -A3 "$log" |
            head -40 >&2
        failed+=("$target")
    fi
done

if ((${#failed[@]} > 0)); then
    echo "run-fuzzers: findings or failures in: ${failed[*]} (logs in $build/fuzz-logs)" >&2
    exit 1
fi
echo "run-fuzzers: ${#targets[@]} targets ran ${seconds} s each without a finding"
