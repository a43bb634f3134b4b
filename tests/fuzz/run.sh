#!/usr/bin/env bash
# A short fixed-seed run of each fuzz target from the seeds in corpus/ (and the
# embedded register template). Usage: tests/fuzz/run.sh BUILD_DIR [RUNS]
# BUILD_DIR was configured with clang and -DRK_FUZZ=ON and built. New inputs
# that libFuzzer finds go to a work copy in BUILD_DIR, never into the sources.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
runs=${2:-10000}
work="$build/fuzz-work"

rm -rf "$work"
mkdir -p "$work/decoder" "$work/template"
cp "$here"/corpus/decoder/* "$work/decoder/"
cp "$here"/corpus/template/* "$here/../../resources/XMLDATA.xml" "$work/template/"

export ASAN_OPTIONS=abort_on_error=1:detect_leaks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

run() {  # run TARGET MAX_LEN
  local target=$1 maxLen=$2
  echo "--- $target: $runs runs, seed 1"
  "$build/tests/fuzz/$target" -runs="$runs" -seed=1 -max_len="$maxLen" \
    -artifact_prefix="$work/$target-" "$work/${target#fuzz_}" 2>"$work/$target.log" || {
    tail -n 40 "$work/$target.log"
    echo "$target failed; the input that broke it is in $work/" >&2
    return 1
  }
  tail -n 2 "$work/$target.log"
}

run fuzz_decoder 255
run fuzz_template 32768
