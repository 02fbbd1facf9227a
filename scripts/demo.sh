#!/usr/bin/env bash
# Builds the system, then runs both agents the way they are deployed, side by side, each on a
# fresh stand-in machine of its own with two monitors served by a monitor simulator of its own:
# TarvikClient installed as a service on a Windows machine, TarvikService started from its own
# folder on a Mac. Both talk to one management-server double, which prints everything it
# receives, each line marked with the "SN" of the agent that sent it, and sends each agent a few
# commands: a display command, a refresh request, a firmware update whose package it serves (a
# signed image for Windows, a zip holding an Installer.app for the Mac). A monitor of each
# machine announces a change, then one is unplugged and plugged again. After
# TARVIK_DEMO_SECONDS (default 60) everything stops and the Windows service is removed; with
# --keep it runs until Ctrl-C. --windows or --macos runs that agent alone.
set -euo pipefail
keep=false windows=false macos=false
for option in "$@"; do
  case $option in
    --keep) keep=true ;;
    --windows) windows=true ;;
    --macos) macos=true ;;
    *) echo "usage: scripts/demo.sh [--windows] [--macos] [--keep]" >&2; exit 2 ;;
  esac
done
$windows || $macos || windows=true macos=true
agents=()
$windows && agents+=(windows)
$macos && agents+=(macos)

root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
build="$root/build/demo"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARVIK_BUILD_BENCH=OFF
cmake --build "$build" -j "$(nproc)" --target TarvikClient TarvikService mgmt-server monsim installer mac-installer \
  make-package

port=${TARVIK_DEMO_PORT:-8765}
seconds=${TARVIK_DEMO_SECONDS:-60}
machines="$build/machines"
rm -rf "$machines"
mkdir -p "$machines"
source "$root/scripts/demo-agents.sh"
served_packages=()
for agent in "${agents[@]}"; do "${agent}_prepare"; done

# A line for one agent's connections only: the server sends "@SN TEXT" to the agent of that SN.
send() { echo "@${sn[$1]} $2"; }
note() { echo "== $*" >&2; }

# What the server sends, once the monitors have been reported, and what happens to the monitors,
# on every machine: a brightness, a contrast and an extended setting; a request for fresh full
# reports, to every connection at once; a firmware update of both monitors; a brightness change
# that a monitor announces of its own, which the next report carries; last, the second monitor
# is unplugged and plugged again, which each system tells its agent (a device change on Windows,
# a USB removal and arrival on the Mac).
schedule() {
  local agent
  sleep 16
  for agent in "${agents[@]}"; do send "$agent" "$(display_command "$agent")"; done
  sleep 4
  echo '{"cmdid":8,"type":"RefreshAllStatus"}'
  sleep 4
  for agent in "${agents[@]}"; do send "$agent" "$("${agent}_firmware_command")"; done
  sleep 6
  for agent in "${agents[@]}"; do announce_brightness "$agent"; done
  sleep 3
  for agent in "${agents[@]}"; do
    note "unplugging monitor ${second[$agent]} of the $agent machine"
    monsim_ctl "$agent" '{"cmd":"unplug","id":"'"${second[$agent]}"'"}' > /dev/null || note "monsim did not unplug it"
  done
  sleep 13
  for agent in "${agents[@]}"; do
    note "plugging monitor ${second[$agent]} of the $agent machine in again"
    monsim_ctl "$agent" '{"cmd":"plug","id":"'"${second[$agent]}"'"}' > /dev/null || note "monsim did not plug it"
  done
  exec sleep infinity
}

# The server, the simulators and the Mac agent run in sessions of their own: a Ctrl-C reaches
# this script only, which then stops them in order.
cleanup() {
  for agent in "${agents[@]}"; do "${agent}_stop"; done
  # The feeder's current sleep or control command first: it would outlive the feeder.
  [ -z "${feeder:-}" ] || pkill -P "$feeder" 2> /dev/null || true
  kill ${feeder:-} ${server:-} "${monsim_pid[@]}" 2> /dev/null || true
  wait ${feeder:-} ${server:-} "${monsim_pid[@]}" 2> /dev/null || true
}
trap cleanup EXIT

mkfifo "$machines/server-input"
schedule > "$machines/server-input" &
feeder=$!
setsid "$build/testkit/mgmt-server/mgmt-server" --port "$port" --summary "${served_packages[@]}" \
  < "$machines/server-input" &
server=$!
sleep 1
for agent in "${agents[@]}"; do "${agent}_start"; done
if $keep; then
  echo "== running until Ctrl-C"
  trap 'echo' INT
  sleep infinity || true
else
  echo "== for ${seconds} s"
  sleep "$seconds"
fi
for agent in "${agents[@]}"; do
  show_settings "$agent"
  show_installer_starts "$agent"
done
