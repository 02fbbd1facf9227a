// The server's WebSocket messages as the receive thread handles them: the input is cut at each
// NUL byte into messages (the rest past kMaxMessages stays one, as every message costs several
// parses and log lines), which go through the receive accumulator, and every complete text goes
// to the command handler. One monitor is registered, so display commands queue VCP commands,
// which are dropped after each input. An input that starts with an empty message arrives while
// an update's installer runs: its firmware commands wait, and are handled when that update ends
// after the input.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "agent-windows/monitors/MonitorRegistry.h"
#include "agent-windows/monitors/PendingVcpCommands.h"
#include "agent-windows/server/CommandHandler.h"
#include "agent-windows/server/ReceiveAccumulator.h"
#include "agent-windows/update/InstallQueue.h"
#include "fuzz/AgentWorld.h"

namespace {

constexpr int kMaxMessages = 16;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzworld::MakeAgentWorld("control_cmd");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzzworld::ResetAgentWorld();
  TakePendingCommands();
  InitMonitorRegistry();
  MonitorState monitor;
  monitor.sn = "S";
  PutMonitorState(monitor);

  std::optional<UpdateId> running;
  if (size != 0 && data[0] == '\0') {
    running = QueueWhileUpdating("");
    MarkInstallerStarting(*running);
  }

  ReceiveAccumulator accumulator;
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  for (int message = 1;; ++message) {
    const std::size_t end = message < kMaxMessages ? rest.find('\0') : std::string_view::npos;
    for (const std::string& text : accumulator.Append(rest.substr(0, end))) ParseControlCmd(text);
    if (end == std::string_view::npos) break;
    rest.remove_prefix(end + 1);
  }
  if (running) EndFirmwareUpdate(*running);
  return 0;
}
