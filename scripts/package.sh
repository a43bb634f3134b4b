#!/usr/bin/env bash
# Builds the Debian package in a build folder (default build/main): the
# installed programs only, then CPack. A new folder is configured first, without
# the tests. The
# package, rk7140_VERSION_ARCH.deb, lands in that folder; its path is the last
# line printed.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build/main}

scripts/install-deps.sh
if [ ! -f "$dir/CMakeCache.txt" ]; then
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRK_TESTS=OFF >/dev/null
fi
cmake --build "$dir" -j "$(nproc 2>/dev/null || echo 2)" --target rk_installed
rm -f "$dir"/rk7140_*.deb
(cd "$dir" && cpack -G DEB >/dev/null)
realpath "$dir"/rk7140_*.deb
