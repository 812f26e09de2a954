#!/usr/bin/env bash
# Installs what is missing, builds the x64 component and runs the orvane
# tool with the given arguments (with none: the demo).
set -euo pipefail
ORVANE_ROOT=$(cd "$(dirname "$0")/.." && pwd)
bash "$ORVANE_ROOT/tools/install-deps.sh" >&2
. "$ORVANE_ROOT/tools/wine-env.sh"
. "$ORVANE_ROOT/tools/build.sh"
orvane_build x64 >&2
exec "$WINE64" "$ORVANE_BUILD/x64/bin/orvane.exe" "$@"
