#!/usr/bin/env bash
# Builds every test under AddressSanitizer and UndefinedBehaviorSanitizer and runs them all,
# then the threaded suites under ThreadSanitizer, the Windows syntax check and every fuzz target
# for a short while.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
jobs=$(nproc)

cmake -S "$root" -B "$root/build/test" -DCMAKE_BUILD_TYPE=Debug -DTARVIK_SANITIZE=address,undefined -DTARVIK_BUILD_BENCH=OFF
cmake --build "$root/build/test" -j "$jobs"
ctest --test-dir "$root/build/test" -j "$jobs" --output-on-failure

cmake -S "$root" -B "$root/build/tsan" -DCMAKE_BUILD_TYPE=Debug -DTARVIK_SANITIZE=thread -DTARVIK_BUILD_BENCH=OFF
cmake --build "$root/build/tsan" -j "$jobs"
ctest --test-dir "$root/build/tsan" -j "$jobs" --output-on-failure -L threaded

"$root/scripts/check-windows-syntax.sh"
"$root/scripts/fuzz.sh" 20
