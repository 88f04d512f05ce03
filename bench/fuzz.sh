#!/usr/bin/env bash
# Builds the libFuzzer programs (clang, ASan + UBSan) in their own build folder
# and runs each target for the given number of seconds (default 600), two at a
# time, over tests/fuzz/corpus/<target>/. What a run finds that adds coverage is
# merged back into the corpus; a crash or broken rule is left as
# <build>/artifacts/<target>/crash-* and makes the script fail.
#   bench/fuzz.sh [seconds] [target...]
set -uo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${ZORVA_FUZZ_BUILD_DIR:-$ROOT/build-fuzz}"
SECONDS_EACH="${1:-600}"
shift $(($# > 0 ? 1 : 0))
TARGETS=("$@")
((${#TARGETS[@]})) || TARGETS=(hex_reader ini_loader journal_loader stand_replies)
JOBS="${FUZZ_JOBS:-2}"

"$ROOT/scripts/install-deps" || exit 1
cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DZORVA_FUZZ=ON -DZORVA_TESTS=OFF -DZORVA_BENCH=OFF >/dev/null || exit 1
cmake --build "$BUILD" -j"$(nproc)" --target "${TARGETS[@]/#/fuzz_}" || exit 1

# Qt's own allocations at exit are not ours to fix.
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}"
export LSAN_OPTIONS="${LSAN_OPTIONS:-suppressions=$ROOT/tests/sanitizer/lsan.supp:print_suppressions=0}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"

run_one() {
  local t="$1" corpus="$ROOT/tests/fuzz/corpus/$1" out="$BUILD/fuzz-runs/$1"
  rm -rf "$out" && mkdir -p "$out/new" "$BUILD/artifacts/$t"
  # New inputs go to a scratch folder; only the ones adding coverage reach the corpus.
  "$BUILD/fuzz/fuzz_$t" -max_total_time="$SECONDS_EACH" -max_len=8192 -timeout=10 \
    -print_final_stats=1 -artifact_prefix="$BUILD/artifacts/$t/" \
    "$out/new" "$corpus" >"$out/log" 2>&1
  echo $? >"$out/rc"
  "$BUILD/fuzz/fuzz_$t" -merge=1 -max_len=8192 "$corpus" "$out/new" >"$out/merge.log" 2>&1
}

running=0
for t in "${TARGETS[@]}"; do
  run_one "$t" &
  running=$((running + 1))
  if ((running >= JOBS)); then
    wait -n
    running=$((running - 1))
  fi
done
wait

status=0
printf '%-16s %14s %10s %8s  %s\n' target runs exec/s corpus result
for t in "${TARGETS[@]}"; do
  out="$BUILD/fuzz-runs/$t"
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$out/log" | tail -1)
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$out/log" | tail -1)
  files=$(find "$ROOT/tests/fuzz/corpus/$t" -type f | wc -l)
  rc=$(cat "$out/rc")
  result=ok
  if [[ "$rc" != 0 ]]; then
    result="FAILED (rc $rc, see $out/log and $BUILD/artifacts/$t/)"
    status=1
  fi
  printf '%-16s %14s %10s %8s  %s\n' "$t" "${runs:-?}" "${speed:-?}" "$files" "$result"
done
exit $status
