#!/usr/bin/env bash
# What TarvikClient costs as an installed service on a fresh stand-in machine with eight
# monitors served by monsim and talking to the management-server double: CPU while idle,
# resident memory after start-up and after 1000 display commands and 10 reconnects, and the
# agent's own time from a display command's arrival to the monitor's write. Prints each figure
# with its target; exits non-zero only when a figure could not be measured.
#
#   bench/agent-cost.sh [--seconds N] [--build DIR]
#
# --seconds: the idle window (default 60); --build: the Release build folder (default build/bench).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=60
build="$root/build/bench"
while (($#)); do
  case "$1" in
    --seconds) seconds=${2:?}; shift 2 ;;
    --build) build=${2:?}; shift 2 ;;
    *) echo "usage: $0 [--seconds N] [--build DIR]" >&2; exit 2 ;;
  esac
done

"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTARVIK_BUILD_BENCH=ON > /dev/null
cmake --build "$build" -j 4 --target TarvikClient monsim agent-cost > /dev/null

work=$(mktemp -d "${TMPDIR:-/tmp}/agent-cost-XXXXXX")
export TARVIK_C_DRIVE="$work/c" TARVIK_KERNEL_OBJECTS="$work/objects"
mkdir -p "$TARVIK_C_DRIVE/ProgramData"
installed="$TARVIK_C_DRIVE/Program Files/Quelmo/Tarvik Client/TarvikClient"
monsim="" driver=""
# shellcheck disable=SC2317  # run by the trap
cleanup() {
  # The driver removes the service itself; this is for when it was stopped before it could.
  [ -z "$driver" ] || kill "$driver" 2> /dev/null || true
  [ ! -x "$installed" ] || "$installed" /remove > /dev/null 2>&1 || true
  [ -z "$monsim" ] || kill "$monsim" 2> /dev/null || true
  wait 2> /dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

monsim_program="$build/testkit/monsim/monsim"
"$monsim_program" --socket "$work/monsim.sock" "$root/bench/agent-cost/eight-monitors.json" > /dev/null &
monsim=$!
for _ in $(seq 100); do
  "$monsim_program" ctl "$work/monsim.sock.ctl" '{"cmd":"list"}' > /dev/null 2>&1 && break
  sleep 0.1
done

echo "machine: $(nproc) cores, $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1)"
# In the background, so that a signal to this script reaches the trap at once.
"$build/bench/agent-cost" --program "$build/agent-windows/TarvikClient" --monsim-socket "$work/monsim.sock" \
  --tap-socket "$work/tap.sock" --seconds "$seconds" &
driver=$!
status=0
wait "$driver" || status=$?
driver=""
exit "$status"
