#!/bin/sh
# Not a test: times `rk7140ctl scan --from 1 --to 247` at 9600 baud 8N1
# against the virtual module (wire timing on) and compares it with the floor
# 247 x (minimum time-out + the engine's 10 ms pause + the 8-byte request on
# the line), and with the estimate the tool prints at the start. Then
# extrapolates `scan --all-settings` over all 40 settings from the floors
# per baud rate (10 bits a character for 8N1, 11 for the other formats).
#   scripts/bench-scan.sh [BUILD-DIR] [RUNS]
set -eu
build=${1:-build/main}
runs=${2:-1}
. "$(dirname "$0")/bench-virtual-module.sh"

# The minimum time-out of a baud rate: integer part of 264 / baud x 1000, plus 30.
floor() {  # baud bits
  awk -v b="$1" -v bits="$2" 'BEGIN { t = int(264 / b * 1000) + 30; printf "%.0f", 247 * (t + 10 + 8 * bits * 1000 / b) }'
}
floor_9600=$(floor 9600 10)
echo "floor at 9600 8N1: 247 x (57 + 10 + 8.33) ms = $floor_9600 ms"

best=
i=0
while [ $i -lt "$runs" ]; do
  start=$(date +%s%N)
  "$ctl" --port "$dir/rk" scan --from 1 --to 247 --output csv >"$dir/found.csv" 2>"$dir/err"
  end=$(date +%s%N)
  ms=$(( (end - start) / 1000000 ))
  if [ -z "$best" ] || [ $ms -lt "$best" ]; then best=$ms; fi
  i=$((i + 1))
done
estimate=$(sed -n 's/.*estimated \([0-9.]*\) s.*/\1/p' "$dir/err")
echo "scan --from 1 --to 247: best of $runs runs $best ms, found: $(tail -n +2 "$dir/found.csv" | tr '\n' ' ')"
awk -v a="$best" -v f="$floor_9600" -v e="$estimate" 'BEGIN {
  printf "  %.3fx the floor; the estimate printed at the start: %.1f s (%.3fx the real time)\n", a / f, e, e * 1000 / a }'

total=0
for baud in 1200 2400 4800 9600 14400 19200 28800 38400 57600 115200; do
  per=$(( $(floor $baud 10) + 3 * $(floor $baud 11) ))
  echo "  floor of --all-settings at $baud (8N1 + 3 formats at 11 bits): $per ms"
  total=$((total + per))
done
awk -v t="$total" -v a="$best" -v f="$floor_9600" 'BEGIN {
  printf "scan --all-settings over 40 settings: floor %.1f s (%.1f min); at the measured ratio %.1f s\n", t / 1000, t / 60000, t / 1000 * a / f }'
