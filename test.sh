#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test (what CI runs):
#   1. the normal build and all tests;
#   2. the Debian package made from that build and checked as Debian checks packages;
#   3. the same under AddressSanitizer + UndefinedBehaviorSanitizer;
#   4. the port engine's tests under ThreadSanitizer;
#   5. a short fixed-seed run of the fuzz targets (clang, libFuzzer);
#   6. core and transport cross-built for Windows (mingw-w64), tests run under Wine.
# Any failure stops the script with a non-zero exit code.
#
#   ./test.sh --quick   stage 1 only: the normal build and the CTest suite.
set -euo pipefail
cd "$(dirname "$0")"
root=$PWD
jobs=$(nproc 2>/dev/null || echo 2)

quick=false
case "${1:-}" in
  "") ;;
  --quick) quick=true ;;
  *) echo "usage: $0 [--quick]" >&2; exit 2 ;;
esac

scripts/install-deps.sh --test

stage() { printf '\n=== %s ===\n' "$*"; }

configure() {  # configure DIR [cmake options...]
  local dir=$1; shift
  cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRK_WERROR=ON "$@" >/dev/null
}

build() {  # build DIR [cmake options...]
  configure "$@"
  cmake --build "$1" -j "$jobs"
}

export QT_QPA_PLATFORM=offscreen

stage "build and test"
build build/main -DRK_TESTS=ON
ctest --test-dir build/main --output-on-failure -j "$jobs"
if $quick; then
  stage "quick run passed (the full run: ./test.sh)"
  exit 0
fi

stage "Debian package (lintian, desktop entry, AppStream, unpacked programs)"
deb=$(scripts/package.sh build/main | tail -n 1)
scripts/check-package.sh "$deb"

stage "AddressSanitizer + UndefinedBehaviorSanitizer"
build build/asan -DRK_SANITIZE=ON
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
LSAN_OPTIONS=suppressions="$root/tests/lsan.supp" \
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build/asan --output-on-failure -j "$jobs"

stage "ThreadSanitizer (port engine)"
configure build/tsan -DRK_TSAN=ON
cmake --build build/tsan -j "$jobs" --target transport_tests transport_line_tests transport_net_tests test_SimNetServer test_Ser2net
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
  ctest --test-dir build/tsan -L transport --output-on-failure

stage "fuzz targets (short fixed-seed run)"
CC=clang CXX=clang++ configure build/fuzz -DRK_FUZZ=ON
cmake --build build/fuzz -j "$jobs" --target fuzz_decoder fuzz_template
tests/fuzz/run.sh build/fuzz

stage "Windows build under Wine (core and transport)"
scripts/test-windows.sh build/mingw

stage "all stages passed"
