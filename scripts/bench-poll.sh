#!/bin/sh
# Not a test: exchanges per second of one register polled at 9600 8N1 against
# the virtual module with real wire timing, by `rk7140ctl poll` (frame-complete
# exchanges, and --wait-silence for comparison) and by mbpoll (libmodbus),
# against the line's limit: request and answer at 10 bits a character, 3.5
# characters of silence and the engine's 10 ms pause.
#   scripts/bench-poll.sh [BUILD-DIR] [SECONDS]
set -eu
build=${1:-build/main}
seconds=${2:-10}
. "$(dirname "$0")/bench-virtual-module.sh"

limit=$(awk 'BEGIN { ms = (8 + 7) * 10 * 1000 / 9600 + 3.5 * 10 * 1000 / 9600 + 10; printf "%.1f", 1000 / ms }')
echo "line's limit for a read of one register (8 + 7 bytes, 3.5 characters, 10 ms): $limit exchanges/s"

ctl_rate() {  # label, options...
  label=$1; shift
  count=$((seconds * 40))
  start=$(date +%s%N)
  "$ctl" --port "$dir/rk" "$@" poll 60070 --interval 0 --count "$count" >"$dir/poll.txt"
  end=$(date +%s%N)
  good=$(grep -c -E '[0-9]+$' "$dir/poll.txt" || true)
  awk -v n="$good" -v ns=$((end - start)) -v l="$limit" -v t="$label" \
    'BEGIN { r = n / (ns / 1e9); printf "%s: %.1f exchanges/s (%d answers), %.2fx the limit\n", t, r, n, l / r }'
}
ctl_rate "rk7140ctl poll                " 
ctl_rate "rk7140ctl poll --wait-silence " --wait-silence

timeout -s INT "$seconds" mbpoll -m rtu -a 16 -b 9600 -P none -0 -t 4 -r 60070 -l 11 -o 0.2 "$dir/rk" >"$dir/mbpoll.txt" 2>&1 || true
good=$(grep -c '^\[60070\]' "$dir/mbpoll.txt" || true)
awk -v n="$good" -v s="$seconds" -v l="$limit" \
  'BEGIN { r = n / s; printf "mbpoll -l 11                  : %.1f exchanges/s (%d answers), %.2fx the limit\n", r, n, l / r }'
