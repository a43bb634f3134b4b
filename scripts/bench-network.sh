#!/bin/sh
# Not a test: exchanges per second of one register polled over loopback TCP
# against the virtual module's Modbus TCP listener (no wire timing), by
# `rk7140ctl poll --port modbus-tcp://...` and by `mbpoll -m tcp` (libmodbus).
# Both are paced rather than bound by the network: the engine pauses 10 ms
# after every exchange, and mbpoll polls at most every 11 ms (its least -l).
#   scripts/bench-network.sh [BUILD-DIR] [SECONDS]
set -eu
build=${1:-build/main}
seconds=${2:-10}
sim="$build/tools/sim/rk7140-sim"
ctl="$build/src/cli/rk7140ctl"
command -v mbpoll >/dev/null 2>&1 || { echo "mbpoll is not installed (scripts/install-deps.sh installs it)"; exit 1; }
dir=$(mktemp -d)
pid=
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  rm -rf "$dir"
}
trap cleanup EXIT INT TERM
mkfifo "$dir/control"
"$sim" --static-inputs --listen modbus-tcp://127.0.0.1:0 <"$dir/control" >"$dir/out" 2>&1 &
pid=$!
exec 3>"$dir/control"
tries=0
until grep -q '^listen: ' "$dir/out"; do
  tries=$((tries + 1)); [ $tries -gt 100 ] && { echo "the virtual module did not start"; cat "$dir/out"; exit 1; }
  sleep 0.05
done
endpoint=$(sed -n 's/^listen: //p' "$dir/out" | head -n 1)
port=${endpoint##*:}
echo "virtual module at $endpoint"

count=$((seconds * 60))
start=$(date +%s%N)
"$ctl" --port "$endpoint" poll 60070 --interval 0 --count "$count" >"$dir/poll.txt"
end=$(date +%s%N)
good=$(grep -c -E '[0-9]+$' "$dir/poll.txt" || true)
awk -v n="$good" -v ns=$((end - start)) \
  'BEGIN { printf "rk7140ctl poll (modbus-tcp://): %.1f exchanges/s (%d answers)\n", n / (ns / 1e9), n }'

timeout -s INT "$seconds" mbpoll -m tcp -a 16 -p "$port" -0 -t 4 -r 60070 -l 11 127.0.0.1 >"$dir/mbpoll.txt" 2>&1 || true
good=$(grep -c '^\[60070\]' "$dir/mbpoll.txt" || true)
awk -v n="$good" -v s="$seconds" \
  'BEGIN { printf "mbpoll -m tcp -l 11           : %.1f exchanges/s (%d answers)\n", n / s, n }'
