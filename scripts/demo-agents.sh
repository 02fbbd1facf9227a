# shellcheck shell=bash
# The two machines of scripts/demo.sh, sourced by it: for each agent how its stand-in machine is
# prepared, started and stopped, what the server sends it, and what it shows at the end. Each
# machine has a folder of its own under $machines, its own monsim and its own environment
# (windows_env, macos_env), which only the processes of that machine get.

# Per agent: the "SN" it sends (the server's mark on its lines), its two monitors, the control
# socket of its monsim, its package's name.
declare -A sn first second control package
declare -A monsim_pid=()

# describe_machine AGENT SN FIRST SECOND: the agent's mark, its monitors, its monsim's control socket.
describe_machine() {
  sn[$1]=$2 first[$1]=$3 second[$1]=$4 control[$1]=$machines/$1/monsim.ctl
}

# The agent's package, served by the management server.
serve_package() { served_packages+=(--package "${package[$1]}=$machines/$1/packages/${package[$1]}"); }

# Started with the machine's environment: its plugs reach that machine's windows and USB watchers.
# In a session of its own, so that a Ctrl-C leaves it to show the settings at the end.
start_monsim() {
  local agent=$1 monitors=$2
  shift 2
  setsid env "$@" "$build/testkit/monsim/monsim" --socket "$machines/$agent/monsim.sock" \
    --control "${control[$agent]}" "$root/testkit/monsim/monitors/$monitors" > /dev/null &
  monsim_pid[$agent]=$!
}

monsim_ctl() { "$build/testkit/monsim/monsim" ctl "${control[$1]}" "$2"; }

# A brightness change that the first monitor announces of its own. monsim tells the handles open
# at that moment, and the Mac agent opens its monitors for each read only: this waits (up to 2 s)
# for an open one.
announce_brightness() {
  local agent=$1 tries=0
  while monsim_ctl "$agent" '{"cmd":"handles","id":"'"${first[$agent]}"'"}' | grep -q '"handles":0[,}]' &&
        ((tries++ < 100)); do
    sleep 0.02
  done
  monsim_ctl "$agent" '{"cmd":"emit","id":"'"${first[$agent]}"'","message":{"funcCode":38,"subCode":16,"param3":45,"param4":100}}' > /dev/null || echo "== monsim of the $agent machine did not take the change" >&2
}

# The settings that the display command changed on both monitors, one line each.
show_settings() {
  local agent=$1 setting
  echo "== the monitors of the $agent machine now hold:"
  for setting in '"id":"'"${first[$agent]}"'","code":"10"' '"id":"'"${first[$agent]}"'","code":"F8","subCode":"05"' \
                 '"id":"'"${second[$agent]}"'","code":"12"'; do
    echo "   {$setting}: $(monsim_ctl "$agent" "{\"cmd\":\"get-vcp\",$setting}")"
  done
}

show_installer_starts() {
  local agent=$1 record=$machines/$1/installer-starts.jsonl
  echo "== the $agent installer was started as:"
  if [ -s "$record" ]; then sed 's/^/   /' "$record"; else echo "   never"; fi
}

# A brightness, an extended setting and a contrast, the same on both machines.
display_command() {
  echo '{"cmdid":7,"type":"displayCommand","monitorList":[{"serialNumber":"'"${first[$1]}"'","funcList":[[16,30],[248,5,0]]},{"serialNumber":"'"${second[$1]}"'","funcList":[[18,40]]}]}'
}

package_info() {
  local size
  size=$(stat -c %s "$machines/$1/packages/${package[$1]}")
  echo '{"packageUrl":"'"${package[$1]}"'","packageSize":'"$size"',"silentFlag":1,"updateType":2,"userId":7,"updateTime":0}'
}

### Windows: TarvikClient installed as a service on a fresh drive C:.

windows_computer_name() {
  # The stand-in's computer name: the host name's first label in capitals, at most 15 characters.
  local host
  host=$(uname -n)
  host=${host%%.*}
  host=${host^^}
  echo "${host:0:15}"
}

windows_prepare() {
  local machine=$machines/windows
  windows_program="$machine/c/Program Files/Quelmo/Tarvik Client"
  windows_settings="$machine/c/ProgramData/Quelmo/Tarvik Client"
  mkdir -p "$windows_program" "$windows_settings" "$machine/packages"
  cp "$build/agent-windows/TarvikClient" "$windows_program/"
  printf '[ServerSettings]\nServer=127.0.0.1\nPort=%s\nProtocol=http\nFolder=\nLog=On\n' "$port" \
    > "$windows_settings/TarvikConfig.ini"

  # A signed image whose installer (the installer double, which the machine starts PE images
  # with) reports a slow run over the agent's progress pipe.
  package[windows]=halvane-fw-3.2.exe
  local script='{"steps": [{"type": 1}, {"eachSerial": [{"type": 2, "text": "$sn", "value": 0}, {"pause": 700},
    {"type": 2, "text": "$sn", "value": 50}, {"pause": 700}, {"type": 2, "text": "$sn", "value": 100}]},
    {"type": 3}, {"type": 4, "value": 8888}]}'
  local trusted
  trusted=$("$build/testkit/packages/make-package" "$machine/packages" "${package[windows]}" "$script")
  serve_package windows
  describe_machine windows "$(windows_computer_name)" TVK24Q100001 TVK27Q100002
  # TARVIK_MAC_ROOT: a Mac of its own that nobody watches, so its plugs reach no other machine.
  windows_env=(TARVIK_C_DRIVE="$machine/c" TARVIK_KERNEL_OBJECTS="$machine/objects"
               TARVIK_MONSIM_SOCKET="$machine/monsim.sock" TARVIK_MAC_ROOT="$machine/no-mac"
               TARVIK_WIN32_TRUSTED_CA="$trusted" TARVIK_WIN32_PE_RUNNER="$build/testkit/installer/installer"
               TARVIK_INSTALLER_RECORD="$machine/installer-starts.jsonl")
}

windows_start() {
  start_monsim windows two-monitors.json "${windows_env[@]}"
  sleep 0.5
  echo "== installing TarvikClient as a service on the Windows machine; its lines are marked [${sn[windows]}]"
  # In a session of its own, as the service it starts inherits it: a Ctrl-C is for this script.
  setsid --wait env "${windows_env[@]}" "$windows_program/TarvikClient" /install > /dev/null
  windows_installed=true
}

# The package from the first entry, for every monitor of the list.
windows_firmware_command() {
  echo '{"cmdid":9,"type":"firmwareUpdateCommand","monitorList":[{"index":0,"serialNumber":"'"${first[windows]}"'","updatePackageInfo":'"$(package_info windows)"'},{"index":1,"serialNumber":"'"${second[windows]}"'"}]}'
}

windows_stop() {
  if ${windows_installed:-false}; then
    echo "== removing the service; the Windows agent's log is in $windows_settings/Log_s"
    env "${windows_env[@]}" "$windows_program/TarvikClient" /remove > /dev/null 2>&1 || true
    windows_installed=false
  fi
}

### macOS: TarvikService started from a folder of its own, its profile beside it.

macos_prepare() {
  local machine=$machines/macos
  macos_program=$machine/program
  mkdir -p "$macos_program" "$machine/root" "$machine/tmp" "$machine/packages"
  ln -s "$build/agent-macos/TarvikService" "$macos_program/TarvikService"
  cat > "$macos_program/TarvikConfig.mobileconfig" <<EOF
<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict><key>PayloadContent</key><array><dict>
  <key>Server</key><string>127.0.0.1</string><key>Port</key><string>$port</string>
  <key>Protocol</key><string>http</string><key>Folder</key><string>tarvik</string>
</dict></array></dict></plist>
EOF

  # A zip holding Installer.app, whose program starts the macOS installer double: for its
  # serial number it notifies 0%, 50% and 100%.
  package[macos]=halvane-fw-3.2-mac.zip
  cat > "$machine/packages/installer-script.json" <<'EOF'
{"steps": [{"eachSerial": [
  {"notify": {"progress": 0, "sn": "$sn", "state": 1, "context": "starting"}}, {"pause": 700},
  {"notify": {"progress": 50, "sn": "$sn", "state": 1, "context": "installing"}}, {"pause": 700},
  {"notify": {"progress": 100, "sn": "$sn", "state": 2, "context": "done"}}]}]}
EOF
  "$build/testkit/packages/make-package" --macos app --installer "$build/testkit/installer/mac-installer" \
    --script "$machine/packages/installer-script.json" --out "$machine/packages/${package[macos]}"
  serve_package macos
  describe_machine macos Demo-Mac TVK24Q300001 TVK27Q300002
  # HOME: the library's log goes to root's home on this Mac. TARVIK_KERNEL_OBJECTS: monsim's
  # device-change broadcast stays on this machine.
  macos_env=(TARVIK_MAC_ROOT="$machine/root" TARVIK_MAC_COMPUTER_NAME="${sn[macos]}"
             TARVIK_MONSIM_SOCKET="$machine/monsim.sock" TARVIK_KERNEL_OBJECTS="$machine/objects"
             TMPDIR="$machine/tmp" HOME="$machine/root/var/root"
             TARVIK_INSTALLER_RECORD="$machine/installer-starts.jsonl")
}

macos_start() {
  start_monsim macos two-other-monitors.json "${macos_env[@]}"
  sleep 0.5
  echo "== starting TarvikService on the macOS machine; its lines are marked [${sn[macos]}]"
  (cd "$macos_program" && exec setsid env "${macos_env[@]}" ./TarvikService) > "$machines/macos/TarvikService.out" 2>&1 &
  macos_pid=$!
}

# Every entry names its package; each starts an installer for its own monitor.
macos_firmware_command() {
  local info
  info=$(package_info macos)
  echo '{"cmdid":9,"type":"firmwareUpdateCommand","monitorList":[{"index":0,"serialNumber":"'"${first[macos]}"'","updatePackageInfo":'"$info"'},{"index":1,"serialNumber":"'"${second[macos]}"'","updatePackageInfo":'"$info"'}]}'
}

macos_stop() {
  if [ -n "${macos_pid:-}" ]; then
    kill -TERM "$macos_pid" 2> /dev/null || true
    local status=0 tries=0
    while kill -0 "$macos_pid" 2> /dev/null && ((tries++ < 300)); do sleep 0.1; done
    kill -KILL "$macos_pid" 2> /dev/null || true
    wait "$macos_pid" 2> /dev/null || status=$?
    echo "== TarvikService stopped with exit status $status: $(grep -a 'Service stopped' "$machines/macos/TarvikService.out" | tail -n 1)"
    echo "   its output is in $machines/macos/TarvikService.out, its log under $machines/macos/root/var/log/HalvaneSDK"
    macos_pid=
  fi
}
