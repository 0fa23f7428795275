#!/usr/bin/env bash
# Keeps the committed corpora of the fuzz targets small: drops every input that
# adds no coverage beyond the others (libFuzzer's -merge=1), keeping the names of
# those that stay. Inputs named regression-* (the inputs of past findings) always
# stay.
#
#   scripts/minimise-corpus.sh BUILD_DIR [TARGET...]          (default: every target)
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:?usage: minimise-corpus.sh BUILD_DIR [TARGET...]}
shift
targets=("$@")
if ((${#targets[@]} == 0)); then
    for source in fuzz/*.cpp; do
        targets+=("$(basename "$source" .cpp)")
    done
fi

for target in "${targets[@]}"; do
    corpus="fuzz/corpus/$target"
    kept=$(mktemp -d)
    # The merge names what it keeps by the SHA-1 of its bytes.
    "$build/fuzz/$target" -merge=1 "$kept" "$corpus" >"$build/fuzz-logs/$target-merge.log" 2>&1
    dropped=0
    for input in "$corpus"/*; do
        name=$(basename "$input")
        if [[ "$name" != regression-* && ! -e "$kept/$(sha1sum "$input" | cut -d' ' -f1)" ]]; then
            git rm -q "$input" 2>/dev/null || rm -f "$input"
            dropped=$((dropped + 1))
        fi
    done
    rm -rf "$kept"
    echo "minimise-corpus: $target: $(ls "$corpus" | wc -l) inputs kept, $dropped dropped"
done
