#!/bin/sh
# Not a test: times `rk7140ctl config save` and `config restore` (every write
# one after another, then the read-back) at 9600 baud against the virtual
# module with real wire timing, best of RUNS runs each.
#   scripts/bench-settings.sh [BUILD-DIR] [RUNS]
set -eu
build=${1:-build/main}
runs=${2:-3}
. "$(dirname "$0")/bench-virtual-module.sh"

measure() {
  label=$1; shift
  best=
  i=0
  while [ $i -lt "$runs" ]; do
    start=$(date +%s%N)
    "$ctl" --port "$dir/rk" config "$@" >"$dir/out.txt"
    end=$(date +%s%N)
    ms=$(( (end - start) / 1000000 ))
    if [ -z "$best" ] || [ $ms -lt "$best" ]; then best=$ms; fi
    i=$((i + 1))
  done
  echo "$label: best of $runs runs $best ms"
}
measure "config save   " save "$dir/module.json"
measure "config restore" restore "$dir/module.json"
grep -q verified "$dir/out.txt" || { echo "the restore was not verified:"; cat "$dir/out.txt"; exit 1; }
