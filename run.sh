#!/usr/bin/env bash
# Installs what building and running need, builds, starts the virtual RK-7140 module on a
# pseudo-terminal and opens the control panel with it as the selected port.
# Closing the panel stops the virtual module. Arguments go to the virtual
# module, e.g. "./run.sh --module 1 --module 16 --foreign 20" for a bus.
set -euo pipefail
cd "$(dirname "$0")"
jobs=$(nproc 2>/dev/null || echo 2)

scripts/install-deps.sh
# A new build folder leaves the tests out (GoogleTest is in the test set of
# packages); a folder that ./test.sh configured keeps them.
tests=()
[ -f build/main/CMakeCache.txt ] || tests=(-DRK_TESTS=OFF)
cmake -S . -B build/main -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${tests[@]}" >/dev/null
cmake --build build/main -j "$jobs" --target rk7140-panel rk7140-sim

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "No display: the panel is a desktop program. Run ./run.sh in a graphical session" >&2
  echo "(or, without one, e.g. 'xvfb-run ./run.sh' after 'apt-get install xvfb')." >&2
  exit 2
fi

runtime=$(mktemp -d "${TMPDIR:-/tmp}/rk7140.XXXXXX")
port="$runtime/virtual-rk7140"
build/main/tools/sim/rk7140-sim --link "$port" "$@" >"$runtime/sim.out" 2>"$runtime/sim.log" &
sim=$!
cleanup() {
  kill "$sim" 2>/dev/null || true
  wait "$sim" 2>/dev/null || true
  rm -rf "$runtime"
}
trap cleanup EXIT

for _ in $(seq 100); do
  grep -q '^ready: ' "$runtime/sim.out" 2>/dev/null && break
  kill -0 "$sim" 2>/dev/null || { cat "$runtime/sim.log" >&2; exit 1; }
  sleep 0.05
done
grep -q '^ready: ' "$runtime/sim.out" || { echo "The virtual module did not start." >&2; exit 1; }

if [ $# -eq 0 ]; then
  echo "Virtual RK-7140 module (address 16, 9600 8N1) on $port"
else
  echo "Virtual RK-7140 module ($*) on $port"
fi
echo "Other Modbus masters can use it too while the panel is not connected, e.g.:"
echo "  mbpoll -m rtu -a 16 -b 9600 -P none -0 -1 -t 3 -r 0x9000 $port"
export RK7140_PORTS="$port${RK7140_PORTS:+:$RK7140_PORTS}"
build/main/src/panel/rk7140-panel
