#!/usr/bin/env bash
# Builds the system, then runs the agent the way it is deployed: installed as a service on a
# fresh stand-in machine with two monitors served by the monitor simulator, talking to the
# management-server double, which prints everything it receives and sends the agent a few
# commands, among them a firmware update whose signed package it serves; a monitor is unplugged
# and plugged again. After TARVIK_DEMO_SECONDS (default 60) the service is removed; with --keep
# it runs until Ctrl-C.
set -euo pipefail
keep=false
if [ "${1:-}" = "--keep" ]; then
  keep=true
elif [ $# -gt 0 ]; then
  echo "usage: scripts/demo.sh [--keep]" >&2
  exit 2
fi
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
build="$root/build/demo"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARVIK_BUILD_BENCH=OFF
cmake --build "$build" -j "$(nproc)" --target TarvikClient mgmt-server monsim installer make-package

port=${TARVIK_DEMO_PORT:-8765}
seconds=${TARVIK_DEMO_SECONDS:-60}
machine="$build/machine"
rm -rf "$machine"
export TARVIK_C_DRIVE="$machine/c" TARVIK_KERNEL_OBJECTS="$machine/objects"
program_folder="$TARVIK_C_DRIVE/Program Files/Quelmo/Tarvik Client"
settings_folder="$TARVIK_C_DRIVE/ProgramData/Quelmo/Tarvik Client"
mkdir -p "$program_folder" "$settings_folder" "$machine/packages"
cp "$build/agent-windows/TarvikClient" "$program_folder/"
printf '[ServerSettings]\nServer=127.0.0.1\nPort=%s\nProtocol=http\nFolder=\nLog=On\n' "$port" \
  > "$settings_folder/TarvikConfig.ini"

# The firmware package: a signed image whose installer (the installer double, which the
# machine starts PE images with) reports a slow run over the agent's progress pipe.
package=halvane-fw-3.2.exe
script='{"steps": [{"type": 1}, {"eachSerial": [{"type": 2, "text": "$sn", "value": 0}, {"pause": 700},
  {"type": 2, "text": "$sn", "value": 50}, {"pause": 700}, {"type": 2, "text": "$sn", "value": 100}]},
  {"type": 3}, {"type": 4, "value": 8888}]}'
export TARVIK_WIN32_TRUSTED_CA
TARVIK_WIN32_TRUSTED_CA=$("$build/testkit/packages/make-package" "$machine/packages" "$package" "$script")
package_size=$(stat -c %s "$machine/packages/$package")
export TARVIK_WIN32_PE_RUNNER="$build/testkit/installer/installer" TARVIK_INSTALLER_RECORD="$machine/installer-starts.jsonl"

export TARVIK_MONSIM_SOCKET="$machine/monsim.sock"
"$build/testkit/monsim/monsim" --socket "$TARVIK_MONSIM_SOCKET" "$root/testkit/monsim/monitors/two-monitors.json" &
monsim=$!

monsim_ctl() { "$build/testkit/monsim/monsim" ctl "$TARVIK_MONSIM_SOCKET.ctl" "$1"; }

# The server sends each line of its input to the agent: once the monitors have been reported,
# a brightness, a contrast and an extended setting, then a request for fresh full reports.
# Then a firmware update of both monitors, and a monitor announces a brightness change of its
# own, which the next heartbeat carries; last, the second monitor is unplugged and plugged again,
# which the system tells the agent as a device change.
mkfifo "$machine/server-input"
(sleep 16
 echo '{"cmdid":7,"type":"displayCommand","monitorList":[{"serialNumber":"TVK24Q100001","funcList":[[16,30],[248,5,0]]},{"serialNumber":"TVK27Q100002","funcList":[[18,40]]}]}'
 sleep 4
 echo '{"cmdid":8,"type":"RefreshAllStatus"}'
 sleep 4
 echo '{"cmdid":9,"type":"firmwareUpdateCommand","monitorList":[{"index":0,"serialNumber":"TVK24Q100001","updatePackageInfo":{"packageUrl":"'"$package"'","packageSize":'"$package_size"',"silentFlag":1,"updateType":2,"userId":7,"updateTime":0}},{"index":1,"serialNumber":"TVK27Q100002"}]}'
 sleep 6
 monsim_ctl '{"cmd":"emit","id":"TVK24Q100001","message":{"funcCode":38,"subCode":16,"param3":45,"param4":100}}' > /dev/null
 sleep 3
 echo "== unplugging monitor TVK27Q100002" >&2
 monsim_ctl '{"cmd":"unplug","id":"TVK27Q100002"}' > /dev/null
 sleep 13
 echo "== plugging monitor TVK27Q100002 in again" >&2
 monsim_ctl '{"cmd":"plug","id":"TVK27Q100002"}' > /dev/null
 exec sleep infinity) > "$machine/server-input" &
feeder=$!
"$build/testkit/mgmt-server/mgmt-server" --port "$port" --summary --package "$package=$machine/packages/$package" \
  < "$machine/server-input" &
server=$!
cleanup() {
  "$program_folder/TarvikClient" /remove > /dev/null 2>&1 || true
  kill "$feeder" "$server" "$monsim" 2> /dev/null || true
  wait "$feeder" "$server" "$monsim" 2> /dev/null || true
}
trap cleanup EXIT
sleep 1
echo "== installing TarvikClient as a service; the server prints what the agent sends"
"$program_folder/TarvikClient" /install > /dev/null
if $keep; then
  echo "== running until Ctrl-C"
  trap 'echo' INT
  sleep infinity || true
else
  echo "== for ${seconds} s"
  sleep "$seconds"
fi
echo "== the monitors now hold:"
for setting in '"id":"TVK24Q100001","code":"10"' '"id":"TVK24Q100001","code":"F8","subCode":"05"' \
               '"id":"TVK27Q100002","code":"12"'; do
  echo "   {$setting}: $(monsim_ctl "{\"cmd\":\"get-vcp\",$setting}")"
done
echo "== the installer was started as: $(cat "$TARVIK_INSTALLER_RECORD" 2> /dev/null || echo never)"
echo "== removing the service; the agent's log is in $settings_folder/Log_s"
