#!/usr/bin/env bash
# Installs what is missing, builds both targets and runs every test on both.
set -euo pipefail
ORVANE_ROOT=$(cd "$(dirname "$0")/.." && pwd)
bash "$ORVANE_ROOT/tools/install-deps.sh"
. "$ORVANE_ROOT/tools/wine-env.sh"
. "$ORVANE_ROOT/tools/build.sh"
. "$ORVANE_ROOT/tools/x86-root.sh"
export ORVANE_BUILD
wine_x86="$ORVANE_ROOT/tools/wine-x86.sh"

orvane_build x64
orvane_build x86

# A test that is ended from outside (a timeout, a crash it provokes) leaves
# its temporary folder behind, and thousands of them slow every lookup of a
# name in that folder under Wine: gone before each run.
for prefix in "$ORVANE_BUILD/wineprefix" "$ORVANE_BUILD/wineprefix-x86"; do
  rm -rf "$prefix"/drive_c/users/*/Temp/orvane-test-* "$prefix"/drive_c/users/*/Temp/orvane-demo-* 2>/dev/null || true
done

# Wine's desktop process starts with the first program that shows a window
# and lives while any program still has one, keeping the output handles of
# the program that started it. Start it here on /dev/null, with a window that
# lives through the whole run, so that no test's output stays open after the
# test. The x86 prefix gets one of its own below.
keepers=()
trap 'kill "${keepers[@]}" 2>/dev/null || true' EXIT
"$WINE64" notepad.exe >/dev/null 2>&1 </dev/null &
keepers+=($!)
sleep 2

# Each test in a process of its own, then the stress test again and again:
# a race between threads that share one plug-in shows once in many runs.
run_suite() {
  (cd "$ORVANE_BUILD/$1" && ctest --output-on-failure -j2 --timeout 300)
}
run_stress() {
  (cd "$ORVANE_BUILD/$1" &&
    ctest -R '^DspStress\.ManyThreads' --repeat until-fail:200 --timeout 120 --output-on-failure \
      >"$ORVANE_BUILD/$1/stress.log" 2>&1
  ) || { echo "stress test failed on $1:"; tail -n 40 "$ORVANE_BUILD/$1/stress.log"; return 1; }
  echo "stress test on $1: $(grep -c 'Test #.*Passed' "$ORVANE_BUILD/$1/stress.log") runs passed"
}

# The 32-bit userland and its prefix come first: the x64 suite's
# cross-architecture test runs x86 plug-ins under its WoW64 Wine too.
have_x86=0
if orvane_x86_root; then
  have_x86=1
  x86_prefix="$ORVANE_BUILD/wineprefix-x86"
  if [ ! -f "$x86_prefix/system.reg" ]; then
    echo "Preparing a Wine prefix in $x86_prefix"
    ORVANE_X86_WINE=/usr/lib/wine/wine64 "$wine_x86" wineboot -i >/dev/null 2>&1 </dev/null || true
  fi
  orvane_wine_fonts "$x86_prefix"
  ORVANE_X86_WINE=/usr/lib/wine/wineserver "$wine_x86" -p >/dev/null 2>&1 || true
  if [ ! -f "$x86_prefix/.orvane-no-crash-dialog" ]; then
    "$wine_x86" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1 </dev/null &&
      touch "$x86_prefix/.orvane-no-crash-dialog"
  fi
  "$wine_x86" cmd.exe /c exit >/dev/null 2>&1 </dev/null || true
  "$wine_x86" notepad.exe >/dev/null 2>&1 </dev/null &
  keepers+=($!)
  sleep 2
fi

echo "Testing x64"
run_suite x64

# A short, fixed-seed pass of every native fuzzing harness: seconds in all.
ORVANE_FUZZ_RUNS=${ORVANE_FUZZ_RUNS:-3000} bash "$ORVANE_ROOT/tools/fuzz.sh"

stress_targets=(x64)
if [ "$have_x86" = 1 ]; then
  echo "Testing x86 (32-bit Wine in $ORVANE_X86_ROOT)"
  run_suite x86
  stress_targets+=(x86)
else
  # The export check reads the DLL without running it.
  sh "$ORVANE_ROOT/tests/check_dll.sh" i686-w64-mingw32-objdump "$ORVANE_BUILD/x86/bin/vel_vst.dll"
  echo "x86 tests skipped (the x86 build was compiled, linked and its exports checked)."
fi

# Both targets' stress loops at once: they take the longest, and the load
# of the other makes a race likelier, not rarer.
pids=()
for target in "${stress_targets[@]}"; do
  run_stress "$target" &
  pids+=($!)
done
status=0
for pid in "${pids[@]}"; do wait "$pid" || status=1; done
exit $status
