#!/usr/bin/env bash
# Builds the system, then runs the agent the way it is deployed: installed as a service on a
# fresh stand-in machine, talking to the management-server double, which prints everything it
# receives, and sends the agent one command. After TARVIK_DEMO_SECONDS (default 40) the
# service is removed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
build="$root/build/demo"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARVIK_BUILD_BENCH=OFF
cmake --build "$build" -j "$(nproc)" --target TarvikClient mgmt-server

port=${TARVIK_DEMO_PORT:-8765}
seconds=${TARVIK_DEMO_SECONDS:-40}
machine="$build/machine"
rm -rf "$machine"
export TARVIK_C_DRIVE="$machine/c" TARVIK_KERNEL_OBJECTS="$machine/objects"
program_folder="$TARVIK_C_DRIVE/Program Files/Quelmo/Tarvik Client"
settings_folder="$TARVIK_C_DRIVE/ProgramData/Quelmo/Tarvik Client"
mkdir -p "$program_folder" "$settings_folder"
cp "$build/agent-windows/TarvikClient" "$program_folder/"
printf '[ServerSettings]\nServer=127.0.0.1\nPort=%s\nProtocol=http\nFolder=\nLog=On\n' "$port" \
  > "$settings_folder/TarvikConfig.ini"

# The server sends each line of its input to the agent.
(sleep 12; echo '{"cmdid":7,"type":"RefreshAllStatus"}'; sleep "$seconds") |
  "$build/testkit/mgmt-server/mgmt-server" --port "$port" &
server=$!
cleanup() {
  "$program_folder/TarvikClient" /remove > /dev/null 2>&1 || true
  kill "$server" 2> /dev/null || true
  wait "$server" 2> /dev/null || true
}
trap cleanup EXIT
sleep 1
echo "== installing TarvikClient as a service; the server prints what the agent sends"
"$program_folder/TarvikClient" /install > /dev/null
echo "== for ${seconds} s"
sleep "$seconds"
echo "== removing the service; the agent's log is in $settings_folder/Log_s"
