#!/usr/bin/env bash
# `make tidy`: clang-tidy over the tracked .cpp files that the build in BUILD_DIR
# compiles (its compile_commands.json), JOBS at a time; files of other builds (the
# fuzz targets) are left out, as their flags are not there. Each file's findings are
# printed together, then one line says how many files had findings. Exits 1 on any.
#
#   scripts/run-tidy.sh [BUILD_DIR] [JOBS] [FILE...]
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=${1:-build}
jobs=${2:-$(nproc)}
shift $(($# < 2 ? $# : 2))
tidy=${CLANG_TIDY:-clang-tidy-14}
database="$build_dir/compile_commands.json"

command -v "$tidy" >/dev/null || {
    echo "tidy: $tidy is not installed (scripts/install-deps.sh installs it)" >&2
    exit 1
}
[[ -f "$database" ]] || {
    echo "tidy: no $database; configure the build first (make build)" >&2
    exit 1
}

# The sources the build compiles, as paths relative to the repository.
root=$(pwd -P)
declare -A compiled=()
while IFS= read -r path; do
    compiled["${path#"$root"/}"]=1
done < <(grep -o '"file": *"[^"]*"' "$database" | sed 's/^"file": *"//; s/"$//')

files=()
if (($# > 0)); then
    candidates=("$@")
else
    mapfile -t candidates < <(git ls-files '*.cpp')
fi
for file in "${candidates[@]}"; do
    [[ -n "${compiled[$file]:-}" ]] && files+=("$file")
done
if ((${#files[@]} == 0)); then
    echo "tidy: none of the files is compiled by $build_dir" >&2
    exit 1
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo "tidy: $tidy over ${#files[@]} files, $jobs at a time"
# One log per file, so that parallel runs do not interleave their findings.
printf '%s\0' "${files[@]}" |
    xargs -0 -P "$jobs" -I{} sh -c \
        'log="$3/$(printf %s "$1" | tr / _).log"
         "$2" -p "$4" --quiet "$1" >"$log" 2>&1 || echo "$1" >>"$log.failed"' \
        _ {} "$tidy" "$work" "$build_dir"

failed=0
for file in "${files[@]}"; do
    log="$work/$(printf %s "$file" | tr / _).log"
    if [[ -f "$log.failed" ]]; then
        failed=$((failed + 1))
        echo "--- $file"
        grep -v '^[0-9]* warnings\? generated\.$' "$log" || true
    fi
done

if ((failed > 0)); then
    echo "tidy: findings in $failed of ${#files[@]} files"
    exit 1
fi
echo "tidy: ${#files[@]} files, no findings"
