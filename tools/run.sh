#!/usr/bin/env bash
# Installs what is missing, builds the x64 component and runs the orvane
# tool with the given arguments (with none: the demo).
set -euo pipefail
ORVANE_ROOT=$(cd "$(dirname "$0")/.." && pwd)
bash "$ORVANE_ROOT/tools/install-deps.sh" >&2
. "$ORVANE_ROOT/tools/wine-env.sh"
. "$ORVANE_ROOT/tools/build.sh"
orvane_build x64 >&2
# Absolute Unix paths become the Windows paths Wine gives them.
args=()
for a in "$@"; do
  if [[ "$a" == /* ]]; then
    args+=("$("$WINE64" winepath -w "$a" 2>/dev/null | tr -d '\r' || printf '%s' "$a")")
  else
    args+=("$a")
  fi
done
exec "$WINE64" "$ORVANE_BUILD/x64/bin/orvane.exe" "${args[@]+"${args[@]}"}"
