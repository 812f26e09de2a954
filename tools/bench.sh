#!/usr/bin/env bash
# Runs the benchmark (tools/bench-measure.sh, which takes the same
# environment) and keeps its table: printed as it goes, and written into
# docs/performance.md in place of the run before, so that the figures there
# are always a whole run's and none is copied by hand.
set -euo pipefail
ORVANE_ROOT=$(cd "$(dirname "$0")/.." && pwd)
report=$(mktemp)
trap 'rm -f "$report"' EXIT
status=0
bash "$ORVANE_ROOT/tools/bench-measure.sh" "$@" | tee "$report" || status=$?
doc="$ORVANE_ROOT/docs/performance.md"
if [ "$status" = 0 ] && [ -s "$report" ] && grep -q '<!-- latest-run:begin -->' "$doc"; then
  awk -v report="$report" '
    /<!-- latest-run:begin -->/ { print; while ((getline line < report) > 0) print line; skip = 1; next }
    /<!-- latest-run:end -->/ { skip = 0 }
    !skip { print }' "$doc" >"$doc.new" && mv "$doc.new" "$doc"
  echo "The table is in $doc" >&2
fi
exit "$status"
