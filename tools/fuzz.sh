#!/usr/bin/env bash
# Fuzzes every parser of outside bytes that builds natively: libFuzzer with
# AddressSanitizer and UndefinedBehaviorSanitizer, each harness in fuzz/
# against its seed corpus in fuzz/corpus/<name>/.
#
#   bash tools/fuzz.sh [SECONDS]   run each harness for SECONDS (default 60)
#   ORVANE_FUZZ_RUNS=N bash tools/fuzz.sh
#                                  instead run N inputs per harness from a
#                                  fixed seed (what tools/test.sh does)
#
# Inputs that grew the coverage collect in build/fuzz/corpus/<name>/; a
# crash is written to build/fuzz/crashes/ and the script fails. Turn each
# into a case of tests/fuzz/fuzz_regressions_test.cpp with its exact bytes.
set -euo pipefail
ORVANE_ROOT=$(cd "$(dirname "$0")/.." && pwd)
ORVANE_BUILD=${ORVANE_BUILD:-"$ORVANE_ROOT/build"}
seconds=${1:-60}
out="$ORVANE_BUILD/fuzz"
mkdir -p "$out/crashes"

CXX=${ORVANE_FUZZ_CXX:-clang++-14}
flags=(-std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined
       -Wall -Wextra -Werror -I"$ORVANE_ROOT")

declare -A sources=(
  [list_file]="shell/list_format.cpp shell/identifier_parse.cpp"
  [state_file]="cli/state_format.cpp"
  [wav_header]="cli/wav_header.cpp"
  [config_records]="shell/config_records.cpp"
  [scan_memory]=""
)

failed=0
for name in list_file state_file wav_header config_records scan_memory; do
  exe="$out/${name}_fuzz"
  srcs=("$ORVANE_ROOT/fuzz/${name}_fuzz.cpp")
  for s in ${sources[$name]}; do srcs+=("$ORVANE_ROOT/$s"); done
  # Rebuilt when the script, a source or any header the cores may use changed.
  newest=$(ls -t "${srcs[@]}" "$0" "$ORVANE_ROOT"/{shell,cli,Helpers}/*.h "$ORVANE_ROOT/vst/scan_kind.h" | head -1)
  if [ ! -x "$exe" ] || [ "$newest" -nt "$exe" ]; then
    "$CXX" "${flags[@]}" "${srcs[@]}" -o "$exe"
  fi
  corpus="$out/corpus/$name"
  mkdir -p "$corpus"
  if [ -n "${ORVANE_FUZZ_RUNS:-}" ]; then
    budget=(-runs="$ORVANE_FUZZ_RUNS" -seed=1)
  else
    budget=(-max_total_time="$seconds")
  fi
  # The fresh corpus comes first: new inputs go there, the seeds stay as
  # they are in the repository.
  if ! "$exe" "${budget[@]}" -max_len=4096 -rss_limit_mb=1024 -timeout=10 \
       -artifact_prefix="$out/crashes/${name}-" "$corpus" "$ORVANE_ROOT/fuzz/corpus/$name" \
       >"$out/$name.log" 2>&1; then
    echo "fuzz: $name failed; see $out/$name.log and $out/crashes/" >&2
    tail -30 "$out/$name.log" >&2
    failed=1
  else
    echo "fuzz: $name: $(grep -Eo 'Done [0-9]+ runs' "$out/$name.log" | tail -1 || true)"
  fi
done
exit $failed
