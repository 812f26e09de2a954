#!/usr/bin/env bash
# The benchmark itself (tools/bench.sh runs it): builds the x64 target and
# measures every figure next to a baseline measured in the same run, their
# ratio and the target, as a Markdown table. ORVANE_BENCH_REPS, ORVANE_BENCH_ACQUIRE_REPS,
# ORVANE_BENCH_JOB_REPS, ORVANE_BENCH_SCAN_REPS set the repetitions (61, 15,
# 7 and 3).
set -euo pipefail
ORVANE_ROOT=$(cd "$(dirname "$0")/.." && pwd)
bash "$ORVANE_ROOT/tools/install-deps.sh" >&2
. "$ORVANE_ROOT/tools/wine-env.sh" >&2
. "$ORVANE_ROOT/tools/build.sh"
orvane_build x64 >&2

BIN="$ORVANE_BUILD/x64/bin"
WORK="$ORVANE_BUILD/bench"
REPS=${ORVANE_BENCH_REPS:-61}
ACQUIRE_REPS=${ORVANE_BENCH_ACQUIRE_REPS:-15}
JOB_REPS=${ORVANE_BENCH_JOB_REPS:-7}
rm -rf "$WORK"
mkdir -p "$WORK"
ISOLATED_REPS=${ORVANE_BENCH_ISOLATED_REPS:-31}
SCAN_REPS=${ORVANE_BENCH_SCAN_REPS:-3}
# Wine starts its desktop process for the first program that touches the
# display and stops it after the last: a holder keeps it up, as a desktop
# session does for a player, so that no figure pays for starting it.
"$WINE64" "$BIN/orvane_bench.exe" hold 900 &
HOLDER=$!
trap 'kill "$HOLDER" 2>/dev/null; rm -rf "$WORK"' EXIT
sleep 1
winpath() { "$WINE64" winepath -w "$1" 2>/dev/null | tr -d '\r'; }
now_ns() { date +%s%N; }
# min and median of the numbers on standard input
stats() { sort -g | awk '{v[NR]=$1} END {m=(NR%2)?v[(NR+1)/2]:(v[NR/2]+v[NR/2+1])/2; print v[1], m}'; }
verdict() { awk -v r="$1" -v t="$2" 'BEGIN {print (r <= t) ? "met" : "MISSED"}'; }

echo "Orvane benchmark, $(date -u '+%Y-%m-%d %H:%M UTC')"
echo "Machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//'), load average $(cut -d' ' -f1-3 /proc/loadavg), $(/usr/lib/wine/wine64 --version)"
echo
echo "| Figure | Case | Baseline min (median) | Measured min (median) | Ratio min (median) | Target | Result |"
echo "|---|---|---|---|---|---|---|"

"$WINE64" "$BIN/orvane_bench.exe" check
"$WINE64" "$BIN/orvane_bench.exe" audio "$REPS"
"$WINE64" "$BIN/orvane_bench.exe" acquire "$ACQUIRE_REPS"
# A plug-in in a process of its own: the time each chunk adds, allocations
# on both sides, acquiring.
"$WINE64" "$BIN/orvane_bench.exe" isolated "$ISOLATED_REPS"
# The same plug-in's process ended under it 20 times: how soon it is back.
"$WINE64" "$BIN/orvane_bench.exe" restart "${ORVANE_BENCH_RESTART_FAULTS:-20}"
# A folder of 100 DLLs scanned for plug-ins, each in a process of its own.
"$WINE64" "$BIN/orvane_bench.exe" scan "$SCAN_REPS"

# Test files: 10 seconds, and 10 minutes for the whole job and for memory.
"$WINE64" "$BIN/orvane_bench.exe" make-wav "$(winpath "$WORK/short.wav")" 10
"$WINE64" "$BIN/orvane_bench.exe" make-wav "$(winpath "$WORK/long.wav")" 600

# A profile whose chain holds the stereo pass-through plug-in.
PROFILE=$(winpath "$WORK/profile")
orvane() { "$WINE64" "$BIN/orvane.exe" --profile "$PROFILE" --quiet "$@"; }
orvane add "$(winpath "$BIN/plugins/pass_through_2.dll")" >/dev/null
orvane chain add "Orvane Pass 2" >/dev/null

"$WINE64" "$BIN/orvane_bench.exe" tool-allocs "$PROFILE" "$(winpath "$WORK/short.wav")" \
  "$(winpath "$WORK/long.wav")" "$(winpath "$WORK/allocs-out.wav")"

# The whole job, alternating the two programs so that load changes hit both.
# The Windows paths are worked out here: winepath is a Wine program of its
# own, and inside the timed interval it would add its start-up to both sides.
PLUGIN=$(winpath "$BIN/plugins/pass_through_2.dll")
LONG_WAV=$(winpath "$WORK/long.wav")
DIRECT_OUT=$(winpath "$WORK/direct-out.wav")
TOOL_OUT=$(winpath "$WORK/tool-out.wav")
: >"$WORK/direct.times"
: >"$WORK/tool.times"
: >"$WORK/direct.loop"
: >"$WORK/tool.loop"
# Each run starts with no output file and no dirty pages left by the one
# before, so that neither pays for the other's write-back.
for _ in $(seq "$JOB_REPS"); do
  rm -f "$WORK/direct-out.wav" "$WORK/tool-out.wav"
  sync
  t0=$(now_ns)
  "$WINE64" "$BIN/direct_process.exe" "$PLUGIN" "$LONG_WAV" "$DIRECT_OUT" >"$WORK/direct.out"
  t1=$(now_ns)
  sync
  t2=$(now_ns)
  orvane process "$LONG_WAV" "$TOOL_OUT" >"$WORK/tool.out"
  t3=$(now_ns)
  echo $(((t1 - t0) / 1000000)) >>"$WORK/direct.times"
  echo $(((t3 - t2) / 1000000)) >>"$WORK/tool.times"
  # Each program's own figure for its processing, without its start-up.
  awk '/^Processing:/ {printf "%d\n", $2 * 1000}' "$WORK/direct.out" >>"$WORK/direct.loop"
  awk '/^Speed:/ {printf "%d\n", 600 / $2 * 1000}' "$WORK/tool.out" >>"$WORK/tool.loop"
done
read -r dmin dmed < <(stats <"$WORK/direct.times")
read -r tmin tmed < <(stats <"$WORK/tool.times")
ratio=$(awk -v a="$tmin" -v b="$dmin" 'BEGIN {printf "%.2f", a / b}')
mratio=$(awk -v a="$tmed" -v b="$dmed" 'BEGIN {printf "%.2f", a / b}')
result=$(verdict "$ratio" 1.05)
cmp -s "$WORK/direct-out.wav" "$WORK/tool-out.wav" || result="MISSED (outputs differ)"
echo "| Whole job | orvane process, 10 min stereo float | ${dmin} ms (${dmed} ms) | ${tmin} ms (${tmed} ms) | ${ratio}x (${mratio}x) | <= 1.05x | $result |"
read -r dmin dmed < <(stats <"$WORK/direct.loop")
read -r tmin tmed < <(stats <"$WORK/tool.loop")
ratio=$(awk -v a="$tmin" -v b="$dmin" 'BEGIN {printf "%.2f", a / b}')
mratio=$(awk -v a="$tmed" -v b="$dmed" 'BEGIN {printf "%.2f", a / b}')
echo "| Whole job, processing only | the same runs without program start-up | ${dmin} ms (${dmed} ms) | ${tmin} ms (${tmed} ms) | ${ratio}x (${mratio}x) | <= 1.05x | $(verdict "$ratio" 1.05) |"

# Peak working set against the file's length.
peak_kb() {
  /usr/bin/time -f %M -o "$WORK/peak" "$WINE64" "$BIN/orvane.exe" --profile "$PROFILE" --quiet process \
    "$(winpath "$1")" "$(winpath "$WORK/mem-out.wav")" >/dev/null
  cat "$WORK/peak"
}
short_kb=$(peak_kb "$WORK/short.wav")
long_kb=$(peak_kb "$WORK/long.wav")
ratio=$(awk -v a="$long_kb" -v b="$short_kb" 'BEGIN {printf "%.2f", a / b}')
echo "| Peak working set | process, 10 s against 10 min | ${short_kb} KB | ${long_kb} KB | ${ratio}x | <= 1.05x | $(verdict "$ratio" 1.05) |"

# The whole job with the plug-in in a process of its own. The tool puts a
# plug-in of the other architecture there by itself: the x86 build of the
# pass-through plug-in runs bridged, the x64 one in the tool's process. Only
# the WoW64 Wine of the 32-bit userland (tools/x86-root.sh) runs both, so
# both sides run there.
. "$ORVANE_ROOT/tools/x86-root.sh"
if orvane_x86_root >&2; then
  wow() { ORVANE_X86_WINE=/usr/lib/wine/wine64 "$ORVANE_ROOT/tools/wine-x86.sh" "$@"; }
  if [ ! -f "$ORVANE_BUILD/wineprefix-x86/system.reg" ]; then
    wow wineboot -i >/dev/null 2>&1 </dev/null || true
  fi
  ORVANE_X86_WINE=/usr/lib/wine/wineserver "$ORVANE_ROOT/tools/wine-x86.sh" -p >/dev/null 2>&1 || true
  wow "$BIN/orvane_bench.exe" hold 900 >/dev/null 2>&1 &
  WOW_HOLDER=$!
  trap 'kill "$HOLDER" "$WOW_HOLDER" 2>/dev/null; rm -rf "$WORK"' EXIT
  sleep 2
  for place in here isolated; do
    plugin="$BIN/plugins/pass_through_2.dll"
    [ "$place" = isolated ] && plugin="$BIN/plugins32/pass_through_2.dll"
    wow "$BIN/orvane.exe" --profile "$WORK/wow-$place" --quiet add "$plugin" >/dev/null
    wow "$BIN/orvane.exe" --profile "$WORK/wow-$place" --quiet chain add "Orvane Pass 2" >/dev/null
    : >"$WORK/wow-$place.times"
  done
  for _ in $(seq "$JOB_REPS"); do
    for place in here isolated; do
      rm -f "$WORK/wow-$place-out.wav"
      sync
      t0=$(now_ns)
      wow "$BIN/orvane.exe" --profile "$WORK/wow-$place" --quiet process "$WORK/long.wav" "$WORK/wow-$place-out.wav" \
        >/dev/null
      t1=$(now_ns)
      echo $(((t1 - t0) / 1000000)) >>"$WORK/wow-$place.times"
    done
  done
  read -r hmin hmed < <(stats <"$WORK/wow-here.times")
  read -r imin imed < <(stats <"$WORK/wow-isolated.times")
  ratio=$(awk -v a="$imin" -v b="$hmin" 'BEGIN {printf "%.2f", a / b}')
  mratio=$(awk -v a="$imed" -v b="$hmed" 'BEGIN {printf "%.2f", a / b}')
  result="reported"
  cmp -s "$WORK/wow-here-out.wav" "$WORK/wow-isolated-out.wav" || result="MISSED (outputs differ)"
  echo "| Whole job, isolated | orvane process, 10 min stereo float, WoW64 Wine | ${hmin} ms (${hmed} ms) | ${imin} ms (${imed} ms) | ${ratio}x (${mratio}x) | report | $result |"
else
  echo "| Whole job, isolated | orvane process, 10 min stereo float | - | not measured: no 32-bit userland | - | report | - |"
fi
