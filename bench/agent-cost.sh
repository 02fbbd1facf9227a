#!/usr/bin/env bash
# What each agent costs as it runs, with eight monitors served by monsim and talking to the
# management-server double: TarvikClient as an installed service on a fresh stand-in machine,
# TarvikService started from its own folder with a profile and a fresh Mac root. For each: CPU
# while idle, resident memory after start-up and after 1000 display commands and 10 reconnects,
# and the agent's own time from a display command's arrival to the monitor's write. Prints each
# figure with its target; exits non-zero only when a figure could not be measured.
#
#   bench/agent-cost.sh [--agent windows|macos|both] [--seconds N] [--build DIR]
#
# --agent: which agents (default both, one after the other); --seconds: the idle window (default
# 60); --build: the Release build folder (default build/bench). The macOS agent's waits are
# told from its work by its threads' sleeps, which a library preloaded into it records.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=60
build="$root/build/bench"
agents=(windows macos)
usage="usage: $0 [--agent windows|macos|both] [--seconds N] [--build DIR]"
while (($#)); do
  case "$1" in
    --agent)
      case "${2:-}" in
        windows | macos) agents=("$2") ;;
        both) agents=(windows macos) ;;
        *) echo "$usage" >&2; exit 2 ;;
      esac
      shift 2 ;;
    --seconds) seconds=${2:?}; shift 2 ;;
    --build) build=${2:?}; shift 2 ;;
    *) echo "$usage" >&2; exit 2 ;;
  esac
done

"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTARVIK_BUILD_BENCH=ON > /dev/null
cmake --build "$build" -j 4 --target TarvikClient TarvikService monsim agent-cost > /dev/null

work=$(mktemp -d "${TMPDIR:-/tmp}/agent-cost-XXXXXX")
export TARVIK_C_DRIVE="$work/c" TARVIK_KERNEL_OBJECTS="$work/objects"
mkdir -p "$TARVIK_C_DRIVE/ProgramData"
installed="$TARVIK_C_DRIVE/Program Files/Quelmo/Tarvik Client/TarvikClient"
monsim="" driver=""
# The driver leads a session of its own, so its process group holds whatever it started (the macOS
# agent) even when it ends without stopping that; this ends them all.
stop_driver() {
  kill -TERM -- "-$driver" 2> /dev/null || true
  wait "$driver" 2> /dev/null || true
  for _ in $(seq 100); do
    kill -0 -- "-$driver" 2> /dev/null || break
    sleep 0.1
  done
  kill -KILL -- "-$driver" 2> /dev/null || true
  driver=""
}
# shellcheck disable=SC2317  # run by the trap
cleanup() {
  [ -z "$driver" ] || stop_driver
  # The driver removes the service itself; this is for when it was stopped before it could.
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
declare -A programs=([windows]="$build/agent-windows/TarvikClient" [macos]="$build/agent-macos/TarvikService")
status=0
for agent in "${agents[@]}"; do
  # In the background, so that a signal to this script reaches the trap at once. Not being a
  # process group leader, setsid runs it in the new session itself: its pid names the group.
  setsid "$build/bench/agent-cost" --agent "$agent" --program "${programs[$agent]}" \
    --monsim-socket "$work/monsim.sock" --tap-socket "$work/tap-$agent.sock" --seconds "$seconds" --folder "$work" &
  driver=$!
  wait "$driver" || status=$?
  stop_driver
done
exit "$status"
