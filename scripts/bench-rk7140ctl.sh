#!/bin/sh
# Not a test: times `rk7140ctl dump` at 9600 baud against the virtual module
# with real wire timing, once ending each exchange by the Modbus framing
# (the default) and once by 50 ms of silence (--wait-silence, as the panel
# does), and prints the line's own time for the same exchanges: request and
# answer bytes at 10 bits each (8N1) plus the engine's 10 ms pause.
#   scripts/bench-rk7140ctl.sh [BUILD-DIR] [RUNS]
set -eu
build=${1:-build/main}
runs=${2:-3}
here=$(cd "$(dirname "$0")/.." && pwd)
. "$(dirname "$0")/bench-virtual-module.sh"

# The line's own time: every readable tag of the template, one exchange each.
line_ms=$(awk '
  /<tag / {
    read = 0; seg = 0
    if (match($0, /read="[0-9]+"/)) read = substr($0, RSTART + 6, RLENGTH - 7) + 0
    if (match($0, /segsize="[0-9]+"/)) seg = substr($0, RSTART + 9, RLENGTH - 10) + 0
    if (read < 1 || read > 4) next
    answer = (read <= 2) ? 5 + int((seg + 7) / 8) : 5 + 2 * seg
    n++; bytes += 8 + answer
  }
  END { printf "%.0f %d %d", bytes * 10 * 1000 / 9600 + n * 10, n, bytes }' "$here/resources/XMLDATA.xml")
set -- $line_ms
line_total=$1
echo "line's own time for $2 exchanges ($3 bytes at 10 bits, 9600 baud, plus 10 ms each): $1 ms"

measure() {
  label=$1; shift
  best=
  i=0
  while [ $i -lt "$runs" ]; do
    start=$(date +%s%N)
    "$ctl" --port "$dir/rk" "$@" dump --output json >"$dir/dump.json"
    end=$(date +%s%N)
    ms=$(( (end - start) / 1000000 ))
    if [ -z "$best" ] || [ $ms -lt "$best" ]; then best=$ms; fi
    i=$((i + 1))
  done
  tags=$(grep -c '"quality": 192' "$dir/dump.json" || true)
  ratio=$(awk -v a="$best" -v b="$line_total" 'BEGIN { printf "%.2f", a / b }')
  echo "$label: best of $runs runs $best ms ($tags tags good), ${ratio}x the line's own time"
}
measure "dump, completion rule      " 
measure "dump, 50 ms silence (panel)" --wait-silence
