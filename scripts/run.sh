#!/usr/bin/env bash
# Installs what is missing, builds, and starts the viewer on this desktop.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
top=$(dirname "$here")
"$here/setup.sh" "$top/build"
# TELLURA_V4L2SIM=<personality>[,...] starts the viewer on the simulated
# V4L2 card (tests/v4l2sim/V4l2Sim.h), so the real-card path runs without a card.
if [ -n "${TELLURA_V4L2SIM:-}" ]; then
  export LD_PRELOAD="$top/build/bin/libtellura_v4l2sim.so${LD_PRELOAD:+:$LD_PRELOAD}"
fi
if [ -x "$top/build/bin/orvane" ]; then
  exec "$top/build/bin/orvane" "$@"
fi
echo "run: the build is complete; the viewer 'orvane' is not part of this build yet."
