#!/bin/sh
# Builds the Debian package tellura_<version>_<arch>.deb into BUILD/package/,
# from the build folder BUILD (default build/, made by scripts/setup.sh and
# configured here when missing). Install it with
#   sudo apt install ./build/package/tellura_*.deb
# The package installs under /usr whatever prefix BUILD was configured with.
set -e
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build}
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$top" -B "$build" -G Ninja
fi
cmake --build "$build" --target tellura-installables
cd "$build"
rm -f package/tellura_*.deb
cpack -B "$build/package"
ls "$build"/package/tellura_*.deb
