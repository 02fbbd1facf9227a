#!/usr/bin/env bash
# Builds the system and runs the agent's demo set-up.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$root/build/demo" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARVIK_BUILD_BENCH=OFF
cmake --build "$root/build/demo" -j "$(nproc)"
echo "Built TarvikClient, Strikel, the monitor-control library and the monitor simulator (build/demo)."
echo "The agent does not talk to a management server yet, so there is no agent to run against the simulator."
