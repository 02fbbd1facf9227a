#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer)
# and runs them side by side, each for the given seconds on its seed corpus, then says how many
# inputs each ran. Fails when any target found a crash, a leak, a sanitizer report or a hang;
# the input that did it is kept under build/fuzz-runs/<target>/.
#
#   scripts/fuzz.sh [seconds] [target...]     (default 20 s, every target)
#   TARVIK_FUZZ_JOBS=n                        (targets at once, default the number of cores)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-20}
shift || true
jobs=${TARVIK_FUZZ_JOBS:-$(nproc)}
build="$root/build/fuzz"
runs="$root/build/fuzz-runs"

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Debug \
  -DTARVIK_SANITIZE=address,undefined -DTARVIK_BUILD_FUZZ=ON -DTARVIK_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target fuzz_targets

if (($#)); then
  targets=("$@")
else
  mapfile -t targets < <(cd "$root/fuzz/corpus" && ls)
fi

mkdir -p "$runs"

run_one() {
  local name=$1 seconds=$2 root=$3 build=$4 runs=$5
  local dir="$runs/$name"
  rm -rf "$dir"
  mkdir -p "$dir/corpus"
  # New inputs go to the run's own corpus; the seeds in the repository are only read.
  if "$build/fuzz/${name}_fuzz" "$dir/corpus" "$root/fuzz/corpus/$name" \
      -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
      -artifact_prefix="$dir/" >"$dir/log" 2>&1; then
    echo "$name ok"
  else
    echo "$name FAILED"
  fi
}
export -f run_one
printf '%s\n' "${targets[@]}" |
  xargs -P "$jobs" -I{} bash -c 'run_one "$@"' _ {} "$seconds" "$root" "$build" "$runs" >"$runs.status"

status=0
printf '%-24s %14s  %s\n' target executions result
for name in "${targets[@]}"; do
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$runs/$name/log" | tail -1)
  if grep -qx "$name ok" "$runs.status"; then
    printf '%-24s %14s  %s\n' "$name" "${execs:-?}" ok
  else
    printf '%-24s %14s  %s\n' "$name" "${execs:-?}" "FAILED: see $runs/$name/log"
    grep -m1 -E 'ERROR: |runtime error|SUMMARY' "$runs/$name/log" >&2 || true
    status=1
  fi
done
exit $status
