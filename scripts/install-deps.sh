#!/usr/bin/env bash
# Installs the Debian packages the project needs, only those that are missing.
#   scripts/install-deps.sh         what building and running need (./run.sh)
#   scripts/install-deps.sh --test  also what the tests, the package check, the
#                                   sanitizer and fuzz builds and the Windows
#                                   build under Wine need (./test.sh)
set -euo pipefail

# Building the programs and the package, running the panel and the virtual module.
run_packages=(
  cmake ninja-build g++ make pkg-config
  libpugixml-dev
  libcli11-dev nlohmann-json3-dev
  qt6-base-dev qt6-translations-l10n fonts-dejavu-core
  dpkg-dev file
)
# The test stages on top of that.
test_packages=(
  libgtest-dev libgmock-dev
  clang libclang-rt-14-dev
  mbpoll socat ser2net
  lintian desktop-file-utils appstream
  g++-mingw-w64-x86-64-posix wine wine64
)

packages=("${run_packages[@]}")
case "${1:-}" in
  "") ;;
  --test) packages+=("${test_packages[@]}") ;;
  *) echo "usage: $0 [--test]" >&2; exit 2 ;;
esac

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing missing packages: ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then SUDO=sudo; else
    echo "Packages are missing and this is not root: ${missing[*]}" >&2
    exit 1
  fi
else
  SUDO=
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
