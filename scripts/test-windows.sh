#!/usr/bin/env bash
# Cross-builds core and transport with their tests for Windows (mingw-w64)
# into the folder $1 and runs them under Wine. The line tests get a pair of
# COM ports of their own: COM12 (the engine's, long device name) and COM7
# (the far end), mapped to the two ends of a pseudo-terminal pair made by
# socat. COM1 is never used: Wine maps it to the machine's /dev/ttyS0.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:?usage: scripts/test-windows.sh BUILD_DIR}
mkdir -p "$build"
build=$(cd "$build" && pwd)
jobs=$(nproc 2>/dev/null || echo 2)

engine_com=12
far_com=7

cmake -S "$root" -B "$build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRK_WERROR=ON >/dev/null
cmake --build "$build" -j "$jobs" --target core_tests transport_tests transport_line_tests

export WINEPREFIX="$build/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wineboot -i >/dev/null 2>&1 || true
fi
wineserver -w

pty_dir=$(mktemp -d)
socat_pid=
cleanup() {
  [ -n "$socat_pid" ] && kill "$socat_pid" 2>/dev/null || true
  wineserver -k 2>/dev/null || true
  rm -f "$WINEPREFIX/dosdevices/com$engine_com" "$WINEPREFIX/dosdevices/com$far_com"
  rm -rf "$pty_dir"
}
trap cleanup EXIT

socat pty,raw,echo=0,link="$pty_dir/engine" pty,raw,echo=0,link="$pty_dir/far" 2>/dev/null &
socat_pid=$!
for _ in $(seq 100); do
  [ -e "$pty_dir/engine" ] && [ -e "$pty_dir/far" ] && break
  sleep 0.05
done
[ -e "$pty_dir/engine" ] && [ -e "$pty_dir/far" ] || { echo "socat made no pty pair" >&2; exit 1; }
ln -sfn "$(readlink -f "$pty_dir/engine")" "$WINEPREFIX/dosdevices/com$engine_com"
ln -sfn "$(readlink -f "$pty_dir/far")" "$WINEPREFIX/dosdevices/com$far_com"

export RK7140_TEST_COM=$engine_com RK7140_TEST_FAR_COM=$far_com RK7140_TEST_REQUIRE_LINE=1
ctest --test-dir "$build" -R '^(core_tests|transport_tests|transport_line_tests)$' --output-on-failure ${RK_CTEST_ARGS:-}
