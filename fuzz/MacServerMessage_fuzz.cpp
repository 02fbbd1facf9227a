// A text from the management server as the macOS agent handles it: parsed, answered when it
// carries "cmdid", dispatched by "type" (display commands, firmware entries and their arguments,
// refresh requests). The agent has two updaters, made and read over two monitors simulated in
// the process, which are then unplugged: the HID layer waits out a device's silence in real time,
// while a monitor that is gone fails every write at once. After each text the display-command
// task writes what was queued and, when a refresh was asked for, the monitor-update task
// enumerates again, as the agent's loops would next. There is no connection, so answers go
// nowhere; no server is set, so a firmware entry makes no package URL and starts no download.
// Waits return at once, and the updaters' read threads are stopped after each input, so that
// none spins between inputs.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "agent-macos/monitors/MonitorFuncHelper.h"
#include "agent-macos/service/TarvikService.h"
#include "fuzz/MacAgentWorld.h"
#include "moncontrol/api/Devices.h"
#include "platform/macos/HidDeviceSource.h"
#include "testkit/clock/FakeClock.h"
#include "testkit/monsim/MonitorJson.h"
#include "testkit/monsim/Simulator.h"

namespace {

// Never destroyed: the agent's destructor would stop it, which is not what is fuzzed.
struct World {
  testkit::FakeClock* clock;
  TarvikService* agent;
  // The updaters' serial keys.
  std::vector<std::string> serials;
};

void StopReadThreads(const World& world) {
  for (const std::string& serial : world.serials) MonitorFuncHelper::shared().updater(serial)->stopReading();
}

World& TheWorld() {
  static World* const world = [] {
    macfuzz::MakeMacWorld("mac_server_message");
    auto* made = new World{new testkit::FakeClock, nullptr, {}};
    auto simulator = std::make_shared<monsim::Simulator>(monsim::ReadWaits::Immediate);
    for (monsim::MonitorEntry& entry : monsim::LoadMonitorFile(MONSIM_TWO_MONITORS_FILE))
      simulator->Add(std::move(entry.description), entry.plugged);
    macstandin::SetHidDeviceSource(simulator);
    made->agent = new TarvikService;

    MonitorFuncHelper& monitors = MonitorFuncHelper::shared();
    monitors.lastDetectCount = GetMonCtrlCount(0);
    monitors.refreshMonitors();
    tagMONCTRLINFO* list = nullptr;
    const std::int32_t count = GetMonCtrlList(&list, 0);
    const LibraryBuffer<tagMONCTRLINFO> listed(list);
    for (std::int32_t i = 0; i < count; ++i)
      if (monitors.updater(serialKey(list[i]))) made->serials.push_back(serialKey(list[i]));
    if (made->serials.size() != 2) std::abort();
    StopReadThreads(*made);
    for (const std::string& id : simulator->PluggedMonitors()) simulator->Unplug(id);
    return made;
  }();
  return *world;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  TheWorld();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  World& world = TheWorld();
  world.clock->ClearSleeps();
  world.agent->handleServerMessage(std::string(reinterpret_cast<const char*>(data), size));

  MonitorFuncHelper& monitors = MonitorFuncHelper::shared();
  monitors.runDisplayCommands();
  if (monitors.lastDisplayCount != monitors.lastDetectCount) {
    monitors.lastDetectCount = GetMonCtrlCount(0);
    monitors.refreshMonitors();
  }
  StopReadThreads(world);
  return 0;
}
