// monsim: simulated monitors for agents in other processes.
//
//   monsim --socket DEVICE_SOCKET [--control CONTROL_SOCKET] MONITORS.json
//       Serves the monitors of the file to the simulator client backend (point
//       TARVIK_MONSIM_SOCKET at DEVICE_SOCKET) and takes control commands, one JSON text per
//       line, on CONTROL_SOCKET (default: DEVICE_SOCKET with ".ctl" appended). Prints one line
//       when both sockets listen; runs until SIGINT or SIGTERM. A monitor plugged or unplugged
//       posts a device change to every top-level window of the machine, as the system does,
//       and comes or goes as a USB device of the Mac of TARVIK_MAC_ROOT, by its id.
//   monsim ctl CONTROL_SOCKET COMMAND_JSON
//       Sends one control command, prints the answer; exit status 0 when it was carried out.
#include <csignal>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>

#include "platform/macos/UsbDeviceEvents.h"
#include "platform/win32/Win32.h"
#include "testkit/monsim/ControlClient.h"
#include "testkit/monsim/MonitorJson.h"
#include "testkit/monsim/Simulator.h"
#include "testkit/monsim/server/ControlServer.h"
#include "testkit/monsim/server/DeviceServer.h"

namespace {

constexpr const char* kUsage =
    "usage: monsim --socket DEVICE_SOCKET [--control CONTROL_SOCKET] MONITORS.json\n"
    "       monsim ctl CONTROL_SOCKET COMMAND_JSON\n";

int Control(const std::string& socket, const std::string& command) {
  nlohmann::json parsed = nlohmann::json::parse(command, nullptr, false);
  if (parsed.is_discarded()) {
    std::cerr << "monsim: the command is not valid JSON\n";
    return 2;
  }
  nlohmann::json answer = monsim::ControlClient(socket).Send(parsed);
  std::cout << answer.dump() << "\n";
  return answer.value("ok", false) ? 0 : 1;
}

int Serve(const std::string& deviceSocket, const std::string& controlSocket, const std::string& file) {
  // Blocked before any thread starts, so only sigwait below takes them.
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGINT);
  sigaddset(&stop, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop, nullptr);

  monsim::Simulator simulator(monsim::ReadWaits::RealTime);
  for (auto& entry : monsim::LoadMonitorFile(file)) simulator.Add(std::move(entry.description), entry.plugged);
  simulator.OnPlugChange([](const std::string& id, bool plugged) {
    PostMessageW(HWND_BROADCAST, WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0);
    macstandin::AnnounceUsbDevice(plugged, id);
  });
  {
    monsim::DeviceServer devices(simulator, deviceSocket);
    monsim::ControlServer control(simulator, controlSocket);
    std::cout << "monsim: " << simulator.PluggedMonitors().size() << " monitors on " << deviceSocket
              << ", control on " << controlSocket << std::endl;
    int signal = 0;
    sigwait(&stop, &signal);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    if (argc == 4 && std::strcmp(argv[1], "ctl") == 0) return Control(argv[2], argv[3]);
    std::string deviceSocket, controlSocket, file;
    for (int i = 1; i < argc; ++i) {
      std::string arg = argv[i];
      if ((arg == "--socket" || arg == "--control") && i + 1 < argc) {
        (arg == "--socket" ? deviceSocket : controlSocket) = argv[++i];
      } else if (file.empty() && arg.rfind("--", 0) != 0) {
        file = arg;
      } else {
        std::cerr << kUsage;
        return 2;
      }
    }
    if (deviceSocket.empty() || file.empty()) {
      std::cerr << kUsage;
      return 2;
    }
    if (controlSocket.empty()) controlSocket = deviceSocket + ".ctl";
    return Serve(deviceSocket, controlSocket, file);
  } catch (const std::exception& e) {
    std::cerr << "monsim: " << e.what() << "\n";
    return 1;
  }
}
