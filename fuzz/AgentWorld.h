// The world the agent's targets act on, made inert: a silent log, a fake clock whose waits
// return at once, drive C: in the process's scratch folder, no connection (answers stay in the
// send queue) and no package prefix, so a firmware command's download never finds a host and
// fails at once.
#pragma once

#include <cstdlib>
#include <string>

#include <spdlog/spdlog.h>

#include "agent-windows/server/WebSocketMgr.h"
#include "agent-windows/update/InstallQueue.h"
#include "fuzz/ScratchFolder.h"
#include "testkit/clock/FakeClock.h"

namespace fuzzworld {

// Installs itself at the first call, for the process's life.
inline testkit::FakeClock& Clock() {
  static testkit::FakeClock* const clock = new testkit::FakeClock();
  return *clock;
}

// Once per process, before the first input.
inline void MakeAgentWorld(const std::string& target) {
  spdlog::set_level(spdlog::level::off);
  setenv("TARVIK_C_DRIVE", fuzzing::ScratchFolder(target).c_str(), 1);
  Clock();
}

// Before each input: no update handled, none waiting, nothing queued to send, no sleeps kept.
inline void ResetAgentWorld() {
  Clock().ClearSleeps();
  // Taking a waiting command begins its update, which would hold back the next one.
  g_bIsUpdating.store(false);
  while (TakeNextInstallCommand()) g_bIsUpdating.store(false);
  g_bIsInstall.store(false);
  WebSocketMgr::GetInstance()->SetIsInstall(false);
  WebSocketMgr::GetInstance()->ClearSendQueue();
}

}  // namespace fuzzworld
