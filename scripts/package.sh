#!/bin/sh
# Builds the Debian package: build-package/tellura_<version>_<arch>.deb.
# Install it with `sudo apt install ./build-package/tellura_*.deb`.
set -e
cd "$(dirname "$0")/.."
dir=${1:-build-package}
launcher=
if command -v ccache >/dev/null 2>&1; then
  launcher="-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache"
fi
# shellcheck disable=SC2086
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON $launcher
cmake --build "$dir" --target tellura-installables
(cd "$dir" && cpack)
ls "$dir"/tellura_*.deb
