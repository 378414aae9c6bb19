#!/usr/bin/env bash
# Installs what is missing, builds, and starts the viewer on this desktop.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
top=$(dirname "$here")
"$here/setup.sh" "$top/build"
if [ -x "$top/build/bin/orvane" ]; then
  exec "$top/build/bin/orvane" "$@"
fi
echo "run: the build is complete; the viewer 'orvane' is not part of this build yet."
